#pragma once

#include <QObject>

#include <QCoro/QCoroTask>

#include <chrono>
#include <memory>

// The handle of one background loop or wait. Cancelling it is immediate: a loop asleep
// in sleep() or waiting in untilCancelled() wakes at once.
class TaskHandle : public QObject {
    Q_OBJECT

public:
    static std::shared_ptr<TaskHandle> make() { return std::make_shared<TaskHandle>(); }

    void cancel();
    bool cancelled() const { return m_cancelled; }

    // Waits for the duration; false when the handle was cancelled before or meanwhile.
    QCoro::Task<bool> sleep(std::chrono::milliseconds duration);
    // Waits until cancel() is called.
    QCoro::Task<void> untilCancelled();

signals:
    void wake();

private:
    bool m_cancelled = false;
};
