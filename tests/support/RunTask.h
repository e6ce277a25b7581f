#pragma once

#include <QCoro/QCoroTask>
#include <QEventLoop>

#include <exception>
#include <optional>

// Runs a task to its end on a local event loop and returns its value or rethrows its
// failure. Unlike QCoro::waitFor, the value type needs no default constructor.
template<typename T>
T runTask(QCoro::Task<T> task)
{
    QEventLoop loop;
    std::optional<T> value;
    std::exception_ptr failure;
    bool done = false;
    auto runner = [&]() -> QCoro::Task<void> {
        try {
            value.emplace(co_await task);
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        loop.quit();
    };
    auto running = runner();
    if (!done)
        loop.exec();
    if (failure)
        std::rethrow_exception(failure);
    return std::move(*value);
}

inline void runTask(QCoro::Task<void> task)
{
    QEventLoop loop;
    std::exception_ptr failure;
    bool done = false;
    auto runner = [&]() -> QCoro::Task<void> {
        try {
            co_await task;
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        loop.quit();
    };
    auto running = runner();
    if (!done)
        loop.exec();
    if (failure)
        std::rethrow_exception(failure);
}
