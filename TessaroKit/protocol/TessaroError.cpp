#include "TessaroError.h"

TessaroError::TessaroError(Kind kind, int code, const QString &text)
    : m_kind(kind), m_code(code), m_text(text), m_utf8(text.toUtf8())
{
}

TessaroError TessaroError::message(const QString &text)
{
    return TessaroError(Kind::Message, 0, text);
}

TessaroError TessaroError::service(int code, const QString &text)
{
    return TessaroError(Kind::Service, code, text);
}

QString describeFailure(const std::exception &failure)
{
    if (auto *own = dynamic_cast<const TessaroError *>(&failure))
        return own->description();
    return QString::fromUtf8(failure.what());
}
