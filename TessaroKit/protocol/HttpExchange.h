#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <memory>
#include <optional>

class TessaroError;

// An ephemeral HTTP stack: redirects are never followed (the 3xx reply is the result),
// no cookie is sent or kept, nothing is cached, and a request idle for 15 seconds fails.
// Reply bodies are read up to a cap; a longer body is abandoned as soon as it passes it.
class HttpExchange : public QObject {
    Q_OBJECT

public:
    struct Reply {
        // Absent when the reply was not HTTP.
        std::optional<int> status;
        QByteArray body;
        bool oversize = false;

        // What the reply means when it is not a success: `malformed` without an HTTP
        // status or when the body was too large; for a status outside 2xx, the service's
        // own message when it sends one of at most `longestMessage` graphemes, else
        // `refused`. None for a success.
        std::optional<TessaroError> failure(const QString &malformed, const QString &refused,
                                            qsizetype longestMessage) const;
    };

    explicit HttpExchange(QObject *parent = nullptr);
    ~HttpExchange() override;

    // Sends one request. Transport failures throw TransportError; after invalidate() every
    // outstanding and later request fails as cancelled.
    QCoro::Task<Reply> send(QUrl url, QByteArray method, std::optional<QByteArray> body,
                            QList<std::pair<QByteArray, QByteArray>> headers, qint64 bodyCap);

    void invalidate();
    bool invalidated() const { return m_invalidated; }

private:
    QNetworkAccessManager *m_network;
    bool m_invalidated = false;
};
