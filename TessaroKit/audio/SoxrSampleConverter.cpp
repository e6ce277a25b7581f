#include "audio/SoxrSampleConverter.h"

#include <soxr.h>

#include <cmath>
#include <cstring>

namespace {

template <typename Sample>
void averageChannels(const void *data, qsizetype frames, int channels, double scale, float *mono)
{
    const auto *samples = static_cast<const Sample *>(data);
    const double perChannel = scale / channels;
    for (qsizetype frame = 0; frame < frames; ++frame) {
        double sum = 0;
        const Sample *first = samples + frame * channels;
        for (int channel = 0; channel < channels; ++channel)
            sum += static_cast<double>(first[channel]);
        mono[frame] = static_cast<float>(sum * perChannel);
    }
}

qint16 toInt16(float value)
{
    if (!(value == value)) // NaN from a faulty source becomes silence
        return 0;
    const float scaled = std::nearbyint(value * 32768.0f);
    if (scaled >= 32767.0f)
        return 32767;
    if (scaled <= -32768.0f)
        return -32768;
    return static_cast<qint16>(scaled);
}

} // namespace

std::unique_ptr<SampleConverter> SoxrSampleConverter::make(const AudioFormat &format)
{
    if (!(format.sampleRate > 0) || !std::isfinite(format.sampleRate) || format.channels <= 0
        || format.channels > maximumChannels || format.bytesPerSample() == 0)
        return nullptr;
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    // One thread: the conversion runs on the caller's real-time audio thread.
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_t resampler = soxr_create(format.sampleRate, outputRate, 1, &error, &io, nullptr, &runtime);
    if (error || !resampler) {
        if (resampler)
            soxr_delete(resampler);
        return nullptr;
    }
    return std::unique_ptr<SampleConverter>(new SoxrSampleConverter(format, resampler));
}

SoxrSampleConverter::SoxrSampleConverter(const AudioFormat &format, soxr *resampler)
    : m_format(format), m_resampler(resampler)
{
}

SoxrSampleConverter::~SoxrSampleConverter()
{
    soxr_delete(m_resampler);
}

std::optional<qsizetype> SoxrSampleConverter::convert(const AudioBuffer &input, qint16 *output, qsizetype capacity)
{
    if (!(input.format == m_format) || input.frames < 0 || capacity < 0 || (input.frames > 0 && !input.data))
        return std::nullopt;
    if (input.frames == 0 || capacity == 0)
        return qsizetype(0);

    const auto frames = static_cast<size_t>(input.frames);
    if (m_mono.size() < frames)
        m_mono.resize(frames);
    if (m_resampled.size() < static_cast<size_t>(capacity))
        m_resampled.resize(static_cast<size_t>(capacity));

    switch (m_format.layout) {
    case SampleLayout::Float32:
        averageChannels<float>(input.data, input.frames, m_format.channels, 1.0, m_mono.data());
        break;
    case SampleLayout::Float64:
        averageChannels<double>(input.data, input.frames, m_format.channels, 1.0, m_mono.data());
        break;
    case SampleLayout::Int16:
        averageChannels<qint16>(input.data, input.frames, m_format.channels, 1.0 / 32768.0, m_mono.data());
        break;
    case SampleLayout::Int32:
        averageChannels<qint32>(input.data, input.frames, m_format.channels, 1.0 / 2147483648.0, m_mono.data());
        break;
    }

    size_t consumed = 0;
    size_t produced = 0;
    // Without a flush libsoxr holds back what it cannot finish yet and keeps its
    // filter state for the next buffer.
    while (consumed < frames && produced < static_cast<size_t>(capacity)) {
        size_t used = 0;
        size_t made = 0;
        const soxr_error_t error = soxr_process(m_resampler, m_mono.data() + consumed, frames - consumed, &used,
                                                m_resampled.data() + produced, static_cast<size_t>(capacity) - produced,
                                                &made);
        if (error)
            return std::nullopt;
        consumed += used;
        produced += made;
        if (used == 0 && made == 0)
            break;
    }
    if (consumed < frames)
        return std::nullopt;

    for (size_t index = 0; index < produced; ++index)
        output[index] = toInt16(m_resampled[index]);
    return static_cast<qsizetype>(produced);
}
