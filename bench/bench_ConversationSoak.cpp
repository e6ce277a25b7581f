// One long conversation, as a user has it: the development service's simulated sample
// played round after round with its time compressed, ended and resumed in a new service
// session every few rounds, into the real session model (with the presentation the
// screens bind to) over loopback. Every bounded list reaches its limit: 2,500 transcript
// segments and 1,200 answers in the conversation memory, and the transcript and answer
// rows shown from them (the sample's lines are short, so its text stays well under the
// 400,000-unit limit; the text held is reported). Resident memory is read at the start,
// when the limits are first reached and at the end; the soak fails when memory grew by
// more than 20 % after the limits were reached, when a list ends above its limit or
// dropped anything but its oldest entries, or when the model fell behind the service.
//
// Not part of the test run: `build/<dir>/bench/bench_ConversationSoak`. The compression
// can be lowered on a slow machine with CORVANA_SOAK_TIME_SCALE (default 0.0125: one
// round of the sample, about 155 s of conversation, plays in about 2 s). A line per
// session on standard error shows resident memory and the heap in use as the run goes.
#include "DevServiceProcess.h"
#include "FakePlatform.h"
#include "RunTask.h"
#include "conversation/ConversationMemory.h"
#include "model/SessionModel.h"
#include "model/SessionPresentation.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTimer>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

constexpr double growthLimitPercent = 20;
// How far the model may trail the service's schedule before the run says it did not
// keep up (and the compression has to be lowered).
constexpr double lagLimitMs = 5'000;
// Enough for every round of a plan: the wallet never limits the conversation.
constexpr qint64 walletMicros = 1'000'000'000;
// One round of the sample, uncompressed, is about 155 s; a session of the plan must end
// well within this many uncompressed milliseconds per round, or the run is stuck.
constexpr double roundAllowanceMs = 400'000;

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// Bytes the allocator has handed out on the main thread's arena, where the model lives,
// and not had back, in MB: live data, without the free pages an allocator keeps.
double heapInUseMegabytes()
{
    const struct mallinfo2 heap = mallinfo2();
    return double(heap.uordblks + heap.hblkhd) / 1048576.0;
}

double wallMs()
{
    return double(QDateTime::currentMSecsSinceEpoch());
}

// Runs the event loop until `done` holds or the time is up, without spinning.
bool waitFor(const std::function<bool()> &done, qint64 timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || waited.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start();
    loop.exec();
    return done();
}

double timeScale()
{
    bool ok = false;
    const double scale = qEnvironmentVariable("CORVANA_SOAK_TIME_SCALE").toDouble(&ok);
    return ok && scale > 0 && scale <= 1 ? scale : 0.0125;
}

// What the soak saw arrive, kept by the model's event observer, which runs before the
// model applies each event. Only the newest arrivals are kept, a few more than the
// memory may hold, so that this record stops growing when the memory does.
struct Arrivals {
    static constexpr qsizetype segmentWindow = ConversationMemory::maximumSegments + 100;
    static constexpr qsizetype answerWindow = ConversationMemory::maximumAnswers + 300;

    const SessionModel *model = nullptr;
    // The newest segment ids in order of first arrival (the order they are spoken in),
    // with the end of each one's latest version, and the latest end of the older ones.
    QList<QString> segments;
    QHash<QString, double> segmentEnd;
    double olderSegmentsEnd = 0;
    qint64 finalSegments = 0;
    qint64 transcriptEvents = 0;
    qint64 bankEvents = 0;
    // The newest answers that arrived while the memory did not hold them, numbered in
    // that order (the memory keeps its answers in it), with the latest end of their speech.
    struct Arrival {
        QString id;
        qint64 number = 0;
    };
    QList<Arrival> answerOrder;
    QHash<QString, qint64> answerArrival;
    QHash<QString, double> answerSpeechEnd;
    qint64 arrivals = 0;
    double latestMs = 0;                    // latest conversation time of any segment
    // Keeping up: how far the model trails the schedule of the session's final segments.
    double sessionFirstWall = -1;
    double sessionFirstEndMs = 0;
    double worstLagMs = 0;
    bool sampleOver = false;

    void newSession()
    {
        sessionFirstWall = -1;
        sampleOver = false;
    }

    void observe(const ServerEvent &event)
    {
        if (event.type == QLatin1String("transcript") && event.transcript)
            observeSegment(*event.transcript);
        else if (event.type == QLatin1String("bank") && event.answers)
            observeBank(*event.answers);
        // The last step of the last round is a "quiet" with nothing left reserved.
        if (event.type == QLatin1String("quiet") && event.session && event.session->reservedMicros == 0)
            sampleOver = true;
    }

