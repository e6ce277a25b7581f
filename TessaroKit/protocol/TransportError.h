#pragma once

#include <QString>
#include <stdexcept>

// A request that got no HTTP reply at all: no network, a time-out, a refused
// connection or a cancelled request. Carries the network stack's own text.
class TransportError : public std::runtime_error {
public:
    explicit TransportError(const QString &text);
    bool cancelled() const { return m_cancelled; }
    static TransportError cancellation(const QString &text);

private:
    bool m_cancelled = false;
};
