#include "devmodes/LiveEvaluation.h"

#include "AnswerFixtures.h"
#include "DevServiceProcess.h"
#include "FakeAudioHardware.h"
#include "FakeFixturePlayer.h"
#include "FakeMicrophone.h"
#include "FakePlatform.h"
#include "RunTask.h"
#include "TestFiles.h"
#include "TestWav.h"
#include "audio/LiveAudioCapture.h"
#include "model/SessionModel.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

using namespace std::chrono_literals;

const QString refusal = QStringLiteral("Explicit funded live evaluation required.");

// An answer at one stage of its preparation; only ready ones have their Deeper text.
PreparedAnswer answer(const QString &id, const QString &status, const QString &preparation)
{
    PreparedAnswer made = answerFixture(id, status);
    made.preparation = preparation;
    made.contextVersion = 1;
    if (status != QLatin1String("ready"))
        made.deeper.clear();
    return made;
}

ServerEvent typed(const QString &type)
{
    ServerEvent event;
    event.type = type;
    return event;
}

// A live evaluation of a session model on fake audio services, connected to a development
// service of its own. While the player "plays", a timer feeds a spoken-level tone as the
// player's audio for `speechFrames` frames, then silence, then ends the player.
struct Rig {
    // The player's audio is a tone, so a live service takes its words too from the script.
    explicit Rig(QStringList serviceArguments = {})
        : service(serviceArguments.contains(QStringLiteral("--simulated"))
                      ? serviceArguments
                      : serviceArguments + QStringList{QStringLiteral("--scripted-words")})
    {
        hardware->format = AudioFormat{16'000, 1, SampleLayout::Int16};
        hardware->pidObjects.insert(player->pid, 77);
        Platform bundle = platform.bundle();
        bundle.audioHardware = hardware;
        bundle.microphone = microphone;
        bundle.capture = std::make_shared<LiveAudioCapture>(hardware, microphone, QStringLiteral("com.quorrel.corvana"));
        bundle.fixturePlayer = player;
        bundle.epochMilliseconds = [] { return double(QDateTime::currentMSecsSinceEpoch()); };
        model = std::make_unique<SessionModel>(bundle);

        environment.hardware = hardware;
        environment.player = player;
        environment.epochMilliseconds = [] { return double(QDateTime::currentMSecsSinceEpoch()); };
        environment.print = [this](const QString &line) { printed.append(line); };
        environment.quit = [this] { ++quits; };
        environment.linger = 0ms;

        QObject::connect(&feeder, &QTimer::timeout, [this] {
            if (!player->running() || !model->active())
                return;
            const QByteArray frame = fed < speechFrames ? tonePcm(1'600, 6'000) : QByteArray(3'200, '\0');
            hardware->deliver(frame.constData(), frame.size());
            if (++fed >= speechFrames + 5)
                player->terminate();
        });
        feeder.start(20);
    }

    QString output() const { return dir.filePath(QStringLiteral("evidence.json")); }

    // Runs an evaluation of a clip of that length; the evidence, if any was written.
    QJsonObject run(qint64 budgetMicros, double clipSeconds = 2.0)
    {
        if (service.started() && !model->client())
            runTask(model->connect(service.connection(), false));
        const QString clip = dir.filePath(QStringLiteral("clip.wav"));
        const QString path = dir.filePath(QStringLiteral("evaluation.json"));
        writeFile(clip, wavOf(tonePcm(std::llround(clipSeconds * 16'000), 6'000)));
        writeFile(path, QJsonDocument(QJsonObject{{"output", output()}, {"clip", clip}, {"budgetMicros", budgetMicros}})
                            .toJson());
        LiveEvaluation evaluation(*model, environment);
        runTask(evaluation.run(path));
        return jsonFileObject(output());
    }

    QTemporaryDir dir;
    DevServiceProcess service;
    FakePlatform platform;
    std::shared_ptr<FakeAudioHardware> hardware = std::make_shared<FakeAudioHardware>();
    std::shared_ptr<FakeMicrophone> microphone = std::make_shared<FakeMicrophone>();
    std::shared_ptr<FakeFixturePlayer> player = std::make_shared<FakeFixturePlayer>();
    std::unique_ptr<SessionModel> model;
    LiveEvaluation::Environment environment;
    QTimer feeder;
    int speechFrames = 20;
    int fed = 0;
    QStringList printed;
    int quits = 0;
};

} // namespace

class tst_LiveEvaluation : public QObject {
    Q_OBJECT

private slots:
    // One readiness entry per distinct state of an answer (a change of any field of the key);
    // a ready answer without its Deeper text is remembered, provisional ones are not.
    void readinessRecordsEachDistinctState()
    {
        LiveEvaluationObserver observer(0);
        PreparedAnswer provisional = answer("a0", "ready", "partial");
        provisional.deeper.clear();
        provisional.provisional = true;
        const QList<PreparedAnswer> first{answer("a1", "preparing", "partial"), answer("a2", "ready", "partial")};
        observer.observe(bankOf(first + QList{provisional}), 10);
        observer.observe(bankOf(first), 20);
        QCOMPARE(observer.readiness().size(), 3);
        QVERIFY(observer.deeperReadyAtEveryCue());

        QList<PreparedAnswer> changed = first;
        changed[0].status = QStringLiteral("ready");
        changed[0].deeper = QStringLiteral("Deeper");
        observer.observe(bankOf(changed), 30);
        changed[1].preparation = QStringLiteral("complete");
        observer.observe(bankOf(changed), 40);
        changed[1].contextVersion = 2;
        observer.observe(bankOf(changed), 50);
        changed[1].hidden = true;
        observer.observe(bankOf(changed), 60);
        const QJsonArray readiness = observer.readiness();
        QCOMPARE(readiness.size(), 7);
        QCOMPARE(readiness.last()["key"].toString(), QStringLiteral("a2:2:ready:complete:true"));
        QCOMPARE(readiness[3]["key"].toString(), QStringLiteral("a1:1:ready:partial:false"));
        QVERIFY(readiness[3]["ready"].toBool() && readiness[4]["variantsReady"].toBool());
        QVERIFY(!readiness[0]["completeDeeper"].toBool(true));
        QCOMPARE(observer.answers(), changed);
        QVERIFY(observer.deeperReadyAtEveryCue());

        PreparedAnswer early = answer("a1", "ready", "partial");
        early.deeper.clear();
        observer.observe(bankOf({early}), 70);
        observer.observe(bankOf({answer("a1", "ready", "complete")}), 80);
        QVERIFY(!observer.deeperReadyAtEveryCue());
    }

    // Settled: "quiet" and 700 ms of calm with a ready answer; an error event at once.
    void settlingNeedsQuietCalmAndAReadyAnswer()
    {
        LiveEvaluationObserver observer(0);
        observer.observe(bankOf({answer("a1", "ready", "partial")}), 100);
        observer.observe(typed("quiet"), 200);
        QVERIFY(!observer.settled(900));
        QVERIFY(observer.settled(901));
        // Preparation started again after "quiet": the wait goes on until the next one.
        observer.observe(typed("answer.started"), 1'000);
        QVERIFY(!observer.settled(5'000));
        observer.observe(typed("quiet"), 5'100);
        ServerEvent heard = typed("transcript");
        heard.transcript = Transcript{};
        heard.transcript->id = QStringLiteral("s1");
        observer.observe(heard, 5'500);
        QVERIFY(!observer.settled(6'100));
        QVERIFY(observer.settled(6'201));
        QCOMPARE(observer.controlTarget()->id, QStringLiteral("a1"));
        observer.finishWait();
        QVERIFY(!observer.failure());

        // Quiet without a ready answer never settles, and without "quiet" the wait times out.
        LiveEvaluationObserver empty(0);
        empty.observe(typed("quiet"), 0);
        QVERIFY(!empty.settled(60'000));
        LiveEvaluationObserver busy(0);
        busy.observe(bankOf({answer("a1", "ready", "complete")}), 0);
        QVERIFY(!busy.settled(60'000));
        busy.finishWait();
        QCOMPARE(*busy.failure(), QStringLiteral("PREPARATION_TIMEOUT"));

        LiveEvaluationObserver failed(0);
        failed.observe(typed("error"), 10);
        QVERIFY(failed.settled(10));
        QCOMPARE(*failed.failure(), QStringLiteral("SERVICE_ERROR"));
    }

    void fixtureIsSilenceThenTheRecording()
    {
        const QByteArray pcm(320'000, '\x11');
        const QByteArray fixture = LiveEvaluation::fixture(pcm);
        // The recording reader takes it back whole: a canonical 16 kHz mono 16-bit file.
        QCOMPARE(fixture.size(), 44 + 256'000 + 320'000 + 96'000);
        QVERIFY(PCMRecording(fixture).pcm() == QByteArray(256'000, '\0') + pcm + QByteArray(96'000, '\0'));
        QCOMPARE(LiveEvaluation::budgetText(10'000), QStringLiteral("0.01"));
        QCOMPARE(LiveEvaluation::budgetText(25'000), QStringLiteral("0.025"));
        QCOMPARE(LiveEvaluation::budgetText(1'500'000), QStringLiteral("1.5"));
    }

    void refusesWhatIsNotAShortFundedLiveRun_data()
    {
        QTest::addColumn<QStringList>("service");
        QTest::addColumn<qint64>("budget");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("failure");
        // The accepted rows stop where the fake hardware has no stream for the player.
        const QString noPlayer = QStringLiteral("Fixture player unavailable; refusing to capture other apps.");
        const QStringList live;
        QTest::newRow("no service") << QStringList{"--port", "not-a-port"} << qint64(50'000) << 2.0 << refusal;
        QTest::newRow("budget 9,999") << live << qint64(9'999) << 2.0 << refusal;
        QTest::newRow("budget 100,001") << live << qint64(100'001) << 2.0 << refusal;
        QTest::newRow("demo account") << QStringList{"--simulated"} << qint64(50'000) << 2.0 << refusal;
        QTest::newRow("budget 10,000") << live << qint64(10'000) << 2.0 << noPlayer;
        QTest::newRow("budget 100,000") << live << qint64(100'000) << 2.0 << noPlayer;
        QTest::newRow("30.0 s recording") << live << qint64(50'000) << 30.0 << noPlayer;
        QTest::newRow("30.1 s recording") << live << qint64(50'000) << 30.1
                                          << QStringLiteral("Use a short public recording.");
    }

    void refusesWhatIsNotAShortFundedLiveRun()
    {
        QFETCH(QStringList, service);
        QFETCH(qint64, budget);
        QFETCH(double, seconds);
        QFETCH(QString, failure);
        Rig rig(service);
        rig.hardware->pidObjects.clear();
        rig.environment.playerWait = 300ms;
        QVERIFY(rig.run(budget, seconds).isEmpty());
        QCOMPARE(rig.model->error().value_or(QString()), failure);
        QCOMPARE(rig.printed, QStringList{QStringLiteral("Native live evaluation failed before completion: ") + failure});
        QCOMPARE(rig.quits, 1);
        QVERIFY(!QFile::exists(rig.output() + QStringLiteral(".fixture.wav")));
        QVERIFY(!rig.player->running() && !rig.model->active());
    }

    // A whole run against the live service whose controls cost something: it fails, the
    // evidence saying what they cost. (The real app's run is the passing one.)
    void controlsThatCostFailTheRun()
    {
        Rig rig;
        QVERIFY(rig.service.started());
        QVERIFY(rig.service.setScenario(QJsonObject{{"feedbackCostMicros", 7}}));
        const QJsonObject evidence = rig.run(50'000);
        QVERIFY2(!evidence.value("success").toBool(true), QJsonDocument(evidence).toJson().constData());
        QCOMPARE(evidence.value("failure").toString(), QString());
        const qint64 before = evidence.value("controlSpendBeforeMicros").toInteger(-2);
        QVERIFY(before > 0 && evidence.value("controlSpendAfterMicros").toInteger(-2) - before == 14);
        QVERIFY(evidence.value("knownControlWorked").toBool() && evidence.value("dismissControlWorked").toBool());
        const QJsonObject heard = evidence.value("transcriptEvents").toArray().first().toObject();
        QCOMPARE(heard.value("lastWordEndMs"), heard.value("endMs"));
        QVERIFY(!QFile::exists(rig.output() + QStringLiteral(".fixture.wav")));
        QVERIFY(rig.quits == 1 && !rig.model->active() && rig.player->terminations == 1);
    }
};

QTEST_GUILESS_MAIN(tst_LiveEvaluation)
#include "tst_LiveEvaluation.moc"
