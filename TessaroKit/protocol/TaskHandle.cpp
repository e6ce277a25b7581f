#include "TaskHandle.h"

#include <QCoro/QCoroSignal>
#include <QTimer>

void TaskHandle::cancel()
{
    if (m_cancelled)
        return;
    m_cancelled = true;
    emit wake();
}

QCoro::Task<bool> TaskHandle::sleep(std::chrono::milliseconds duration)
{
    if (m_cancelled)
        co_return false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, this, &TaskHandle::wake);
    timer.start(duration);
    co_await qCoro(this, &TaskHandle::wake);
    co_return !m_cancelled;
}

QCoro::Task<void> TaskHandle::untilCancelled()
{
    if (m_cancelled)
        co_return;
    co_await qCoro(this, &TaskHandle::wake);
}
