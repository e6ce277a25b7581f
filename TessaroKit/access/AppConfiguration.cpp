#include "AppConfiguration.h"

#include "protocol/UrlComponents.h"

namespace {

// The text of an information-dictionary entry when it is an https address with a host
// and without user, password or fragment; path and query are allowed.
std::optional<QString> acceptedAddress(const QVariantMap &information, const QString &key)
{
    const auto entry = information.constFind(key);
    if (entry == information.constEnd() || entry->typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = entry->toString();
    const std::optional<UrlComponents> components = UrlComponents::parse(text);
    if (!components)
        return std::nullopt;
    if (components->scheme != QLatin1String("https"))
        return std::nullopt;
    if (!components->host || components->host->isEmpty())
        return std::nullopt;
    if (components->user || components->password || components->fragment)
        return std::nullopt;
    return text;
}

std::optional<QUrl> acceptedUrl(const QVariantMap &information, const QString &key)
{
    const std::optional<QString> text = acceptedAddress(information, key);
    if (!text)
        return std::nullopt;
    const QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

} // namespace

AppConfiguration::AppConfiguration(const QVariantMap &information)
    : m_serviceURL(acceptedAddress(information, QStringLiteral("CVNServiceURL"))),
      m_supportURL(acceptedUrl(information, QStringLiteral("CVNSupportURL"))),
      m_privacyURL(acceptedUrl(information, QStringLiteral("CVNPrivacyURL")))
{
    const auto release = information.constFind(QStringLiteral("CVNReleaseBuild"));
    m_release = release != information.constEnd() && release->typeId() == QMetaType::Bool
        && release->toBool();
}

std::optional<QString> AppConfiguration::serviceURL() const { return m_serviceURL; }
std::optional<QUrl> AppConfiguration::supportURL() const { return m_supportURL; }
std::optional<QUrl> AppConfiguration::privacyURL() const { return m_privacyURL; }
bool AppConfiguration::release() const { return m_release; }
