#pragma once

#include <QtGlobal>

// How one interleaved sample is stored.
enum class SampleLayout { Float32, Float64, Int16, Int32 };

// The shape of an interleaved PCM stream: rate, channel count and sample layout.
struct AudioFormat {
    double sampleRate = 0;
    int channels = 0;
    SampleLayout layout = SampleLayout::Float32;

    bool operator==(const AudioFormat &) const = default;

    int bytesPerSample() const
    {
        switch (layout) {
        case SampleLayout::Int16:
            return 2;
        case SampleLayout::Float32:
        case SampleLayout::Int32:
            return 4;
        case SampleLayout::Float64:
            return 8;
        }
        return 0;
    }
    int bytesPerFrame() const { return bytesPerSample() * channels; }
};
