#pragma once

#include <exception>

// Thrown by an operation that was superseded while it waited (a newer start or a stop
// ran meanwhile). Callers that started the superseded work treat it as a silent end.
class CancellationError : public std::exception {
public:
    const char *what() const noexcept override { return "The operation was cancelled."; }
};
