#pragma once

#include "audio/AudioCapture.h"

#include <QObject>

#include <coroutine>
#include <deque>
#include <exception>
#include <mutex>
#include <vector>

// The bounded stream of frames between the audio threads and the main thread. It holds
// at most `capacity` frames and keeps the oldest: a frame arriving while it is full is
// refused. Producers yield and finish from any thread; the consumer awaits next() on
// the thread the stream lives on (the main thread). A finished stream still hands out
// every frame buffered before the end, then its error (once), then nothing.
class CaptureStream final : public QObject, public CapturedAudioStream {
    Q_OBJECT

public:
    static constexpr qsizetype capacity = 30;

    enum class YieldResult { Enqueued, Dropped, Terminated };

    explicit CaptureStream(QObject *parent = nullptr);
    ~CaptureStream() override;

    YieldResult yield(CapturedAudio frame);
    // Ends the stream without error; later finishes are ignored.
    void finish();
    // Ends the stream with a failure; later finishes are ignored.
    void finish(std::exception_ptr failure);
    bool finished() const;
    qsizetype buffered() const;

    QCoro::Task<std::optional<CapturedAudio>> next() override;

private:
    struct Wait;

    void end(std::exception_ptr failure);
    void wakeWaiters(std::unique_lock<std::mutex> &lock);

    mutable std::mutex m_mutex;
    std::deque<CapturedAudio> m_frames;
    bool m_finished = false;
    std::exception_ptr m_failure;
    std::vector<std::coroutine_handle<>> m_waiters;
};
