#include "devmodes/CaptureCheck.h"

#include "FakeAudioHardware.h"
#include "FakeFixturePlayer.h"
#include "FakeMicrophone.h"
#include "RunTask.h"
#include "TestFiles.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

using namespace std::chrono_literals;

const QString own = QStringLiteral("com.quorrel.corvana");

// A check on fake audio services; a timer feeds frames on the channels the test asks
// for while the check captures.
struct Rig {
    Rig()
    {
        hardware->processes = {{21, QStringLiteral("com.example.meet")}, {22, QStringLiteral("com.example.meet.helper")},
                               {23, own}};
        hardware->format = AudioFormat{16'000, 1, SampleLayout::Int16};
        CaptureCheck::Environment environment;
        environment.makeCapture = [this] { return std::make_unique<LiveAudioCapture>(hardware, microphone, own); };
        environment.player = player;
        environment.epochMilliseconds = [] { return 1'780'000'000'500.0; };
        environment.quit = [this] { ++quits; };
        environment.playerWait = 200ms;
        check = std::make_unique<CaptureCheck>(std::move(environment));
        QObject::connect(&feeder, &QTimer::timeout, [this] {
            if (feedSystem) {
                QByteArray samples(3'200, '\0');
                reinterpret_cast<qint16 *>(samples.data())[3] = 8'192;
                hardware->deliver(samples.constData(), samples.size());
            }
            if (feedMicrophone) {
                const std::vector<float> samples(4'800, 0.5f);
                microphone->state->feed(AudioBuffer{AudioFormat{48'000, 1, SampleLayout::Float32}, 4'800,
                                                    samples.data()});
            }
            if (watchEvidence && QFile::exists(output()))
                evidenceWhileRunning = jsonFileObject(output());
        });
        feeder.start(100);
    }

    QString output() const { return dir.filePath(QStringLiteral("evidence.json")); }

    QJsonObject run(QJsonObject config)
    {
        config.insert(QStringLiteral("output"), output());
        return run(QJsonDocument(config).toJson());
    }
    // Runs the check on a configuration file of that content; the evidence, if any.
    QJsonObject run(const QByteArray &content)
    {
        writeFile(dir.filePath(QStringLiteral("check.json")), content);
        runTask(check->run(dir.filePath(QStringLiteral("check.json"))));
        return jsonFileObject(output());
    }

    QTemporaryDir dir;
    std::shared_ptr<FakeAudioHardware> hardware = std::make_shared<FakeAudioHardware>();
    std::shared_ptr<FakeMicrophone> microphone = std::make_shared<FakeMicrophone>();
    std::shared_ptr<FakeFixturePlayer> player = std::make_shared<FakeFixturePlayer>();
    std::unique_ptr<CaptureCheck> check;
    QTimer feeder;
    bool feedSystem = false;
    bool feedMicrophone = false;
    bool watchEvidence = false;
    QJsonObject evidenceWhileRunning;
    int quits = 0;
};

// Each field of `expected` has that value in the evidence.
void expectFields(const QJsonObject &evidence, const QJsonObject &expected)
{
    for (auto field = expected.begin(); field != expected.end(); ++field)
        QVERIFY2(evidence.value(field.key()) == field.value(), qPrintable(field.key()));
}

} // namespace

class tst_CaptureCheck : public QObject {
    Q_OBJECT

private slots:
    // Runs that end with an error in the evidence, and what they got to before it.
    void failures_data()
    {
        QTest::addColumn<QJsonObject>("config");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("captureStarted");
        QTest::addColumn<bool>("sourcesListed");
        const QString shortCheck = QStringLiteral("Use a short capture check.");
        QTest::newRow("half a second") << QJsonObject{{"source", "system"}, {"seconds", 0.5}} << "" << shortCheck
                                       << false << false;
        QTest::newRow("46 seconds") << QJsonObject{{"source", "system"}, {"seconds", 46.0}} << "" << shortCheck << false
                                    << false;
        QTest::newRow("unknown bundle") << QJsonObject{{"source", "system"}, {"seconds", 1.0}, {"bundle", "com.example.gone"}}
                                        << "" << QStringLiteral("Open the meeting app, refresh sources, and select it again.")
                                        << false << true;
        QTest::newRow("player without audio")
            << QJsonObject{{"source", "system"}, {"seconds", 1.0}, {"playFile", "/tmp/tone.wav"}, {"playerOnly", true}} << ""
            << QStringLiteral("Fixture player not available.") << false << true;
        QTest::newRow("microphone changes mid-run")
            << QJsonObject{{"source", "microphone"}, {"seconds", 5.0}} << "microphone change"
            << QStringLiteral("The microphone device changed. Restart listening with the new device.") << true << true;
    }

    void failures()
    {
        QFETCH(QJsonObject, config);
        QFETCH(QString, fault);
        QFETCH(QString, error);
        QFETCH(bool, captureStarted);
        QFETCH(bool, sourcesListed);
        Rig rig;
        if (fault == QLatin1String("microphone change")) {
            rig.feedMicrophone = true;
            QTimer::singleShot(300, [&] { rig.microphone->state->changeConfiguration(); });
        }
        const QJsonObject evidence = rig.run(config);
        expectFields(evidence, {{"error", error}, {"mode", "local-capture-only"}, {"providerCalls", 0},
                                {"success", false}, {"stopped", true}});
        QCOMPARE(evidence.contains("captureStartedAt"), captureStarted);
        QCOMPARE(evidence.contains("availableSources"), sourcesListed);
        QCOMPARE(rig.quits, 1);
        QCOMPARE(rig.player->terminations, config.contains("playFile") ? 1 : 0);
        if (!captureStarted && fault.isEmpty())
            QCOMPARE(rig.hardware->tapDescriptions.size(), 0);
    }

    void successNeedsEveryChannel_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("system");
        QTest::addColumn<bool>("microphone");
        QTest::addColumn<bool>("success");
        QTest::newRow("both, microphone only") << "both" << false << true << false;
        QTest::newRow("both, both channels") << "both" << true << true << true;
        QTest::newRow("system") << "system" << true << false << true;
        QTest::newRow("microphone, nothing arrives") << "microphone" << false << false << false;
    }

    void successNeedsEveryChannel()
    {
        QFETCH(QString, source);
        QFETCH(bool, system);
        QFETCH(bool, microphone);
        QFETCH(bool, success);
        Rig rig;
        rig.feedSystem = system;
        rig.feedMicrophone = microphone;
        rig.watchEvidence = true;
        QJsonObject config{{"source", source}, {"seconds", 1.0}};
        // Meeting audio alone also plays a file: with "playerOnly" left out, the player plays
        // into a capture of everything but this app.
        if (source == QLatin1String("system"))
            config.insert(QStringLiteral("playFile"), QStringLiteral("/tmp/tone.wav"));
        const QJsonObject evidence = rig.run(config);
        expectFields(evidence, {{"success", success}, {"stopped", true}, {"source", source}, {"routeRestarts", 0},
                                {"providerCalls", 0}, {"captureStartedAt", 1'780'000'000.5},
                                {"availableSources", QJsonArray{QJsonObject{{"bundle", "com.example.meet"},
                                                                            {"processes", QJsonArray{21, 22}}}}}});
        QVERIFY(!evidence.contains("error"));
        const QJsonObject frames = evidence.value("frames").toObject();
        const QJsonObject peak = evidence.value("peak").toObject();
        QCOMPARE(frames.value("system").toInt() > 0, system);
        QCOMPARE(frames.value("microphone").toInt() > 0, microphone);
        QVERIFY(!system || peak.value("system").toDouble() == 0.25);
        // The resampler's step response overshoots a little.
        QVERIFY2(!microphone || qAbs(peak.value("microphone").toDouble() - 0.5) < 0.1,
                 qPrintable(QString::number(peak.value("microphone").toDouble())));
        // Evidence was already on disk while capture ran.
        QVERIFY(rig.evidenceWhileRunning.contains("captureStartedAt"));
        QVERIFY(!rig.evidenceWhileRunning.contains("success"));
        QVERIFY(rig.quits == 1 && rig.hardware->liveTaps() == 0 && rig.microphone->state->liveEngines == 0);
        QCOMPARE(rig.player->terminations, config.contains("playFile") ? 1 : 0);
    }

    void unreadableConfigurationWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not JSON") << QByteArray("{output");
        QTest::newRow("no output") << QByteArray(R"({"source": "system", "seconds": 2})");
        QTest::newRow("seconds as text") << QByteArray(R"({"output": "/nonexistent/x", "source": "system", "seconds": "2"})");
    }

    void unreadableConfigurationWritesNothing()
    {
        QFETCH(QByteArray, content);
        Rig rig;
        rig.run(content);
        QCOMPARE(rig.quits, 1);
        QCOMPARE(QDir(rig.dir.path()).entryList(QDir::Files), QStringList{"check.json"});
        runTask(rig.check->run(rig.dir.filePath(QStringLiteral("missing.json"))));
        QCOMPARE(rig.quits, 2);
    }
};

QTEST_GUILESS_MAIN(tst_CaptureCheck)
#include "tst_CaptureCheck.moc"
