#pragma once

#include <QString>
#include <exception>

// The one error type of the core library. `message` carries a fixed sentence chosen by
// the library; `service` carries the HTTP status the service answered with and the text
// to show. The description is always the carried text.
class TessaroError : public std::exception {
public:
    enum class Kind { Message, Service };

    static TessaroError message(const QString &text);
    static TessaroError service(int code, const QString &text);

    Kind kind() const { return m_kind; }
    int code() const { return m_code; }
    const QString &description() const { return m_text; }
    bool requiresSignIn() const { return m_kind == Kind::Service && m_code == 401; }

    const char *what() const noexcept override { return m_utf8.constData(); }

    bool operator==(const TessaroError &other) const
    {
        return m_kind == other.m_kind && m_code == other.m_code && m_text == other.m_text;
    }

private:
    TessaroError(Kind kind, int code, const QString &text);

    Kind m_kind;
    int m_code;
    QString m_text;
    QByteArray m_utf8;
};

// The description of any failure the core passes on: our own text for TessaroError,
// the carried text for other std::exceptions.
QString describeFailure(const std::exception &failure);
