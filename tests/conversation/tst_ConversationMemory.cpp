#include "conversation/ConversationMemory.h"

#include "conversation/AnswerWindow.h"

#include "AnswerFixtures.h"

#include <QTest>

#include <algorithm>
#include <limits>

// Aggregate initializers here leave the other members at their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

Transcript segment(const QString &id, std::optional<double> startMs, std::optional<double> endMs,
                   const QString &text = QStringLiteral("words"), bool final = true)
{
    return Transcript{id, text, QStringLiteral("system"), final, startMs, endMs};
}

using Occurrences = std::optional<QList<SpeechOccurrence>>;

PreparedAnswer answer(const QString &id, Occurrences occurrences = QList<SpeechOccurrence>{{"o", 0, 1e9}})
{
    PreparedAnswer result;
    result.id = id;
    result.cue = QStringLiteral("Cue of ") + id;
    result.occurrences = std::move(occurrences);
    return result;
}

SessionSnapshot snapshot(const QString &id, qint64 spent, qint64 reserved)
{
    return SessionSnapshot{id, QStringLiteral("live"), spent, reserved};
}

using Spans = QList<std::pair<double, double>>;

PreparedAnswer answerAt(Spans spans, std::optional<QString> category = std::nullopt)
{
    PreparedAnswer answer;
    answer.status = QStringLiteral("ready");
    answer.category = std::move(category);
    answer.occurrences = QList<SpeechOccurrence>();
    for (const auto &[start, end] : spans)
        answer.occurrences->append(SpeechOccurrence{QStringLiteral("o"), start, end});
    return answer;
}

} // namespace

class ConversationMemoryTest : public QObject {
    Q_OBJECT
private slots:
    void ordering_data()
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

    void ordering()
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

    void segmentLimitTrimsEarliest()
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
        QCOMPARE(memory.availableFromMs(), 1000.0);

