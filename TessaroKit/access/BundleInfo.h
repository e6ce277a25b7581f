#pragma once

#include <QString>
#include <QVariantMap>

// The application's information dictionary and identity, compiled in from the build
// configuration.
class BundleInfo {
public:
    // "CVNReleaseBuild" (always, as a Boolean) and, when configured, the string values
    // "CVNServiceURL", "CVNSupportURL", "CVNPrivacyURL", "SUFeedURL" and "SUPublicEDKey".
    static QVariantMap informationDictionary();
    static QString bundleIdentifier();
    static QString shortVersion();
};
