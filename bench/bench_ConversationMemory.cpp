// Appending a transcript segment to a conversation memory that is already at capacity:
// 2,500 segments holding 400,000 UTF-16 units of text, so every append also trims the
// earliest segment. This is the steady state of a long conversation.

#include "conversation/ConversationMemory.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int heldSegments = 2500;
constexpr int unitsPerSegment = 160; // 2,500 × 160 = 400,000

Transcript segmentNumber(int i)
{
    Transcript segment;
    segment.id = QStringLiteral("seg-%1-5c1e7a90").arg(i, 7, 10, QLatin1Char('0'));
    segment.text = QString(unitsPerSegment, QChar(u'a' + i % 26));
    segment.channel = (i % 3) ? QStringLiteral("system") : QStringLiteral("microphone");
    segment.final = true;
    segment.startMs = i * 1200.0;
    segment.endMs = i * 1200.0 + 1100.0;
    segment.lastWordEndMs = i * 1200.0 + 1050.0;
    return segment;
}

PreparedAnswer answerNumber(int i)
{
    PreparedAnswer answer;
    answer.id = QStringLiteral("ans-%1").arg(i);
    answer.title = QStringLiteral("Answer ") + QString::number(i);
    answer.cue = QStringLiteral("A short cue for the answer.");
    answer.status = QStringLiteral("ready");
    // Occurrences late enough that trimming never removes the answer.
    answer.occurrences = QList<SpeechOccurrence>{{QStringLiteral("occ"), 1e12, 1e12 + 1000}};
    return answer;
}

void BM_AppendAtCapacity(benchmark::State &state)
{
    const int answerCount = int(state.range(0));
    ConversationMemory memory(20'000'000);
    for (int i = 0; i < heldSegments; ++i)
        memory.append(segmentNumber(i));
    QList<PreparedAnswer> answers;
    for (int i = 0; i < answerCount; ++i)
        answers.append(answerNumber(i));
    memory.merge(answers);

    // Prepared ahead so that only the append is measured.
    constexpr int prepared = 1 << 14;
    QList<Transcript> incoming;
    incoming.reserve(prepared);
    for (int i = 0; i < prepared; ++i)
        incoming.append(segmentNumber(heldSegments + i));

    int next = 0;
    int serial = heldSegments + prepared;
    for (auto _ : state) {
        memory.append(incoming[next]);
        if (++next == prepared) {
            // Fresh, later segments for the next round, built outside the timing.
            state.PauseTiming();
            for (int i = 0; i < prepared; ++i)
                incoming[i] = segmentNumber(serial++);
            next = 0;
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(memory.availableFromMs());
    }
    if (memory.transcript().size() != heldSegments || memory.answers().size() != answerCount
        || memory.transcript().last() != incoming[(next + prepared - 1) % prepared])
        state.SkipWithError("memory left its steady state");
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(BM_AppendAtCapacity)->Arg(0)->Arg(1200)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