    void observeSegment(const Transcript &segment)
    {
        ++transcriptEvents;
        const double endMs = segment.endMs.value_or(0);
        latestMs = std::max(latestMs, endMs);
        if (!segmentEnd.contains(segment.id)) {
            segments.append(segment.id);
            if (segments.size() > segmentWindow)
                olderSegmentsEnd = std::max(olderSegmentsEnd, segmentEnd.take(segments.takeFirst()));
        }
        segmentEnd.insert(segment.id, endMs);
        if (!segment.final)
            return;
        ++finalSegments;
        const double now = wallMs();
        if (sessionFirstWall < 0) {
            sessionFirstWall = now;
            sessionFirstEndMs = endMs;
        } else {
            // Compressed conversation time runs at the pace of the wall clock.
            worstLagMs = std::max(worstLagMs, (now - sessionFirstWall) - (endMs - sessionFirstEndMs));
        }
    }

    void observeBank(const QList<PreparedAnswer> &answers)
    {
        ++bankEvents;
        QSet<QString> held;
        for (const PreparedAnswer &answer : model->memory().answers())
            held.insert(answer.id);
        for (const PreparedAnswer &answer : answers) {
            if (!held.contains(answer.id)) {
                held.insert(answer.id);
                answerOrder.append({answer.id, ++arrivals});
                answerArrival.insert(answer.id, arrivals);
                if (answerOrder.size() > answerWindow) {
                    const Arrival oldest = answerOrder.takeFirst();
                    if (answerArrival.value(oldest.id) == oldest.number) {
                        answerArrival.remove(oldest.id);
                        answerSpeechEnd.remove(oldest.id);
                    }
                }
            }
            if (answerArrival.contains(answer.id)) {
                double speechEnd = -1;
                for (const SpeechOccurrence &occurrence : answer.occurrences.value_or(QList<SpeechOccurrence>()))
                    speechEnd = std::max(speechEnd, occurrence.endMs);
                answerSpeechEnd.insert(answer.id, speechEnd);
            }
        }
    }
};

// Why the lists the model holds are not what their limits allow, or nothing.
QString limitProblem(const SessionModel &model, SessionPresentation &presentation, const Arrivals &seen)
{
    const ConversationMemory &memory = model.memory();
    const QList<Transcript> &transcript = memory.transcript();
    if (transcript.size() > ConversationMemory::maximumSegments)
        return QStringLiteral("the memory holds %1 segments").arg(transcript.size());
    qint64 units = 0;
    for (const Transcript &segment : transcript)
        units += segment.text.size();
    if (units > ConversationMemory::maximumTextUnits)
        return QStringLiteral("the memory holds %1 UTF-16 units of text").arg(units);
    if (model.transcript().size() != transcript.size())
        return QStringLiteral("the model shows %1 segments, its memory holds %2")
            .arg(model.transcript().size())
            .arg(transcript.size());
    if (presentation.transcriptRows()->count() != transcript.size())
        return QStringLiteral("%1 transcript rows for %2 segments").arg(presentation.transcriptRows()->count()).arg(transcript.size());

    // The held segments are the newest ones received (the sample speaks them in order),
    // and speech is available from the end of the newest one dropped.
    const qsizetype dropped = seen.segments.size() - transcript.size();
    if (dropped < 0)
        return QStringLiteral("the memory holds segments that never arrived");
    for (qsizetype i = 0; i < transcript.size(); ++i) {
        if (transcript[i].id != seen.segments[dropped + i])
            return QStringLiteral("held segment %1 is %2, not the newest %3").arg(i).arg(transcript[i].id, seen.segments[dropped + i]);
    }
    double droppedUntil = seen.olderSegmentsEnd;
    for (qsizetype i = 0; i < dropped; ++i)
        droppedUntil = std::max(droppedUntil, seen.segmentEnd.value(seen.segments[i]));
    if (memory.availableFromMs() != droppedUntil)
        return QStringLiteral("speech is available from %1 ms, the newest segment dropped ended at %2 ms")
            .arg(memory.availableFromMs())
            .arg(droppedUntil);

    // The held answers are in arrival order (one missing from the record arrived too long
    // ago to be held), and an answer that arrived after the oldest one held was dropped
    // only because its speech had left the memory.
    const QList<PreparedAnswer> &answers = memory.answers();
    if (answers.size() > ConversationMemory::maximumAnswers)
        return QStringLiteral("the memory holds %1 answers").arg(answers.size());
    QSet<QString> heldIds;
    qint64 previous = 0;
    for (const PreparedAnswer &answer : answers) {
        const qint64 arrival = seen.answerArrival.value(answer.id, 0);
        if (arrival <= previous)
            return QStringLiteral("held answer %1 is out of arrival order").arg(answer.id);
        previous = arrival;
        heldIds.insert(answer.id);
    }
    const qint64 oldestHeld = answers.isEmpty() ? std::numeric_limits<qint64>::max()
                                                : seen.answerArrival.value(answers.first().id);
    for (auto it = seen.answerArrival.cbegin(); it != seen.answerArrival.cend(); ++it) {
        if (!heldIds.contains(it.key()) && it.value() > oldestHeld
            && seen.answerSpeechEnd.value(it.key()) >= memory.availableFromMs())
            return QStringLiteral("answer %1 was dropped before older ones").arg(it.key());
    }
    if (presentation.answerRows()->count() > model.answers().size())
        return QStringLiteral("%1 answer rows for %2 answers").arg(presentation.answerRows()->count()).arg(model.answers().size());
    return QString();
}

