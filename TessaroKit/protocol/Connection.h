#pragma once

#include "WireCoding.h"

// A validated, normalised pair of service base URL and device token. Construction and
// decoding both validate; an invalid pair never exists.
class Connection {
public:
    // Throws TessaroError::message(invalidMessage) when any rule fails.
    Connection(const QString &serviceUrl, const QString &token);

    static const QString invalidMessage;

    const QString &serviceUrl() const { return m_serviceUrl; }
    const QString &token() const { return m_token; }

    static Connection fromWire(const QJsonValue &value);
    static constexpr auto wireFields()
    {
        return std::tuple{wire::field("serviceUrl", &Connection::m_serviceUrl),
                          wire::field("token", &Connection::m_token)};
    }

    bool operator==(const Connection &) const = default;

private:
    QString m_serviceUrl;
    QString m_token;
};
