// Converting 48 kHz stereo float buffers of 10 ms (480 frames, the size a sound server
// typically hands over) to 16 kHz mono 16-bit samples with the streaming converter:
// channel averaging, resampling with state kept between buffers, rounding and
// clipping. The "realtime" counter is how many seconds of audio one core converts per
// second of its time.

#include "audio/SoxrSampleConverter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr int rate = 48'000;
constexpr int framesPerBuffer = 480;
// One minute of input per iteration.
constexpr int buffersPerIteration = 6'000;

void BM_ConvertStereoFloat(benchmark::State &state)
{
    std::vector<float> tone(framesPerBuffer * 2 * 100);
    for (size_t i = 0; i < tone.size() / 2; ++i) {
        const float value = 0.4f * float(std::sin(2 * std::numbers::pi * 440.0 * double(i) / rate));
        tone[i * 2] = value;
        tone[i * 2 + 1] = -0.5f * value;
    }
    const AudioFormat format{rate, 2, SampleLayout::Float32};
    const std::unique_ptr<SampleConverter> converter = SoxrSampleConverter::make(format);
    if (!converter) {
        state.SkipWithError("the converter refused the format");
        return;
    }
    std::vector<qint16> output(framesPerBuffer);
    qint64 produced = 0;
    for (auto _ : state) {
        for (int buffer = 0; buffer < buffersPerIteration; ++buffer) {
            const float *data = tone.data() + (buffer % 100) * framesPerBuffer * 2;
            const std::optional<qsizetype> count =
                converter->convert(AudioBuffer{format, framesPerBuffer, data}, output.data(), qsizetype(output.size()));
            produced += count.value_or(0);
        }
        benchmark::DoNotOptimize(produced);
        benchmark::ClobberMemory();
    }
    const double audioSeconds = double(state.iterations()) * buffersPerIteration * framesPerBuffer / rate;
    state.counters["realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
    state.counters["samples_out_per_buffer"] =
        double(produced) / (double(state.iterations()) * buffersPerIteration);
}

} // namespace

BENCHMARK(BM_ConvertStereoFloat)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
