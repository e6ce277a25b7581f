#include "model/SessionModel.h"

#include "FakeAudioHardware.h"
#include "FakeMicrophone.h"
#include "FakePlatform.h"
#include "TestFiles.h"
#include "TestWav.h"
#include "audio/LiveAudioCapture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Rig {
    Rig()
    {
        hardware->processes = {{11, QStringLiteral("com.example.meet")},
                               {12, QStringLiteral("com.example.meet.helper.renderer")},
                               {13, QStringLiteral("com.example.daemon")}};
        Platform bundle = platform.bundle();
        bundle.capture = std::make_shared<LiveAudioCapture>(hardware, std::make_shared<FakeMicrophone>(),
                                                            QStringLiteral("com.quorrel.corvana"));
        model = std::make_unique<SessionModel>(bundle);
    }

    std::shared_ptr<FakeAudioHardware> hardware = std::make_shared<FakeAudioHardware>();
    FakePlatform platform;
    std::unique_ptr<SessionModel> model;
};

} // namespace

class AudioSourcesTest : public QObject {
    Q_OBJECT

private slots:
    void onlyRunningApplicationsAreListed()
    {
        Rig rig;
        rig.platform.workspace->applications = {QStringLiteral("com.example.meet"), QStringLiteral("org.example.editor")};
        rig.model->refreshSources();
        const QList<AudioSource> meet{{QStringLiteral("com.example.meet"), QStringLiteral("com.example.meet"), {11, 12}}};
        QCOMPARE(rig.model->audioSources(), meet);
        QVERIFY(!rig.model->error());

        // A failed listing keeps the last list.
        rig.hardware->tapsSupported = false;
        rig.model->refreshSources();
        QCOMPARE(rig.model->error(), std::optional<QString>(QStringLiteral("Direct meeting audio needs PipeWire, which is not running.")));
        QCOMPARE(rig.model->audioSources(), meet);

        rig.hardware->tapsSupported = true;
        rig.platform.workspace->applications.clear();
        rig.model->refreshSources();
        QVERIFY(rig.model->audioSources().isEmpty());
    }

    void choosingRecordings()
    {
        Rig rig;
        QTemporaryDir dir;
        rig.model->setError(QStringLiteral("earlier"));
        rig.model->chooseRecording(); // cancelled
        QCOMPARE(rig.model->error(), std::optional<QString>(QStringLiteral("earlier")));
        QVERIFY(!rig.model->recordingName());

        const auto pick = [&](const QString &name, const QByteArray &contents) {
            QVERIFY(writeFile(dir.filePath(name), contents));
            rig.platform.filePicker->answer = QStringList{dir.filePath(name)};
        };
        pick(QStringLiteral("standup.wav"), wavOf(QByteArray(16'000 * 2 * 10, '\0')));
        rig.model->chooseRecording();
        QCOMPARE(rig.model->recordingName(), std::optional<QString>(QStringLiteral("standup.wav")));
        QVERIFY(!rig.model->error());

        pick(QStringLiteral("cd.wav"), wavOf(QByteArray(44'100 * 2, '\0'), 44'100));
        rig.model->chooseRecording();
        QCOMPARE(rig.model->error(), std::optional<QString>(QStringLiteral(
                                         "Choose a 16 kHz, mono, 16-bit PCM WAV recording, up to 90 seconds.")));
        QCOMPARE(rig.model->recordingName(), std::optional<QString>(QStringLiteral("standup.wav")));
        QCOMPARE(rig.model->recording()->seconds(), 10.0);
    }
};

QTEST_GUILESS_MAIN(AudioSourcesTest)
#include "tst_AudioSources.moc"
