#pragma once

#include "platform/SampleConverter.h"

#include <vector>

struct soxr;

// SampleConverter over libsoxr with its default quality: the input channels are
// averaged to mono, resampled as one continuous stream, then rounded to 16 bits with
// clipping (full scale 1.0 is 32,768).
class SoxrSampleConverter final : public SampleConverter {
public:
    // Null when the format is not one the converter handles (rate not positive, no
    // channels, more than 64 channels) or libsoxr refuses it.
    static std::unique_ptr<SampleConverter> make(const AudioFormat &format);

    ~SoxrSampleConverter() override;
    SoxrSampleConverter(const SoxrSampleConverter &) = delete;
    SoxrSampleConverter &operator=(const SoxrSampleConverter &) = delete;

    std::optional<qsizetype> convert(const AudioBuffer &input, qint16 *output, qsizetype capacity) override;

    static constexpr int maximumChannels = 64;

private:
    SoxrSampleConverter(const AudioFormat &format, soxr *resampler);

    AudioFormat m_format;
    soxr *m_resampler;
    std::vector<float> m_mono;
    std::vector<float> m_resampled;
};
