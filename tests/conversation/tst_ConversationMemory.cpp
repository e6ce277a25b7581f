#include "conversation/ConversationMemory.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <algorithm>
#include <limits>

namespace {

Transcript segment(const QString &id, std::optional<double> startMs, std::optional<double> endMs,
                   const QString &text = QStringLiteral("words"), bool final = true)
{
    Transcript transcript;
    transcript.id = id;
    transcript.text = text;
    transcript.channel = QStringLiteral("system");
    transcript.final = final;
    transcript.startMs = startMs;
    transcript.endMs = endMs;
    return transcript;
}

SpeechOccurrence occurrence(double startMs, double endMs)
{
    SpeechOccurrence result;
    result.id = QStringLiteral("occ-%1").arg(startMs);
    result.startMs = startMs;
    result.endMs = endMs;
    return result;
}

PreparedAnswer answer(const QString &id, std::optional<QList<SpeechOccurrence>> occurrences = QList<SpeechOccurrence>{
                                             occurrence(0, 1'000'000'000)})
{
    PreparedAnswer result;
    result.id = id;
    result.title = QStringLiteral("Title of ") + id;
    result.cue = QStringLiteral("Cue of ") + id;
    result.status = QStringLiteral("ready");
    result.occurrences = std::move(occurrences);
    return result;
}

SessionSnapshot snapshot(const QString &id, qint64 spent, qint64 reserved)
{
    SessionSnapshot result;
    result.id = id;
    result.state = QStringLiteral("live");
    result.spentMicros = spent;
    result.reservedMicros = reserved;
    return result;
}

QStringList ids(const QList<Transcript> &segments)
{
    QStringList result;
    for (const Transcript &held : segments)
        result.append(held.id);
    return result;
}

QStringList ids(const QList<PreparedAnswer> &answers)
{
    QStringList result;
    for (const PreparedAnswer &held : answers)
        result.append(held.id);
    return result;
}

// The appending rules applied literally, to check the memory's ordering and trimming
// against.
struct ReferenceMemory {
    QList<Transcript> transcript;
    QList<PreparedAnswer> answers;
    double availableFromMs = 0;

    void append(const Transcript &incoming)
    {
        transcript.removeIf([&](const Transcript &held) { return held.id == incoming.id; });
        transcript.append(incoming);
        std::stable_sort(transcript.begin(), transcript.end(), [](const Transcript &a, const Transcript &b) {
            return a.startMs.value_or(0) < b.startMs.value_or(0);
        });
        qint64 total = 0;
        for (const Transcript &held : transcript)
            total += held.text.size();
        while (transcript.size() > 2500 || total > 400000) {
            total -= transcript.first().text.size();
            availableFromMs = std::max(availableFromMs, transcript.first().endMs.value_or(0));
            transcript.removeFirst();
        }
        answers.removeIf([&](const PreparedAnswer &held) {
            if (!held.occurrences)
                return true;
            return std::none_of(held.occurrences->begin(), held.occurrences->end(),
                                [&](const SpeechOccurrence &o) { return o.endMs >= availableFromMs; });
        });
    }
};

} // namespace

class ConversationMemoryTest : public QObject {
    Q_OBJECT
private slots:
    void ordering_data();
    void ordering();
    void segmentLimitTrimsEarliest();
    void textLimitCountsUtf16Units();
    void oversizedText();
    void answersPrunedOnEveryAppend_data();
    void answersPrunedOnEveryAppend();
    void matchesLiteralRules();
    void mergeKeepsNewest();
    void accounting_data();
    void accounting();
    void history();
};

void ConversationMemoryTest::ordering_data()
{
    QTest::addColumn<QList<Transcript>>("arrivals");
    QTest::addColumn<QStringList>("order");

    QTest::newRow("missing start goes before positive starts")
        << QList<Transcript>{segment("a", 100, 200), segment("b", 50, 60), segment("c", std::nullopt, 10)}
        << QStringList{"c", "b", "a"};
    QTest::newRow("missing start after start 0 in arrival order")
        << QList<Transcript>{segment("a", 0, 10), segment("b", std::nullopt, 10), segment("c", 0, 5)}
        << QStringList{"a", "b", "c"};
    // A newer version of a segment replaces it and sorts as a new arrival.
    QTest::newRow("replacement goes after its equals")
        << QList<Transcript>{segment("a", 100, 200), segment("b", 100, 200), segment("c", 100, 200),
                             segment("a", 100, 250, "newer")}
        << QStringList{"b", "c", "a"};
    QTest::newRow("replacement moves with its new start")
        << QList<Transcript>{segment("a", 100, 200), segment("b", 300, 400), segment("c", 500, 600),
                             segment("a", 450, 460), segment("c", std::nullopt, std::nullopt)}
        << QStringList{"c", "b", "a"};
}

void ConversationMemoryTest::ordering()
{
    QFETCH(QList<Transcript>, arrivals);
    QFETCH(QStringList, order);
    ConversationMemory memory;
    for (const Transcript &arrival : arrivals)
        memory.append(arrival);
    QCOMPARE(ids(memory.transcript()), order);
    // Each segment is held in the version that arrived last.
    for (const Transcript &held : memory.transcript())
        QCOMPARE(held, *std::find_if(arrivals.crbegin(), arrivals.crend(),
                                     [&](const Transcript &arrival) { return arrival.id == held.id; }));
    QCOMPARE(memory.availableFromMs(), 0.0);
}

void ConversationMemoryTest::segmentLimitTrimsEarliest()
{
    ConversationMemory memory;
    memory.append(segment("s0", 10, 1000));
    for (int i = 1; i < 2500; ++i)
        memory.append(segment(QStringLiteral("s%1").arg(i), 10 + i * 10, 20 + i * 10));
    QCOMPARE(memory.transcript().size(), 2500);
    QCOMPARE(memory.availableFromMs(), 0.0);

    memory.append(segment("s2500", 100'000, 100'010));
    QCOMPARE(memory.transcript().size(), 2500);
    QCOMPARE(memory.transcript().first().id, QStringLiteral("s1"));
    QCOMPARE(memory.transcript().last().id, QStringLiteral("s2500"));
    QCOMPARE(memory.availableFromMs(), 1000.0);

    // Replacing a held segment at capacity trims nothing.
    memory.append(segment("s2500", 100'000, 100'020));
    QCOMPARE(memory.transcript().size(), 2500);
    QCOMPARE(memory.transcript().first().id, QStringLiteral("s1"));
}

void ConversationMemoryTest::textLimitCountsUtf16Units()
{
    ConversationMemory memory;
    // 100,000 characters outside the BMP are 200,000 UTF-16 units.
    QString wide;
    for (int i = 0; i < 100'000; ++i)
        wide += QString::fromUcs4(U"\U0001F600", 1);
    QCOMPARE(wide.size(), 200'000);
    memory.append(segment("a", 0, 100, wide));
    memory.append(segment("b", 100, 200, QString(200'000, u'b')));
    QCOMPARE(ids(memory.transcript()), (QStringList{"a", "b"})); // exactly 400,000
    QCOMPARE(memory.availableFromMs(), 0.0);

    memory.append(segment("c", 200, 300, QStringLiteral("c")));
    QCOMPARE(ids(memory.transcript()), (QStringList{"b", "c"}));
    QCOMPARE(memory.availableFromMs(), 100.0);
}

void ConversationMemoryTest::oversizedText()
{
    ConversationMemory memory;
    memory.append(segment("a", 100, 900));
    memory.append(segment("b", 200, 300));
    memory.append(segment("late", 5000, 6000));
    memory.append(segment("c", 300, std::nullopt)); // a missing end counts as 0
    QCOMPARE(ids(memory.transcript()), (QStringList{"a", "b", "c", "late"}));

    memory.append(segment("huge", 400, 700, QString(400'001, u'h')));
    QCOMPARE(ids(memory.transcript()), (QStringList{"late"}));
    // The largest end among the removed ones, not the last removed segment's end.
    QCOMPARE(memory.availableFromMs(), 900.0);
}

void ConversationMemoryTest::answersPrunedOnEveryAppend_data()
{
    QTest::addColumn<std::optional<QList<SpeechOccurrence>>>("occurrences");
    QTest::addColumn<bool>("kept");

    using Occurrences = std::optional<QList<SpeechOccurrence>>;
    QTest::newRow("absent") << Occurrences() << false;
    QTest::newRow("empty") << Occurrences(QList<SpeechOccurrence>{}) << false;
    QTest::newRow("ends before") << Occurrences(QList<SpeechOccurrence>{occurrence(100, 999.5)}) << false;
    QTest::newRow("ends exactly at") << Occurrences(QList<SpeechOccurrence>{occurrence(100, 1000)}) << true;
    QTest::newRow("one of several still held")
        << Occurrences(QList<SpeechOccurrence>{occurrence(0, 10), occurrence(20, 30), occurrence(900, 2000)}) << true;
    QTest::newRow("all of several gone")
        << Occurrences(QList<SpeechOccurrence>{occurrence(0, 10), occurrence(20, 30), occurrence(40, 999)}) << false;
}

void ConversationMemoryTest::answersPrunedOnEveryAppend()
{
    QFETCH(std::optional<QList<SpeechOccurrence>>, occurrences);
    QFETCH(bool, kept);

    ConversationMemory memory;
    memory.append(segment("gone", 0, 1000, QString(400'001, u'x')));
    QCOMPARE(memory.availableFromMs(), 1000.0);

    memory.merge({answer("before"), answer("probe", occurrences), answer("after")});
    QCOMPARE(memory.answers().size(), 3); // merge itself does not prune

    // Nothing is trimmed by this append, yet the answers are pruned.
    memory.append(segment("next", 2000, 3000));
    QCOMPARE(memory.availableFromMs(), 1000.0);
    const QStringList expectedIds = kept ? QStringList{"before", "probe", "after"} : QStringList{"before", "after"};
    QCOMPARE(ids(memory.answers()), expectedIds);
}

void ConversationMemoryTest::matchesLiteralRules()
{
    // Random traffic with replacements (also within one merge), out-of-order, negative,
    // fractional and missing starts, long texts and answers, compared with the rules
    // applied literally: past the text limit.
    QRandomGenerator random(20261206);
    ConversationMemory memory;
    ReferenceMemory reference;
    int serial = 0;
    for (int step = 0; step < 6000; ++step) {
        const quint32 kind = random.bounded(100);
        if (kind < 8) {
            QList<PreparedAnswer> incoming;
            const int count = int(random.bounded(4));
            for (int i = 0; i < count; ++i) {
                const double at = random.bounded(200'000);
                incoming.append(answer(QStringLiteral("ans%1").arg(random.bounded(50)),
                                       QList<SpeechOccurrence>{occurrence(at, at + random.bounded(5000))}));
            }
            memory.merge(incoming);
            for (const PreparedAnswer &a : incoming) {
                auto held = std::find_if(reference.answers.begin(), reference.answers.end(),
                                         [&](const PreparedAnswer &h) { return h.id == a.id; });
                if (held != reference.answers.end())
                    *held = a;
                else
                    reference.answers.append(a);
            }
            continue;
        }
        const bool replace = kind < 25 && serial > 0;
        const QString id = QStringLiteral("seg%1").arg(replace ? int(random.bounded(serial)) : serial++);
        std::optional<double> start;
        if (random.bounded(20) != 0)
            start = double(step * 30 + int(random.bounded(600)) - 300) / (random.bounded(4) == 0 ? 2.0 : 1.0);
        std::optional<double> end;
        if (start && random.bounded(10) != 0)
            end = *start + random.bounded(2000);
        const int length = random.bounded(30) == 0 ? int(random.bounded(60'000)) : int(random.bounded(200));
        const Transcript incoming = segment(id, start, end, QString(length, u'w'), random.bounded(3) != 0);
        memory.append(incoming);
        reference.append(incoming);
        QCOMPARE(memory.transcript(), reference.transcript);
        QCOMPARE(memory.availableFromMs(), reference.availableFromMs);
        QCOMPARE(memory.answers(), reference.answers);
    }
    // The text limit was reached, and answers were replaced and pruned on the way.
    QVERIFY(memory.availableFromMs() > 0);
}

void ConversationMemoryTest::mergeKeepsNewest()
{
    ConversationMemory memory;
    QList<PreparedAnswer> incoming;
    for (int i = 0; i < 1201; ++i)
        incoming.append(answer(QStringLiteral("a%1").arg(i)));
    memory.merge(incoming);
    QCOMPARE(memory.answers().size(), 1200);
    QCOMPARE(memory.answers().first().id, QStringLiteral("a1"));
    QCOMPARE(memory.answers().last().id, QStringLiteral("a1200"));

    // A replacement keeps its place; one new answer pushes the oldest out.
    PreparedAnswer replaced = answer("a1");
    replaced.cue = QStringLiteral("changed");
    memory.merge({replaced});
    QCOMPARE(memory.answers().size(), 1200);
    QCOMPARE(memory.answers().first().cue, QStringLiteral("changed"));
    memory.merge({answer("fresh")});
    QCOMPARE(memory.answers().size(), 1200);
    QCOMPARE(memory.answers().first().id, QStringLiteral("a2"));
    QCOMPARE(memory.answers().last().id, QStringLiteral("fresh"));
}

void ConversationMemoryTest::accounting_data()
{
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<QList<SessionSnapshot>>("snapshots");
    QTest::addColumn<qint64>("committed");
    QTest::addColumn<qint64>("remaining");

    QTest::newRow("none") << qint64(2'000'000) << QList<SessionSnapshot>{} << qint64(0) << qint64(2'000'000);
    QTest::newRow("spent plus reserved") << qint64(2'000'000) << QList<SessionSnapshot>{snapshot("s1", 300'000, 200'000)}
                                         << qint64(500'000) << qint64(1'500'000);
    QTest::newRow("two sessions") << qint64(2'000'000)
                                  << QList<SessionSnapshot>{snapshot("s1", 300'000, 0), snapshot("s2", 100'000, 50'000)}
                                  << qint64(450'000) << qint64(1'550'000);
    QTest::newRow("exactly the limit") << qint64(1'000'000) << QList<SessionSnapshot>{snapshot("s1", 600'000, 400'000)}
                                       << qint64(1'000'000) << qint64(0);
    QTest::newRow("over the limit") << qint64(1'000'000)
                                    << QList<SessionSnapshot>{snapshot("s1", 900'000, 0), snapshot("s2", 200'000, 100'000)}
                                    << qint64(1'200'000) << qint64(0);
    QTest::newRow("beyond 32 bits") << qint64(10'000'000'000)
                                    << QList<SessionSnapshot>{snapshot("s1", 3'000'000'000, 2'000'000'000)}
                                    << qint64(5'000'000'000) << qint64(5'000'000'000);
    QTest::newRow("zero limit") << qint64(0) << QList<SessionSnapshot>{snapshot("s1", 1, 0)} << qint64(1) << qint64(0);
    // A later snapshot of the same session replaces the earlier one, even when lower.
    QTest::newRow("same session again") << qint64(1'000'000)
                                        << QList<SessionSnapshot>{snapshot("s1", 100'000, 400'000), snapshot("s1", 10, 0)}
                                        << qint64(10) << qint64(999'990);
    constexpr qint64 maximum = std::numeric_limits<qint64>::max();
    QTest::newRow("sums saturate") << qint64(1'000'000)
                                   << QList<SessionSnapshot>{snapshot("s1", maximum, 1), snapshot("s2", maximum, 0)}
                                   << maximum << qint64(0);
    QTest::newRow("negative spend saturates the remainder")
        << maximum << QList<SessionSnapshot>{snapshot("s1", std::numeric_limits<qint64>::min(), 0)}
        << std::numeric_limits<qint64>::min() << maximum;
}

void ConversationMemoryTest::accounting()
{
    QFETCH(qint64, limit);
    QFETCH(QList<SessionSnapshot>, snapshots);
    QFETCH(qint64, committed);
    QFETCH(qint64, remaining);

    ConversationMemory memory(limit);
    for (const SessionSnapshot &s : snapshots)
        memory.account(s);
    QCOMPARE(memory.committedMicros(), committed);
    QCOMPARE(memory.remainingMicros(), remaining);
    QSet<QString> expected;
    for (const SessionSnapshot &s : snapshots)
        expected.insert(s.id);
    const QStringList actual = memory.sessionIDs();
    QCOMPARE(QSet<QString>(actual.cbegin(), actual.cend()), expected);
    QCOMPARE(actual.size(), expected.size());
}

void ConversationMemoryTest::history()
{
    ConversationMemory memory;
    memory.append(segment("a", 100, 200, "first"));
    memory.append(segment("p", 150, 250, "partial", false));
    memory.append(segment("b", 300, std::nullopt, "no end"));
    memory.append(segment("c", std::nullopt, std::nullopt, "no times"));
    memory.append(segment("d", std::nullopt, 80, "no start"));

    Transcript microphone = segment("e", 400, 450, "mic");
    microphone.channel = QStringLiteral("microphone");
    memory.append(microphone);

    const QList<HistorySegment> expected{
        HistorySegment("c", "no times", "system", 0, 0),
        HistorySegment("d", "no start", "system", 0, 80),
        HistorySegment("a", "first", "system", 100, 200),
        HistorySegment("b", "no end", "system", 300, 300),
        HistorySegment("e", "mic", "microphone", 400, 450),
    };
    QCOMPARE(memory.history(), expected);
}

QTEST_GUILESS_MAIN(ConversationMemoryTest)
#include "tst_ConversationMemory.moc"
