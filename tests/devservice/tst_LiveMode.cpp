#include "LiveMode.h"

#include "DevServiceProcess.h"
#include "RunTask.h"
#include "protocol/ServiceClient.h"

#include <QHash>
#include <QSet>
#include <QTest>

#include <cmath>
#include <numbers>

namespace {

// A 220 Hz tone at a speech-like level (about -24 dBFS), and near silence (the low
// constant a recording of nothing gives).
QByteArray tone(double ms)
{
    QByteArray pcm;
    for (qint64 n = 0; n < qint64(ms * 16); ++n) {
        const auto value = qint16(std::lround(3000 * std::sin(2 * std::numbers::pi * 220 * double(n) / 16000)));
        pcm.append(char(value & 0xff)).append(char((value >> 8) & 0xff));
    }
    return pcm;
}

QByteArray quiet(double ms)
{
    return QByteArray(qsizetype(ms * 32), '\x01');
}

bool near(std::optional<double> ms, double expected)
{
    return ms && std::abs(*ms - expected) <= 200;
}

// A live session of its own on the service, recording every event it receives.
struct LiveRun {
    LiveRun(DevServiceProcess &service, qint64 budgetMicros = 1'000'000, double timeOffsetMs = 0)
        : client(service.connection())
    {
        client.onEvent = [this](const ServerEvent &event) { events.append(event); };
        SessionInput input;
        input.domain = QStringLiteral("Machine learning and artificial intelligence");
        input.budgetMicros = budgetMicros;
        input.source = QStringLiteral("system");
        input.timeOffsetMs = timeOffsetMs;
        runTask(client.start(input));
    }
    ~LiveRun() { runTask(client.stop()); }

    // Sends each channel's audio in frames, the channels' frames in turn.
    void send(const QByteArray &system, const QByteArray &microphone = {}, qsizetype frame = 3200)
    {
        for (qsizetype at = 0; at < std::max(system.size(), microphone.size()); at += frame) {
            if (at < system.size())
                runTask(client.sendAudio(system.mid(at, frame), QStringLiteral("system")));
            if (at < microphone.size())
                runTask(client.sendAudio(microphone.mid(at, frame), QStringLiteral("microphone")));
        }
    }
    void finish(const char *channel) { runTask(client.command(QStringLiteral("audio.finish"), QString::fromLatin1(channel))); }
    qint64 spent() { return runTask(client.account()).wallet.spentMicros; }
    QList<ServerEvent> ofType(const char *type) const
    {
        QList<ServerEvent> found;
        std::copy_if(events.cbegin(), events.cend(), std::back_inserter(found),
                     [&](const ServerEvent &event) { return event.type == QLatin1String(type); });
        return found;
    }
    QList<Transcript> finals() const
    {
        QList<Transcript> found;
        for (const ServerEvent &event : ofType("transcript")) {
            if (event.transcript->final)
                found.append(*event.transcript);
        }
        return found;
    }
    bool endsQuiet() const { return !events.isEmpty() && events.last().type == QLatin1String("quiet"); }

    ServiceClient client;
    QList<ServerEvent> events;
};

} // namespace

class LiveModeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void utterancesAtTheirConversationTimes();
    void silenceCostsOnlyItsAudio();
    void answerIsPreparedInStages();
    void budgetLimitsTheSession();

private:
    std::unique_ptr<DevServiceProcess> m_service;
};

void LiveModeTest::initTestCase()
{
    m_service = std::make_unique<DevServiceProcess>();
    QVERIFY2(m_service->started(), qPrintable(m_service->errorText()));
}

