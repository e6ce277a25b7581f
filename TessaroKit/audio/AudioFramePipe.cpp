#include "audio/AudioFramePipe.h"

#include "audio/SoxrSampleConverter.h"
#include "protocol/TessaroError.h"

#include <QtEndian>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace {

const QString unconvertibleMessage = QStringLiteral("This audio format could not be converted.");
const QString conversionStoppedMessage = QStringLiteral("Audio conversion stopped. Restart capture.");
const QString backPressureMessage =
    QStringLiteral("The connection cannot keep up with live audio. Capture has stopped.");

// Samples the converter may produce for one buffer: the resampled length plus room for
// what it held back from earlier buffers. Absent when it cannot be represented.
std::optional<qsizetype> outputCapacity(qsizetype frames, double inputRate)
{
    if (!(inputRate > 0) || !std::isfinite(inputRate))
        return std::nullopt;
    const double samples = std::ceil(static_cast<double>(frames) * SampleConverter::outputRate / inputRate) + 64;
    // The pending buffer holds 16-bit samples in a QByteArray.
    if (!(samples < static_cast<double>(std::numeric_limits<int>::max() / 4)))
        return std::nullopt;
    return static_cast<qsizetype>(samples);
}

} // namespace

AudioFramePipe::AudioFramePipe(QString channel, std::shared_ptr<CaptureStream> output,
                               SampleConverterFactory makeConverter)
    : m_channel(std::move(channel)), m_output(std::move(output)),
      m_makeConverter(makeConverter ? std::move(makeConverter) : SampleConverterFactory(&SoxrSampleConverter::make))
{
    m_pending.reserve(frameBytes * 2);
}

void AudioFramePipe::receive(const AudioBuffer &buffer)
{
    std::lock_guard lock(m_mutex);
    if (m_closed || buffer.frames <= 0)
        return;

    if (!m_format || !(*m_format == buffer.format)) {
        m_format = buffer.format;
        m_converter.reset();
        m_converter = m_makeConverter(buffer.format);
        // m_pending already holds converted samples and stays.
    }
    if (!m_converter || !buffer.data) {
        fail(unconvertibleMessage);
        return;
    }

    const std::optional<qsizetype> capacity = outputCapacity(buffer.frames, buffer.format.sampleRate);
    if (!capacity) {
        fail(unconvertibleMessage);
        return;
    }
    const qsizetype start = m_pending.size();
    try {
        m_pending.resize(start + *capacity * 2);
    } catch (const std::bad_alloc &) {
        m_pending.resize(start);
        fail(unconvertibleMessage);
        return;
    }

    // Converted straight into the tail of the pending bytes; the samples stay in host
    // order until a frame is cut.
    auto *target = reinterpret_cast<qint16 *>(m_pending.data() + start);
    const std::optional<qsizetype> produced = m_converter->convert(buffer, target, *capacity);
    if (!produced || *produced < 0 || *produced > *capacity) {
        m_pending.resize(start);
        fail(conversionStoppedMessage);
        return;
    }
    m_pending.resize(start + *produced * 2);

    qsizetype offset = 0;
    while (m_pending.size() - offset >= frameBytes) {
        QByteArray frame(m_pending.constData() + offset, frameBytes);
        offset += frameBytes;
        if constexpr (Q_BYTE_ORDER != Q_LITTLE_ENDIAN) {
            auto *samples = reinterpret_cast<qint16 *>(frame.data());
            for (qsizetype index = 0; index < frameSamples; ++index)
                samples[index] = qToLittleEndian(samples[index]);
        }
        const float peak = level(frame);
        if (m_output->yield(CapturedAudio{m_channel, std::move(frame), peak}) == CaptureStream::YieldResult::Dropped) {
            fail(backPressureMessage);
            return;
        }
    }
    if (offset > 0)
        m_pending.remove(0, offset);
}

void AudioFramePipe::fail(const QString &message)
{
    m_closed = true;
    m_pending.clear();
    m_output->finish(std::make_exception_ptr(TessaroError::message(message)));
}

void AudioFramePipe::close()
{
    std::unique_ptr<SampleConverter> converter;
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_pending.clear();
        converter = std::move(m_converter);
    }
}

bool AudioFramePipe::closed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}

std::function<void(const AudioBuffer &, quint64)> AudioFramePipe::microphoneCallback()
{
    return [pipe = shared_from_this()](const AudioBuffer &buffer, quint64) { pipe->receive(buffer); };
}

float AudioFramePipe::level(QByteArrayView frame)
{
    float peak = 0.0f;
    const qsizetype samples = frame.size() / 2;
    const char *bytes = frame.data();
    for (qsizetype index = 0; index < samples; ++index) {
        const qint16 sample = qFromLittleEndian<qint16>(bytes + index * 2);
        const float magnitude = std::fabs(static_cast<float>(sample)) * 0.000030517578125f;
        if (magnitude > peak)
            peak = magnitude;
    }
    return peak;
}
