#include "HttpExchange.h"

#include "TransportError.h"

#include "protocol/Failure.h"
#include "protocol/TessaroError.h"
#include "protocol/WireCoding.h"
#include "text/UnicodeText.h"

#include <QCoro/QCoroNetworkReply>
#include <QNetworkReply>

namespace {

constexpr int idleTimeoutMs = 15'000;

// Whether the reply broke off on the way (the connection was lost or timed out, the
// request was cancelled, the body could not be decoded) rather than arriving whole. Qt
// reports an error status as an error of the reply too (a content or server error, or the
// proxy error for 407), but such a reply is complete and is the answer.
bool brokeOff(QNetworkReply::NetworkError error, int status)
{
    if (error == QNetworkReply::NoError)
        return false;
    if (error <= QNetworkReply::UnknownNetworkError || error == QNetworkReply::ProtocolFailure)
        return true;
    if (error <= QNetworkReply::UnknownProxyError)
        return !(error == QNetworkReply::ProxyAuthenticationRequiredError && status == 407);
    return false;
}

// Qt can also finish a reply whose connection closed early without reporting it. A body
// that is not compressed and is shorter than its declared length is cut short all the same.
// (A reply without content, 1xx, 204 or 304, may declare a length it does not carry.)
bool shorterThanDeclared(const QNetworkReply *reply, int status, qsizetype received)
{
    if (status < 200 || status == 204 || status == 304)
        return false;
    const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
    const QByteArray coding = reply->rawHeader("Content-Encoding").trimmed().toLower();
    if (!declared.isValid() || !(coding.isEmpty() || coding == "identity"))
        return false;
    return received < declared.toLongLong();
}

} // namespace

HttpExchange::HttpExchange(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{
    m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_network->setCookieJar(nullptr);
    m_network->setCache(nullptr);
    m_network->setTransferTimeout(idleTimeoutMs);
}

HttpExchange::~HttpExchange() = default;

void HttpExchange::invalidate()
{
    m_invalidated = true;
    for (QNetworkReply *reply : m_network->findChildren<QNetworkReply *>())
        reply->abort();
}

QCoro::Task<HttpExchange::Reply> HttpExchange::send(QUrl url, QByteArray method, std::optional<QByteArray> body,
                                                    QList<std::pair<QByteArray, QByteArray>> headers,
                                                    qint64 bodyCap)
{
    if (m_invalidated)
        throw TransportError::cancellation(QStringLiteral("The request was cancelled."));

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);

    QNetworkReply *reply = body ? m_network->sendCustomRequest(request, method, *body)
                                : m_network->sendCustomRequest(request, method);
    // The reply belongs to this call; it is deleted when the call ends however it ends.
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> owner(reply, [](QNetworkReply *r) { r->deleteLater(); });

    auto collected = std::make_shared<QByteArray>();
    auto oversize = std::make_shared<bool>(false);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, collected, oversize, bodyCap] {
        if (*oversize)
            return;
        collected->append(reply->readAll());
        if (collected->size() > bodyCap) {
            *oversize = true;
            collected->clear();
            reply->abort();
        }
    });

    co_await qCoro(reply).waitForFinished(std::chrono::milliseconds(-1));

    if (!*oversize && reply->isOpen())
        collected->append(reply->readAll());
    if (!*oversize && collected->size() > bodyCap) {
        *oversize = true;
        collected->clear();
    }

    Reply result;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (*oversize) {
        result.status = status.isValid() ? std::optional<int>(status.toInt()) : std::nullopt;
        result.oversize = true;
        co_return result;
    }
    // A body cut short is not a reply: its status arrived, but what follows is incomplete.
    if (!status.isValid() || brokeOff(reply->error(), status.toInt())) {
        if (reply->error() == QNetworkReply::OperationCanceledError)
            throw TransportError::cancellation(reply->errorString());
        throw TransportError(reply->errorString());
    }
    if (shorterThanDeclared(reply, status.toInt(), collected->size()))
        throw TransportError(QStringLiteral("The connection closed before the whole reply arrived."));
    result.status = status.toInt();
    result.body = std::move(*collected);
    co_return result;
}

std::optional<TessaroError> HttpExchange::Reply::failure(const QString &malformed, const QString &refused,
                                                         qsizetype longestMessage) const
{
    if (!status || oversize)
        return TessaroError::message(malformed);
    if (*status >= 200 && *status <= 299)
        return std::nullopt;
    QString text = refused;
    try {
        const Failure failure = wire::decode<Failure>(body);
        if (UnicodeText::graphemeCount(failure.message) <= longestMessage)
            text = failure.message;
    } catch (const std::exception &) {
    }
    return TessaroError::service(*status, text);
}
