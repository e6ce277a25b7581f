#include "BundleInfo.h"

#include "BuildConfiguration.h"

namespace {

void insertConfigured(QVariantMap &dictionary, const QString &key, const char *value)
{
    const QString text = QString::fromUtf8(value);
    if (!text.isEmpty())
        dictionary.insert(key, text);
}

} // namespace

QVariantMap BundleInfo::informationDictionary()
{
    QVariantMap dictionary;
    dictionary.insert(QStringLiteral("CVNReleaseBuild"), QVariant(BuildConfiguration::releaseBuild));
    insertConfigured(dictionary, QStringLiteral("CVNServiceURL"), BuildConfiguration::serviceURL);
    insertConfigured(dictionary, QStringLiteral("CVNSupportURL"), BuildConfiguration::supportURL);
    insertConfigured(dictionary, QStringLiteral("CVNPrivacyURL"), BuildConfiguration::privacyURL);
    insertConfigured(dictionary, QStringLiteral("SUFeedURL"), BuildConfiguration::feedURL);
    insertConfigured(dictionary, QStringLiteral("SUPublicEDKey"), BuildConfiguration::publicEDKey);
    return dictionary;
}

QString BundleInfo::bundleIdentifier()
{
    return QString::fromUtf8(BuildConfiguration::bundleIdentifier);
}

QString BundleInfo::shortVersion()
{
    return QString::fromUtf8(BuildConfiguration::shortVersion);
}
