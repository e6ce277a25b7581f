#pragma once

#include "protocol/TessaroError.h"

#include <QString>

#include <functional>

// The description of the TessaroError the call throws; empty when it throws nothing.
inline QString failureOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const TessaroError &failure) {
        return failure.description();
    }
    return {};
}
