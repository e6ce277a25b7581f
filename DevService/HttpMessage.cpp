#include "HttpMessage.h"

#include <QList>

namespace {

constexpr qsizetype maximumHeaderBytes = 64 * 1024;
constexpr qsizetype maximumBodyBytes = 16 * 1024 * 1024;

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 307: return "Temporary Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 409: return "Conflict";
    case 413: return "Payload Too Large";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

} // namespace

HttpMessage::Parse HttpMessage::parse(const QByteArray &buffer, HttpMessage &message, qsizetype &consumed)
{
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return buffer.size() > maximumHeaderBytes ? Parse::Malformed : Parse::Incomplete;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1."))
        return Parse::Malformed;
    message = HttpMessage();
    message.method = requestLine[0];
    const QByteArray target = requestLine[1];
    const qsizetype query = target.indexOf('?');
    message.path = QString::fromUtf8(query >= 0 ? target.left(query) : target);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return Parse::Malformed;
        message.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    bool ok = true;
    const QByteArray lengthText = message.header("content-length");
    const qsizetype length = lengthText.isEmpty() ? 0 : lengthText.toLongLong(&ok);
    if (!ok || length < 0 || length > maximumBodyBytes)
        return Parse::Malformed;
    const qsizetype total = headerEnd + 4 + length;
    if (buffer.size() < total)
        return Parse::Incomplete;
    message.body = buffer.mid(headerEnd + 4, length);
    consumed = total;
    return Parse::Complete;
}

QByteArray HttpMessage::reply(int status, const QByteArray &body, const QByteArray &contentType,
                              const QList<std::pair<QByteArray, QByteArray>> &extraHeaders)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n";
    if (!contentType.isEmpty())
        out += "Content-Type: " + contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    for (const auto &[name, value] : extraHeaders)
        out += name + ": " + value + "\r\n";
    out += "Connection: keep-alive\r\n\r\n";
    out += body;
    return out;
}
