#pragma once

#include "platform/AudioBuffer.h"

#include <functional>
#include <memory>
#include <optional>

// Converts a continuous stream of buffers in one input format to 16 kHz mono signed
// 16-bit samples. State (filter history, samples held back) is kept from one buffer to
// the next; the stream is never flushed in the middle.
class SampleConverter {
public:
    static constexpr double outputRate = 16'000;

    virtual ~SampleConverter() = default;

    // Converts one buffer of the format the converter was made for, writing at most
    // `capacity` samples to `output`. Returns the number written, or nothing when the
    // conversion failed.
    virtual std::optional<qsizetype> convert(const AudioBuffer &input, qint16 *output, qsizetype capacity) = 0;
};

// Builds a converter for an input format; null when the format cannot be converted.
using SampleConverterFactory = std::function<std::unique_ptr<SampleConverter>(const AudioFormat &format)>;
