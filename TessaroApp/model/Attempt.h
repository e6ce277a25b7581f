#pragma once

#include "protocol/TessaroError.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QString>

#include <optional>
#include <type_traits>

// What one awaited operation of the model came to: whether its owner is gone (then the
// caller must return without touching it), the description of its failure, and its value.
template <typename T = void>
struct Attempt {
    bool ownerGone = false;
    std::optional<QString> failure;
    std::optional<T> value;
};

template <>
struct Attempt<void> {
    bool ownerGone = false;
    std::optional<QString> failure;
};

// Awaits the operation and catches what it throws as its description.
template <typename Owner, typename T>
QCoro::Task<Attempt<T>> attempt(QPointer<Owner> owner, QCoro::Task<T> operation)
{
    Attempt<T> outcome;
    try {
        if constexpr (std::is_void_v<T>)
            co_await std::move(operation);
        else
            outcome.value = co_await std::move(operation);
    } catch (const std::exception &failure) {
        outcome.failure = describeFailure(failure);
    }
    outcome.ownerGone = !owner;
    co_return outcome;
}
