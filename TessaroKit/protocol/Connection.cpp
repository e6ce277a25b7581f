#include "Connection.h"

#include "TessaroError.h"
#include "UrlComponents.h"
#include "text/UnicodeText.h"

const QString Connection::invalidMessage =
    QStringLiteral("Use an HTTPS service (or localhost) and a valid Tessaro device token.");

namespace {

bool acceptableUrl(const QString &text)
{
    const auto url = UrlComponents::parse(text);
    if (!url || !url->host || url->host->isEmpty())
        return false;
    if (url->user || url->password || url->query || url->fragment)
        return false;
    if (!url->path.isEmpty() && url->path != QLatin1String("/"))
        return false;
    if (url->scheme == QLatin1String("https"))
        return true;
    static const QStringList loopback{QStringLiteral("127.0.0.1"), QStringLiteral("localhost"),
                                      QStringLiteral("[::1]"), QStringLiteral("::1")};
    return url->scheme == QLatin1String("http") && loopback.contains(*url->host);
}

bool acceptableToken(const QString &token)
{
    // The token is sent and stored as UTF-8: a lone surrogate has no UTF-8 form and would
    // come back from the credential store as a different token.
    if (!token.isValidUtf16())
        return false;
    const QStringList characters = UnicodeText::graphemes(token);
    if (characters.size() < 24 || characters.size() > 256)
        return false;
    for (const QString &character : characters) {
        switch (character.at(0).unicode()) {
        case 0x000A: case 0x000B: case 0x000C: case 0x000D: case 0x0085: case 0x2028: case 0x2029:
            return false;
        default:
            break;
        }
    }
    return true;
}

} // namespace

Connection::Connection(const QString &serviceUrl, const QString &token)
{
    if (!acceptableUrl(serviceUrl) || !acceptableToken(token))
        throw TessaroError::message(invalidMessage);
    m_serviceUrl = serviceUrl.endsWith(u'/') ? serviceUrl.chopped(1) : serviceUrl;
    m_token = token;
}

Connection Connection::fromWire(const QJsonValue &value)
{
    if (!value.isObject())
        throw WireFormatError(QStringLiteral("is not an object"));
    const QJsonObject object = value.toObject();
    const auto serviceUrl = wire::decodeMember<QString>(object, "serviceUrl");
    const auto token = wire::decodeMember<QString>(object, "token");
    return Connection(serviceUrl, token);
}
