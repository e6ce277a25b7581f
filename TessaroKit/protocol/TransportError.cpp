#include "TransportError.h"

TransportError::TransportError(const QString &text)
    : std::runtime_error(text.toStdString())
{
}

TransportError TransportError::cancellation(const QString &text)
{
    TransportError error(text);
    error.m_cancelled = true;
    return error;
}
