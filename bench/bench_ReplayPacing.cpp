// Replays a 90-second recording to the development service over loopback and measures
// how late each frame leaves against its deadline (start + i × 100 ms) and how far the
// last frame has drifted.
#include "DevServiceProcess.h"
#include "RunTask.h"
#include "protocol/ServiceClient.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>

namespace {

QByteArray wavSeconds(int seconds)
{
    const QByteArray pcm(seconds * 32'000, '\x01');
    auto le32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); };
    auto le16 = [](quint16 v) { return QByteArray(reinterpret_cast<const char *>(&v), 2); };
    return "RIFF" + le32(36 + pcm.size()) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(16000) + le32(32000)
        + le16(2) + le16(16) + "data" + le32(pcm.size()) + pcm;
}

void BM_ReplayPacing(benchmark::State &state)
{
    DevServiceProcess service({QStringLiteral("--scripted-words")});
    if (!service.started()) {
        state.SkipWithError(qPrintable(service.errorText()));
        return;
    }
    const int seconds = int(state.range(0));
    const PCMRecording recording(wavSeconds(seconds));
    for (auto _ : state) {
        ServiceClient client(service.connection());
        SessionInput input;
        input.domain = QStringLiteral("Pacing");
        input.budgetMicros = 1'000'000;
        input.source = QStringLiteral("system");
        input.timeOffsetMs = 0;
        runTask(client.start(input));
        QElapsedTimer clock;
        double worstLateMs = 0;
        double lastLateMs = 0;
        int index = 0;
        bool started = false;
        runTask(client.replay(recording, [&](double) {
            if (!started) {
                clock.start();
                started = true;
            }
            const double due = index * 100.0;
            const double late = double(clock.nsecsElapsed()) / 1e6 - due;
            worstLateMs = std::max(worstLateMs, late);
            lastLateMs = late;
            ++index;
        }));
        runTask(client.stop());
        state.counters["frames"] = index;
        state.counters["worst_late_ms"] = worstLateMs;
        state.counters["final_drift_ms"] = lastLateMs;
    }
}

} // namespace

BENCHMARK(BM_ReplayPacing)->Arg(90)->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