void LiveModeTest::utterancesAtTheirConversationTimes()
{
    // A resumed conversation: this session's audio starts at 1:00.
    LiveRun run(*m_service, 1'000'000, 60'000);
    run.send(quiet(1000) + tone(2000) + quiet(2000) + tone(1500) + quiet(2000), quiet(2500) + tone(1200) + quiet(4800));
    QTRY_COMPARE_WITH_TIMEOUT(run.finals().size(), 3, 5'000);

    const QList<std::tuple<QString, double, double>> spoken{
        {"system", 61'000, 63'000}, {"microphone", 62'500, 63'700}, {"system", 65'000, 66'500}};
    QSet<qsizetype> heard;
    for (const Transcript &final : run.finals()) {
        for (qsizetype i = 0; i < spoken.size(); ++i) {
            const auto &[channel, startMs, endMs] = spoken[i];
            if (final.channel == channel && near(final.startMs, startMs) && near(final.endMs, endMs))
                heard.insert(i);
        }
        QCOMPARE(final.lastWordEndMs, final.endMs);
    }
    QCOMPARE(heard.size(), 3);

    // Each utterance grows word by word in partials under its own id before its final segment.
    QHash<QString, Transcript> latest;
    for (const ServerEvent &event : run.ofType("transcript")) {
        QVERIFY(event.session);
        const Transcript &t = *event.transcript;
        if (const auto before = latest.constFind(t.id); before != latest.cend()) {
            QVERIFY2(!before->final, qPrintable(t.id));
            QVERIFY2(t.text.startsWith(before->text + QLatin1Char(' ')) || (t.final && t.text == before->text),
                     qPrintable(t.text));
            QVERIFY(t.startMs == before->startMs && t.channel == before->channel && *t.endMs >= *before->endMs);
        } else {
            QVERIFY2(!t.final, qPrintable(t.id + " has no partials"));
        }
        latest[t.id] = t;
    }
    QCOMPARE(latest.size(), 3);
}

void LiveModeTest::silenceCostsOnlyItsAudio()
{
    LiveRun run(*m_service);
    const qint64 before = run.spent();
    run.send(quiet(10'000), QByteArray(10'000 * 32, '\0'));
    run.finish("system");
    run.finish("microphone");
    QTRY_VERIFY_WITH_TIMEOUT(run.endsQuiet(), 2'000);
    QCOMPARE(run.spent() - before, 2 * 10 * LiveMode::transcriptionMicrosPerSecond);
    QVERIFY(run.ofType("transcript").isEmpty() && run.ofType("bank").isEmpty());
}

// "audio.finish" during speech ends the utterance at once; its answer then arrives in
// stages, and "quiet" follows.
void LiveModeTest::answerIsPreparedInStages()
{
    LiveRun run(*m_service);
    const qint64 before = run.spent();
    run.send(quiet(500) + tone(2000));
    QTRY_VERIFY_WITH_TIMEOUT(!run.ofType("transcript").isEmpty(), 2'000);
    QTest::qWait(200);
    QVERIFY(run.finals().isEmpty() && run.ofType("quiet").isEmpty());
    const qsizetype heard = run.events.size();
    run.finish("system");
    QTRY_VERIFY_WITH_TIMEOUT(run.endsQuiet(), 3'000);

    QStringList after;
    for (const ServerEvent &event : run.events.mid(heard))
        after.append(event.type);
    QCOMPARE(after, (QStringList{"command.ack", "transcript", "answer.started", "bank", "bank", "bank", "quiet"}));
    QVERIFY(run.finals().size() == 1 && near(run.finals()[0].startMs, 500) && near(run.finals()[0].endMs, 2500));

    const QList<ServerEvent> banks = run.ofType("bank");
    QList<PreparedAnswer> stages;
    for (const ServerEvent &bank : banks) {
        QVERIFY(bank.session && bank.answers->size() == 1);
        stages.append(bank.answers->first());
        QCOMPARE(stages.last().id, stages.first().id);
    }
    QVERIFY(stages[0].provisional && stages[0].status == QLatin1String("preparing") && stages[0].cue.isEmpty());
    QVERIFY(stages[1].isCurrent() && !stages[1].cue.isEmpty() && !stages[1].deeper.isEmpty());
    QVERIFY(!stages[1].simpler && !stages[1].eli5 && stages[1].followUps.isEmpty());
    QCOMPARE(stages[1].preparation, QStringLiteral("partial"));
    const PreparedAnswer &complete = stages[2];
    QVERIFY(complete.isCurrent() && !complete.cue.isEmpty() && !complete.deeper.isEmpty());
    QVERIFY(!complete.simpler.value_or("").isEmpty() && !complete.eli5.value_or("").isEmpty());
    QCOMPARE(complete.followUps.size(), 2);
    for (const PreparedFollowUp &followUp : complete.followUps)
        QVERIFY(!followUp.question.isEmpty() && !followUp.answer.isEmpty());
    QCOMPARE(complete.preparation, QStringLiteral("complete"));
    const qint64 cost = 2500 * LiveMode::transcriptionMicrosPerSecond / 1000 + LiveMode::preparationMicros;
    QCOMPARE(banks.last().session->spentMicros, cost);
    QCOMPARE(run.spent() - before, cost);

    // Feedback hides the answer and costs nothing.
    runTask(run.client.command(QStringLiteral("feedback"), std::nullopt, complete.id, QStringLiteral("known")));
    QTRY_VERIFY_WITH_TIMEOUT(run.events.last().type == QLatin1String("bank") && run.events.last().answers->first().hidden,
                             2'000);
    QCOMPARE(run.spent() - before, cost);
}

void LiveModeTest::budgetLimitsTheSession()
{
    LiveRun run(*m_service, 10'000);
    const qint64 before = run.spent();
    // A hundred seconds of audio use the budget up exactly; the next second is refused.
    // What was heard of the speech still gets its final segment, but no answer is paid for.
    run.send(quiet(99'000) + tone(2'000), {}, 32'000);
    QTRY_VERIFY_WITH_TIMEOUT(run.endsQuiet(), 2'000);
    const QList<ServerEvent> ended = run.ofType("session");
    QVERIFY(ended.size() == 1 && ended[0].session->state == QLatin1String("limited"));
    QCOMPARE(ended[0].session->spentMicros, qint64(10'000));
    QCOMPARE(run.spent() - before, qint64(10'000));
    QCOMPARE(run.finals().size(), 1);
    QVERIFY(near(run.finals()[0].startMs, 99'000) && near(run.finals()[0].endMs, 100'000));
    QVERIFY(run.ofType("bank").isEmpty());
}

QTEST_GUILESS_MAIN(LiveModeTest)
#include "tst_LiveMode.moc"
