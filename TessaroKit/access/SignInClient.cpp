#include "SignInClient.h"

#include "protocol/HttpExchange.h"
#include "protocol/TessaroError.h"
#include "protocol/WireCoding.h"
#include "access/SignInGrant.h"
#include "text/UnicodeText.h"

#include <QCryptographicHash>
#include <QJsonObject>
#include <QRandomGenerator>

namespace {

constexpr qint64 maximumReplyBytes = 32'000;
constexpr qsizetype maximumMessageLength = 999;

const QString badReply = QStringLiteral("The sign-in service did not respond correctly.");
const QString unavailable = QStringLiteral("Sign-in is unavailable. Please try again shortly.");

struct StartBody {
    QString email;
    QString deviceName;
    QString challenge;
    static constexpr auto wireFields()
    {
        return std::tuple{wire::field("email", &StartBody::email), wire::field("deviceName", &StartBody::deviceName),
                          wire::field("challenge", &StartBody::challenge)};
    }
};

struct VerifyBody {
    QString requestId;
    QString code;
    QString verifier;
    bool recover = false;
    static constexpr auto wireFields()
    {
        return std::tuple{wire::field("requestId", &VerifyBody::requestId), wire::field("code", &VerifyBody::code),
                          wire::field("verifier", &VerifyBody::verifier), wire::field("recover", &VerifyBody::recover)};
    }
};

bool systemRandom(QByteArray &bytes)
{
    QRandomGenerator::system()->generate(reinterpret_cast<quint32 *>(bytes.data()),
                                         reinterpret_cast<quint32 *>(bytes.data() + bytes.size()));
    return true;
}

} // namespace

SignInClient::SignInClient(const QString &serviceURL, QObject *parent)
    : QObject(parent)
    , m_serviceURL(Connection(serviceURL, QString(32, QLatin1Char('x'))).serviceUrl())
    , m_http(new HttpExchange(this))
    , m_random(systemRandom)
{
}

SignInClient::~SignInClient() = default;

QString SignInClient::base64url(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString SignInClient::challengeFor(const QString &verifier)
{
    return base64url(QCryptographicHash::hash(verifier.toUtf8(), QCryptographicHash::Sha256));
}

QCoro::Task<SignInChallenge> SignInClient::begin(QString email, QString deviceName)
{
    QByteArray bytes(32, '\0');
    if (!m_random || !m_random(bytes))
        throw TessaroError::message(QStringLiteral("Could not secure this sign-in request."));
    const QString verifier = base64url(bytes);
    m_verifier = verifier;
    const StartBody body{UnicodeText::trimmed(email), deviceName, challengeFor(verifier)};
    const QByteArray reply = co_await post(QStringLiteral("/v1/auth/start"), wire::encode(body));
    co_return wire::decode<SignInChallenge>(reply);
}

QCoro::Task<Connection> SignInClient::verify(SignInChallenge challenge, QString code, bool recover)
{
    if (!m_verifier)
        throw TessaroError::message(QStringLiteral("Request a new sign-in code on this computer."));
    const VerifyBody body{challenge.requestId, code, *m_verifier, recover};
    const QByteArray reply = co_await post(QStringLiteral("/v1/auth/verify"), wire::encode(body));
    const SignInGrant grant = wire::decode<SignInGrant>(reply);
    m_verifier.reset();
    co_return Connection(m_serviceURL, grant.token);
}

void SignInClient::cancel()
{
    m_verifier.reset();
    m_http->invalidate();
}

QCoro::Task<QByteArray> SignInClient::post(QString path, QByteArray body)
{
    QList<std::pair<QByteArray, QByteArray>> headers;
    headers.append({QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")});
    const HttpExchange::Reply reply = co_await m_http->send(QUrl(m_serviceURL + path), QByteArrayLiteral("POST"),
                                                            body, headers, maximumReplyBytes);
    if (std::optional<TessaroError> failure = reply.failure(badReply, unavailable, maximumMessageLength))
        throw *failure;
    co_return reply.body;
}
