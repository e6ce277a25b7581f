#pragma once

#include "audio/CaptureStream.h"
#include "platform/SampleConverter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// Turns the buffers of one channel ("system" or "microphone"), in whatever format they
// come, into 3,200-byte frames of 16 kHz mono signed 16-bit little-endian PCM (100 ms)
// with their peak level, and yields them into the capture stream. A refused frame, an
// unconvertible format or a converter error fails the pipe and ends the stream. Safe
// to feed from an audio thread while another thread closes it.
class AudioFramePipe : public std::enable_shared_from_this<AudioFramePipe> {
public:
    static constexpr qsizetype frameBytes = 3'200;
    static constexpr qsizetype frameSamples = frameBytes / 2;

    AudioFramePipe(QString channel, std::shared_ptr<CaptureStream> output,
                   SampleConverterFactory makeConverter = {});

    const QString &channel() const { return m_channel; }
    const std::shared_ptr<CaptureStream> &output() const { return m_output; }

    void receive(const AudioBuffer &buffer);
    // Stops the pipe for good without ending the stream.
    void close();
    bool closed() const;

    // A tap block for a microphone engine: ignores the time stamp and calls receive().
    // It keeps the pipe alive; the pipe must be owned by a shared_ptr.
    std::function<void(const AudioBuffer &, quint64)> microphoneCallback();

    // Peak level of one frame: the largest sample magnitude ÷ 32,768.
    static float level(QByteArrayView frame);

private:
    void fail(const QString &message);

    const QString m_channel;
    const std::shared_ptr<CaptureStream> m_output;
    const SampleConverterFactory m_makeConverter;

    mutable std::mutex m_mutex;
    std::unique_ptr<SampleConverter> m_converter;
    std::optional<AudioFormat> m_format;
    QByteArray m_pending;
    bool m_closed = false;
};
