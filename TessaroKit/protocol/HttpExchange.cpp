#include "HttpExchange.h"

#include "TransportError.h"

#include <QCoro/QCoroNetworkReply>
#include <QNetworkReply>

namespace {

constexpr int idleTimeoutMs = 15'000;

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
    if (!status.isValid()) {
        if (reply->error() == QNetworkReply::OperationCanceledError)
            throw TransportError::cancellation(reply->errorString());
        throw TransportError(reply->errorString());
    }
    result.status = status.toInt();
    result.body = std::move(*collected);
    co_return result;
}
