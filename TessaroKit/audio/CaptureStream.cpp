#include "audio/CaptureStream.h"

#include <QMetaObject>
#include <QPointer>

// Suspends the consumer until a frame or the end arrives. The check and the
// registration happen under the stream's mutex, so a wake-up cannot be missed.
struct CaptureStream::Wait {
    CaptureStream *stream;

    bool await_ready() const
    {
        std::lock_guard lock(stream->m_mutex);
        return !stream->m_frames.empty() || stream->m_finished;
    }
    bool await_suspend(std::coroutine_handle<> handle)
    {
        std::lock_guard lock(stream->m_mutex);
        if (!stream->m_frames.empty() || stream->m_finished)
            return false;
        stream->m_waiters.push_back(handle);
        return true;
    }
    void await_resume() const {}
};

CaptureStream::CaptureStream(QObject *parent) : QObject(parent) {}

CaptureStream::~CaptureStream() = default;

CaptureStream::YieldResult CaptureStream::yield(CapturedAudio frame)
{
    std::unique_lock lock(m_mutex);
    if (m_finished)
        return YieldResult::Terminated;
    if (m_frames.size() >= static_cast<size_t>(capacity))
        return YieldResult::Dropped;
    m_frames.push_back(std::move(frame));
    wakeWaiters(lock);
    return YieldResult::Enqueued;
}

void CaptureStream::finish()
{
    end(nullptr);
}

void CaptureStream::finish(std::exception_ptr failure)
{
    end(std::move(failure));
}

void CaptureStream::end(std::exception_ptr failure)
{
    std::unique_lock lock(m_mutex);
    if (m_finished)
        return;
    m_finished = true;
    m_failure = std::move(failure);
    wakeWaiters(lock);
}

bool CaptureStream::finished() const
{
    std::lock_guard lock(m_mutex);
    return m_finished;
}

qsizetype CaptureStream::buffered() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<qsizetype>(m_frames.size());
}

void CaptureStream::wakeWaiters(std::unique_lock<std::mutex> &lock)
{
    if (m_waiters.empty())
        return;
    std::vector<std::coroutine_handle<>> waiters;
    waiters.swap(m_waiters);
    lock.unlock();
    // Resume on the consumer's thread, never on the producer's.
    for (std::coroutine_handle<> waiter : waiters)
        QMetaObject::invokeMethod(this, [waiter] { waiter.resume(); }, Qt::QueuedConnection);
    lock.lock();
}

QCoro::Task<std::optional<CapturedAudio>> CaptureStream::next()
{
    while (true) {
        {
            std::unique_lock lock(m_mutex);
            if (!m_frames.empty()) {
                CapturedAudio frame = std::move(m_frames.front());
                m_frames.pop_front();
                co_return frame;
            }
            if (m_finished) {
                if (std::exception_ptr failure = std::exchange(m_failure, nullptr)) {
                    lock.unlock();
                    std::rethrow_exception(failure);
                }
                co_return std::nullopt;
            }
        }
        co_await Wait{this};
    }
}
