#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// One HTTP/1.1 request read from a connection, and the writing of replies.
struct HttpMessage {
    QByteArray method;
    QString path;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;

    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    bool isUpgrade() const { return header("upgrade").toLower() == "websocket"; }

    enum class Parse { Incomplete, Complete, Malformed };
    // Parses one request from the front of `buffer`; on Complete, `consumed` is its length.
    static Parse parse(const QByteArray &buffer, HttpMessage &message, qsizetype &consumed);

    static QByteArray reply(int status, const QByteArray &body, const QByteArray &contentType = "application/json",
                            const QList<std::pair<QByteArray, QByteArray>> &extraHeaders = {});
};
