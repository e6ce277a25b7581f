#include "DevServiceProcess.h"
#include "PrivatePipeWire.h"
#include "SpokenAudio.h"
#include "TestFiles.h"
#include "TestWav.h"
#include "audio/PCMRecording.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The live evaluation as the real app runs it, on a PipeWire of the test's own, against
// the live mode of the development service: two readings of a human voice (the LibriVox
// recordings pocketsphinx-testdata ships) play through pw-play, the app captures only that
// player and quits by itself with its evidence written.
class tst_LiveEvaluationApp : public QObject {
    Q_OBJECT

private slots:
    void appEvaluatesSpokenAudio()
    {
        // "he was not an ill disposed young man", "he might even have been made amiable himself"
        const QByteArray first = readingPcm(QStringLiteral("sense_and_sensibility_01_austen_64kb-0880"));
        const QByteArray second = readingPcm(QStringLiteral("sense_and_sensibility_01_austen_64kb-0930"));
        if (first.isEmpty() || second.isEmpty())
            QSKIP("pocketsphinx-testdata is not installed, so there is no speech to play.");
        PrivatePipeWire pipewire;
        if (!pipewire.started())
            QSKIP(qPrintable(QStringLiteral("A private PipeWire could not be started: ") + pipewire.error()));
        // The recogniser hears the words; the script answers every utterance, so every control
        // has an answer to work on.
        DevServiceProcess service({QStringLiteral("--scripted-answers")});
        QVERIFY2(service.started(), qPrintable(service.errorText()));

        QTemporaryDir dir;
        const QByteArray clip = wavOf(first + QByteArray(48'000, '\0') + second);

        const auto write = [&dir](const QString &name, const QByteArray &bytes) {
            return writeFile(dir.filePath(name), bytes) ? dir.filePath(name) : QString();
        };
        const QString output = dir.filePath(QStringLiteral("evidence.json"));
        const QString config = write(QStringLiteral("evaluation.json"),
                                     QJsonDocument(QJsonObject{{"output", output},
                                                               {"clip", write(QStringLiteral("clip.wav"), clip)},
                                                               {"budgetMicros", 20'000}})
                                         .toJson());
        const QString bootstrap = write(QStringLiteral("connection.json"),
                                        QJsonDocument(QJsonObject{{"serviceUrl", service.baseUrl()},
                                                                  {"token", service.token()}})
                                            .toJson());

        QProcess app;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TESSARO_LIVE_EVALUATION"), config);
        environment.insert(QStringLiteral("TESSARO_NATIVE_BOOTSTRAP"), bootstrap);
        environment.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("home/config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("home/data")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        app.setProcessEnvironment(environment);
        app.start(QStringLiteral(CORVANA_APP_PATH), {});
        QVERIFY(app.waitForStarted());
        // 8 s of silence, the speech, the settling, then 12 s before the app quits.
        const bool finished = app.waitForFinished(120'000);
        const QString printed = QString::fromUtf8(app.readAllStandardOutput());
        if (!finished)
            app.kill();
        QVERIFY2(finished, qPrintable(printed));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);
        QVERIFY2(printed.contains(QStringLiteral("Native system capture evaluation finished; evidence saved.\n")),
                 qPrintable(printed));

        QCOMPARE(QFile::permissions(output) & 0x0777, QFile::ReadUser | QFile::WriteUser);
        const QJsonObject evidence = jsonFileObject(output);
        QJsonObject brief = evidence;
        brief.remove(QStringLiteral("answers"));
        const QByteArray shown = QJsonDocument(brief).toJson();
        QVERIFY2(evidence.value("success").toBool(), shown.constData());
        QCOMPARE(evidence.value("mode").toString(), QStringLiteral("native-live-system-capture-public-recording"));
        QCOMPARE(evidence.value("seconds").toDouble(), PCMRecording(clip).seconds());
        QVERIFY2(!evidence.value("sessionId").toString().isEmpty() && evidence.value("firstFrameAt").toDouble() > 0
                     && evidence.value("remainingMicros").toInteger(-1) >= 0
                     && evidence.value("capturedFrames")["system"].toInt() > 0,
                 shown.constData());
        QCOMPARE(evidence.value("controlSpendAfterMicros").toInteger(-1), evidence.value("controlSpendBeforeMicros").toInteger(-2));

        // The speech follows 8 s of silence in the fixture, and capture began within 7.5 s
        // of the player: the final segment starts where the speech is.
        const QJsonArray heard = evidence.value("transcriptEvents").toArray();
        const auto final = std::find_if(heard.begin(), heard.end(), [](const QJsonValue &entry) {
            return entry["final"].toBool();
        });
        QVERIFY(final != heard.end());
        const double startMs = (*final).toObject().value("startMs").toDouble();
        QVERIFY2(startMs > 500 && startMs < 8'500, shown.constData());
        // The final segments carry the words spoken, as the stock model hears them after two
        // resamplings: not every word, but the second reading's first words every time.
        QString words;
        for (const QJsonValue &entry : heard) {
            if (entry["final"].toBool())
                words += entry["text"].toString() + QLatin1Char(' ');
        }
        qInfo("The final segments say: %s", qPrintable(words));
        QVERIFY2(words.contains(QStringLiteral("he might even have been made")), qPrintable(words));
    }
};

QTEST_GUILESS_MAIN(tst_LiveEvaluationApp)
#include "tst_LiveEvaluationApp.moc"
