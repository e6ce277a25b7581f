#pragma once

#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <optional>

// The build-time configuration of the application, read once from the information
// dictionary. Malformed or non-https addresses read as absent; construction never fails.
class AppConfiguration {
public:
    explicit AppConfiguration(const QVariantMap &information = {});

    // The service this build signs in to, exactly as written in "CVNServiceURL".
    std::optional<QString> serviceURL() const;
    std::optional<QUrl> supportURL() const;
    std::optional<QUrl> privacyURL() const;
    bool release() const;

private:
    std::optional<QString> m_serviceURL;
    std::optional<QUrl> m_supportURL;
    std::optional<QUrl> m_privacyURL;
    bool m_release = false;
};
