#include "devmodes/CaptureCheck.h"

#include "PrivatePipeWire.h"
#include "RunTask.h"
#include "platform/linux/PipeWireAudioHardware.h"
#include "platform/linux/PipeWireMicrophone.h"
#include "platform/linux/PwPlayFixturePlayer.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The capture check end to end on a PipeWire of the test's own: a spoken sentence played
// by pw-play is captured from the player's own stream.
class CaptureCheckLiveTest : public QObject {
    Q_OBJECT

private slots:
    void capturesThePlayersSpeech()
    {
        const QString espeak = QStandardPaths::findExecutable(QStringLiteral("espeak-ng"));
        if (espeak.isEmpty())
            QSKIP("espeak-ng is not installed, so there is no speech to play.");
        PrivatePipeWire pipewire;
        if (!pipewire.started())
            QSKIP(qPrintable(QStringLiteral("A private PipeWire could not be started: ") + pipewire.error()));

        QTemporaryDir dir;
        const QString speech = dir.filePath(QStringLiteral("speech.wav"));
        QCOMPARE(QProcess::execute(espeak, {QStringLiteral("-w"), speech,
                                            QStringLiteral("The launch is planned for the third quarter, after the "
                                                           "evaluation on held out data completes. Budget review "
                                                           "follows in October.")}),
                 0);
        const QString output = dir.filePath(QStringLiteral("evidence.json"));
        const QString config = dir.filePath(QStringLiteral("check.json"));
        {
            QFile file(config);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QJsonDocument(QJsonObject{{"output", output},
                                                 {"source", "system"},
                                                 {"seconds", 2.0},
                                                 {"playFile", speech},
                                                 {"playerOnly", true}})
                           .toJson());
        }

        auto hardware = std::make_shared<PipeWireAudioHardware>();
        auto microphone = std::make_shared<PipeWireMicrophone>();
        CaptureCheck::Environment environment;
        environment.makeCapture = [hardware, microphone] {
            return std::make_unique<LiveAudioCapture>(hardware, microphone, QStringLiteral("com.quorrel.corvana"));
        };
        environment.player = std::make_shared<PwPlayFixturePlayer>();
        environment.epochMilliseconds = [] { return double(QDateTime::currentMSecsSinceEpoch()); };
        int quits = 0;
        environment.quit = [&quits] { ++quits; };
        CaptureCheck check(std::move(environment));
        runTask(check.run(config));

        QCOMPARE(quits, 1);
        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject evidence = QJsonDocument::fromJson(file.readAll()).object();
        QVERIFY2(evidence.value("success").toBool(), QJsonDocument(evidence).toJson().constData());
        QCOMPARE(evidence.value("providerCalls").toInt(-1), 0);
        QVERIFY(evidence.value("frames").toObject().value("system").toInt() > 0);
        QVERIFY(evidence.value("peak").toObject().value("system").toDouble() > 0);
        QVERIFY(!evidence.contains("error"));
    }
};

QTEST_GUILESS_MAIN(CaptureCheckLiveTest)
#include "tst_CaptureCheckLive.moc"