        // Replacing a held segment at capacity trims nothing.
        memory.append(segment("s2500", 100'000, 100'020));
        QCOMPARE(memory.transcript().first().id, QStringLiteral("s1"));
    }

    void textLimit()
    {
        ConversationMemory memory;
        // 100,000 characters outside the BMP are 200,000 UTF-16 units: exactly the limit with "b".
        memory.append(segment("a", 0, 100, QString::fromUcs4(U"\U0001F600", 1).repeated(100'000)));
        memory.append(segment("b", 100, 200, QString(200'000, u'b')));
        QCOMPARE(ids(memory.transcript()), (QStringList{"a", "b"}));
        QCOMPARE(memory.availableFromMs(), 0.0);
        memory.append(segment("c", 200, 300, QStringLiteral("c")));
        QCOMPARE(ids(memory.transcript()), (QStringList{"b", "c"}));
        QCOMPARE(memory.availableFromMs(), 100.0);

        memory = ConversationMemory();
        memory.append(segment("a", 100, 900));
        memory.append(segment("b", 200, 300));
        memory.append(segment("late", 5000, 6000));
        memory.append(segment("c", 300, std::nullopt)); // a missing end counts as 0
        memory.append(segment("huge", 400, 700, QString(400'001, u'h')));
        QCOMPARE(ids(memory.transcript()), (QStringList{"late"}));
        // The largest end among the removed ones, not the last removed segment's end.
        QCOMPARE(memory.availableFromMs(), 900.0);
    }

    void answersPrunedOnEveryAppend_data()
    {
        QTest::addColumn<Occurrences>("occurrences");
        QTest::addColumn<bool>("kept");

        QTest::newRow("absent") << Occurrences() << false;
        QTest::newRow("ends before") << Occurrences(QList<SpeechOccurrence>{{"o", 100, 999.5}}) << false;
        QTest::newRow("ends exactly at") << Occurrences(QList<SpeechOccurrence>{{"o", 100, 1000}}) << true;
        QTest::newRow("one of several still held")
            << Occurrences(QList<SpeechOccurrence>{{"o", 0, 10}, {"p", 20, 30}, {"q", 900, 2000}}) << true;
    }

    void answersPrunedOnEveryAppend()
    {
        QFETCH(Occurrences, occurrences);
        QFETCH(bool, kept);

        ConversationMemory memory;
        memory.append(segment("gone", 0, 1000, QString(400'001, u'x')));
        memory.merge({answer("before"), answer("probe", occurrences), answer("after")});
        QCOMPARE(memory.answers().size(), 3); // merge itself does not prune

        // Nothing is trimmed by this append, yet the answers are pruned.
        memory.append(segment("next", 2000, 3000));
        QCOMPARE(memory.availableFromMs(), 1000.0);
        QCOMPARE(ids(memory.answers()), (kept ? QStringList{"before", "probe", "after"} : QStringList{"before", "after"}));
    }

    void mergeKeepsNewest()
    {
        ConversationMemory memory;
        QList<PreparedAnswer> incoming;
        for (int i = 0; i < 1201; ++i)
            incoming.append(answer(QStringLiteral("a%1").arg(i)));
        memory.merge(incoming);
        QCOMPARE(memory.answers().size(), 1200);
        QCOMPARE(memory.answers().first().id, QStringLiteral("a1"));

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

    void accounting_data()
    {
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QList<SessionSnapshot>>("snapshots");
        QTest::addColumn<qint64>("committed");
        QTest::addColumn<qint64>("remaining");

        using Snapshots = QList<SessionSnapshot>;
        QTest::newRow("two sessions")
            << qint64(2'000'000) << Snapshots{snapshot("s1", 300'000, 0), snapshot("s2", 100'000, 50'000)}
            << qint64(450'000) << qint64(1'550'000);
        // A later snapshot of the same session replaces the earlier one, even when lower.
        QTest::newRow("same session again")
            << qint64(1'000'000) << Snapshots{snapshot("s1", 100'000, 400'000), snapshot("s1", 10, 0)}
            << qint64(10) << qint64(999'990);
        constexpr qint64 maximum = std::numeric_limits<qint64>::max();
        QTest::newRow("sums saturate")
            << qint64(1'000'000) << Snapshots{snapshot("s1", maximum, 1), snapshot("s2", maximum, 0)}
            << maximum << qint64(0);
        QTest::newRow("negative spend saturates the remainder")
            << maximum << Snapshots{snapshot("s1", std::numeric_limits<qint64>::min(), 0)}
            << std::numeric_limits<qint64>::min() << maximum;
    }

    void accounting()
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
        QStringList sessions = memory.sessionIDs();
        sessions.sort();
        QStringList expected = ids(snapshots);
        expected.removeDuplicates();
        QCOMPARE(sessions, expected);
    }

    // The history sent with a question: final segments only, in order (their times as
    // the wire coding suite pins them).
    void history()
    {
        ConversationMemory memory;
        memory.append(segment("a", 100, 200));
        memory.append(segment("p", 150, 250, "partial", false));
        memory.append(segment("b", 50, 60));
        QCOMPARE(memory.history(), (QList<HistorySegment>{HistorySegment("b", "words", "system", 50, 60),
                                                          HistorySegment("a", "words", "system", 100, 200)}));
    }

    // The window of the conversation that answers are drawn from, and its clock.
    void windowBounds_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<double>("anchor");
        QTest::addColumn<double>("lookback");
        QTest::addColumn<double>("elapsed");
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");

        QTest::newRow("continue clamps at 0, early") << "continue" << 30'000.0 << 60.0 << 45'000.0 << 0.0 << 45'000.0;
        QTest::newRow("continue cap from start") << "continue" << 300'000.0 << 60.0 << 2'000'000.0 << 240'000.0 << 840'000.0;
        QTest::newRow("now capped") << "now" << 120'000.0 << 60.0 << 900'000.0 << 120'000.0 << 720'000.0;
        QTest::newRow("past") << "past" << 300'000.0 << 60.0 << 0.0 << 240'000.0 << 300'000.0;
    }

    void windowBounds()
    {
        QFETCH(QString, mode);
        QFETCH(double, anchor);
        QFETCH(double, lookback);
        QFETCH(double, elapsed);
        QFETCH(double, start);
        QFETCH(double, end);

        const AnswerWindow w{mode, anchor, lookback, QStringLiteral("all")};
        QCOMPARE(w.startMs(), start);
        QCOMPARE(w.endMs(elapsed), end);
    }

    void windowContains_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("category");
        QTest::addColumn<PreparedAnswer>("answer");
        QTest::addColumn<bool>("inside");

        // "past" is 240,000 – 300,000; "continue" 240,000 – the elapsed 500,000.
        QTest::newRow("ends exactly at start") << "past" << "all" << answerAt({{230'000, 240'000}}) << true;
        QTest::newRow("starts exactly at end") << "past" << "all" << answerAt({{300'000, 310'000}}) << true;
        QTest::newRow("starts just after end") << "past" << "all" << answerAt({{300'000.5, 310'000}}) << false;
        QTest::newRow("one of several")
            << "past" << "all" << answerAt({{0, 1'000}, {500'000, 501'000}, {299'000, 299'500}}) << true;
        PreparedAnswer answer = answerAt({{250'000, 260'000}});
        answer.provisional = true;
        QTest::newRow("provisional") << "continue" << "all" << answer << false;
        // Hidden and still preparing answers are the list's business, not the window's.
        answer = answerAt({{250'000, 260'000}});
        answer.hidden = true;
        answer.status = QStringLiteral("preparing");
        QTest::newRow("hidden, preparing") << "past" << "all" << answer << true;
        answer.occurrences.reset();
        QTest::newRow("no occurrences") << "continue" << "all" << answer << false;

        using Category = std::optional<QString>;
        QTest::newRow("all keeps none") << "past" << "all" << answerAt({{250'000, 260'000}}, Category()) << true;
        QTest::newRow("term keeps term") << "past" << "term" << answerAt({{250'000, 260'000}}, "term") << true;
        QTest::newRow("term drops date") << "past" << "term" << answerAt({{250'000, 260'000}}, "date") << false;
        QTest::newRow("All is not all") << "past" << "All" << answerAt({{250'000, 260'000}}, "term") << false;
    }

    void windowContains()
    {
        QFETCH(QString, mode);
        QFETCH(QString, category);
        QFETCH(PreparedAnswer, answer);
        QFETCH(bool, inside);
        QCOMPARE((AnswerWindow{mode, 300'000, 60, category}).contains(answer, 500'000), inside);
    }

    void timestamp_data()
    {
        QTest::addColumn<double>("ms");
        QTest::addColumn<QString>("text");

        QTest::newRow("negative") << -5'000.0 << "0:00";
        QTest::newRow("999.9 truncates") << 999.9 << "0:00";
        QTest::newRow("61,500") << 61'500.0 << "1:01";
        QTest::newRow("beyond 32-bit minutes") << 3e17 << "5000000000000:00";
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "0:00";
    }

    void timestamp()
    {
        QFETCH(double, ms);
        QFETCH(QString, text);
        QCOMPARE(AnswerWindow::timestamp(ms), text);
    }

    void windowLabels_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("modeLabel");
        QTest::addColumn<QString>("categoryLabel");

        QTest::newRow("past") << "past" << "Past only" << "past";
        QTest::newRow("now") << "now" << "Starting now" << "now";
        QTest::newRow("all") << "all" << "Past + present" << "All";
        QTest::newRow("term") << "term" << "Past + present" << "Terms";
        QTest::newRow("date") << "date" << "Past + present" << "Dates";
    }

    void windowLabels()
    {
        QFETCH(QString, value);
        QFETCH(QString, modeLabel);
        QFETCH(QString, categoryLabel);
        QCOMPARE(AnswerWindow::modeLabel(value), modeLabel);
        QCOMPARE(AnswerWindow::categoryLabel(value), categoryLabel);
    }
};

QTEST_GUILESS_MAIN(ConversationMemoryTest)
#include "tst_ConversationMemory.moc"