bool limitsReached(const ConversationMemory &memory)
{
    return memory.transcript().size() == ConversationMemory::maximumSegments
        && memory.answers().size() == ConversationMemory::maximumAnswers;
}

// Arguments: service sessions, rounds of the sample in each, and the planned length of
// each session in minutes. 8 × 20 rounds is about 6 h 55 min of conversation (3,520
// segments, 2,240 answers), each session under an hour of it; the limits are reached
// about 114 rounds in, so the last 46 rounds run at them.
void BM_ConversationSoak(benchmark::State &state)
{
    const int sessions = int(state.range(0));
    const int rounds = int(state.range(1));
    const int plannedMinutes = int(state.range(2));
    const double scale = timeScale();

    DevServiceProcess service({QStringLiteral("--simulated"), QStringLiteral("--free-sample"),
                               QStringLiteral("--time-scale"), QString::number(scale),
                               QStringLiteral("--sample-rounds"), QString::number(rounds),
                               QStringLiteral("--balance-micros"), QString::number(walletMicros),
                               QStringLiteral("--max-session-minutes"), QString::number(plannedMinutes)});
    if (!service.started()) {
        state.SkipWithError(qPrintable(service.errorText()));
        return;
    }
    FakePlatform platform;
    Platform bundle = platform.bundle();
    // Resumed sessions carry on at the conversation time the wall clock gives them, as in
    // the app; the compressed sample keeps its times on the same clock.
    bundle.epochMilliseconds = wallMs;
    SessionModel model(bundle);
    SessionPresentation presentation(model);
    try {
        runTask(model.connect(service.connection(), false));
    } catch (const std::exception &failure) {
        state.SkipWithError((std::string("could not connect: ") + failure.what()).c_str());
        return;
    }
    model.setBudget(QStringLiteral("20"));
    model.setDurationMinutes(plannedMinutes);

    Arrivals seen;
    seen.model = &model;
    model.setEvaluationObserver([&seen](const ServerEvent &event) { seen.observe(event); });

    double rssStart = 0;
    double rssAtLimits = -1;
    double heapAtLimits = -1;
    double slowestStartMs = 0;
    double limitsAtWallS = -1;
    QElapsedTimer wall;
    QMetaObject::Connection limitWatch = QObject::connect(&model, &SessionModel::memoryChanged, &model, [&] {
        if (rssAtLimits < 0 && limitsReached(model.memory())) {
            rssAtLimits = residentMegabytes();
            heapAtLimits = heapInUseMegabytes();
            limitsAtWallS = double(wall.nsecsElapsed()) / 1e9;
        }
    });

    QString failure;
    int sessionsRun = 0;
    for (auto _ : state) {
        rssStart = residentMegabytes();
        wall.start();
        for (int session = 0; session < sessions && failure.isEmpty(); ++session) {
            seen.newSession();
            QElapsedTimer starting;
            starting.start();
            runTask(model.start(session > 0, false));
            slowestStartMs = std::max(slowestStartMs, double(starting.nsecsElapsed()) / 1e6);
            if (!model.active()) {
                failure = QStringLiteral("session %1 did not start: %2").arg(session + 1).arg(model.error().value_or(model.status()));
                break;
            }
            ++sessionsRun;
            const qint64 timeoutMs = qint64(rounds * roundAllowanceMs * scale) + 60'000;
            const bool over = waitFor([&] { return seen.sampleOver || !model.active(); }, timeoutMs);
            if (!over)
                failure = QStringLiteral("session %1 was still playing after %2 s").arg(session + 1).arg(timeoutMs / 1000);
            else if (!model.active())
                failure = QStringLiteral("session %1 ended early (%2) with $%3 of the conversation's $%4 committed")
                              .arg(session + 1)
                              .arg(model.status())
                              .arg(double(model.memory().committedMicros()) / 1e6, 0, 'f', 2)
                              .arg(double(model.memory().limitMicros()) / 1e6, 0, 'f', 2);
            runTask(model.stop());
            std::fprintf(stderr, "soak: session %d/%d over: %lld segments and %lld answers held; RSS %.1f MB, heap in use %.1f MB\n",
                         session + 1, sessions, qint64(model.memory().transcript().size()),
                         qint64(model.memory().answers().size()), residentMegabytes(), heapInUseMegabytes());
        }
        state.SetIterationTime(double(wall.nsecsElapsed()) / 1e9);
    }
    QObject::disconnect(limitWatch);
    // Anything still on its way settles before the last reading.
    waitFor([] { return false; }, 500);
    const double rssEnd = residentMegabytes();
    const double heapEnd = heapInUseMegabytes();

    const ConversationMemory &memory = model.memory();
    qint64 units = 0;
    for (const Transcript &segment : memory.transcript())
        units += segment.text.size();
    const double growth = rssAtLimits > 0 ? (rssEnd - rssAtLimits) / rssAtLimits * 100 : 0;
    const double conversationHours = seen.latestMs / scale / 3'600'000;

    state.counters["sessions"] = sessionsRun;
    state.counters["time_scale"] = scale;
    state.counters["conversation_h"] = conversationHours;
    state.counters["segments_received"] = double(seen.finalSegments);
    state.counters["transcript_events"] = double(seen.transcriptEvents);
    state.counters["answers_received"] = double(seen.arrivals);
    state.counters["bank_events"] = double(seen.bankEvents);
    state.counters["held_segments"] = double(memory.transcript().size());
    state.counters["segment_limit"] = double(ConversationMemory::maximumSegments);
    state.counters["held_text_units"] = double(units);
    state.counters["text_limit"] = double(ConversationMemory::maximumTextUnits);
    state.counters["held_answers"] = double(memory.answers().size());
    state.counters["answer_limit"] = double(ConversationMemory::maximumAnswers);
    state.counters["bank_answers"] = double(model.answers().size());
    state.counters["gap_lines"] = double(model.gapSummary().size());
    state.counters["rss_start_MB"] = rssStart;
    state.counters["rss_limits_MB"] = rssAtLimits;
    state.counters["rss_end_MB"] = rssEnd;
    state.counters["growth_pct"] = growth;
    state.counters["heap_limits_MB"] = heapAtLimits;
    state.counters["heap_end_MB"] = heapEnd;
    state.counters["slowest_start_ms"] = slowestStartMs;
    state.counters["limits_at_s"] = limitsAtWallS;
    state.counters["worst_lag_ms"] = seen.worstLagMs;

    // The figures, also when the run fails (a failed run shows no counters).
    std::fprintf(stderr,
                 "soak: %d sessions x %d rounds at time scale %g: %.2f h of conversation, %lld segments "
                 "(%lld transcript events), %lld answers (%lld banks); held %lld/%lld segments, %lld/%lld text units, "
                 "%lld/%lld answers; bank %lld answers; %lld gap lines; RSS %.1f MB at start, %.1f MB at the limits "
                 "(%.1f s), %.1f MB at the end (%+.1f %%); heap in use %.1f MB at the limits, %.1f MB at the end; "
                 "worst lag %.0f ms; slowest start %.0f ms; %.1f s\n",
                 sessionsRun, rounds, scale, conversationHours, seen.finalSegments, seen.transcriptEvents,
                 seen.arrivals, seen.bankEvents, qint64(memory.transcript().size()),
                 qint64(ConversationMemory::maximumSegments), units, qint64(ConversationMemory::maximumTextUnits),
                 qint64(memory.answers().size()), qint64(ConversationMemory::maximumAnswers),
                 qint64(model.answers().size()), qint64(model.gapSummary().size()), rssStart, rssAtLimits,
                 limitsAtWallS, rssEnd, growth, heapAtLimits, heapEnd, seen.worstLagMs, slowestStartMs,
                 double(wall.nsecsElapsed()) / 1e9);

    if (failure.isEmpty())
        failure = limitProblem(model, presentation, seen);
    if (failure.isEmpty() && rssAtLimits < 0)
        failure = QStringLiteral("the limits were never reached: %1 segments and %2 answers held")
                      .arg(memory.transcript().size())
                      .arg(memory.answers().size());
    if (failure.isEmpty() && model.gapSummary().size() != sessionsRun - 1)
        failure = QStringLiteral("%1 gap lines after %2 resumes").arg(model.gapSummary().size()).arg(sessionsRun - 1);
    if (failure.isEmpty() && seen.worstLagMs > lagLimitMs)
        failure = QStringLiteral("the model fell %1 s behind the service; lower the compression "
                                 "(CORVANA_SOAK_TIME_SCALE)")
                      .arg(seen.worstLagMs / 1000, 0, 'f', 1);
    if (failure.isEmpty() && growth > growthLimitPercent)
        failure = QStringLiteral("resident memory grew %1 % after the limits were reached").arg(growth, 0, 'f', 1);
    if (!failure.isEmpty())
        state.SkipWithError(qPrintable(failure));
}
BENCHMARK(BM_ConversationSoak)
    ->ArgNames({"sessions", "rounds", "minutes"})
    ->Args({8, 20, 60})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
