#include "audio/LiveAudioCapture.h"

#include "DrainedStream.h"
#include "FailureOf.h"
#include "FakeAudioHardware.h"
#include "FakeMicrophone.h"
#include "audio/CancellationError.h"
#include "protocol/TessaroError.h"

#include <QTest>

namespace {

using namespace std::chrono_literals;

const QString own = QStringLiteral("com.quorrel.corvana");
const QString switching =
    QStringLiteral("The audio output is switching repeatedly. Choose a stable output and start listening again.");

// One controller on fake hardware and a fake microphone, with a clock the test moves.
struct Rig {
    Rig()
    {
        hardware->processes = {{21, QStringLiteral("com.example.meet")}};
        hardware->format = AudioFormat{16'000, 1, SampleLayout::Int16};
        LiveAudioCaptureTiming timing;
        timing.restartDelay = 30ms;
        timing.now = [clock = clock] { return *clock; };
        capture = std::make_unique<LiveAudioCapture>(hardware, microphone, own, timing);
    }

    std::shared_ptr<CapturedAudioStream> start(const QString &source)
    {
        return runTask(capture->start(source, QList<quint32>{21}));
    }

    QString startError(const QString &source)
    {
        try {
            return failureOf([&] { start(source); });
        } catch (const std::exception &error) {
            return QString::fromUtf8(error.what());
        }
    }

    // Reports a new default output device to the running tap.
    void switchOutput()
    {
        hardware->defaultOutputs = {++output};
        hardware->notify(AudioHardware::Property::DefaultOutputDevice);
    }

    std::shared_ptr<FakeAudioHardware> hardware = std::make_shared<FakeAudioHardware>();
    std::shared_ptr<FakeMicrophone> microphone = std::make_shared<FakeMicrophone>();
    std::shared_ptr<std::chrono::steady_clock::time_point> clock =
        std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::time_point() + 1h);
    std::unique_ptr<LiveAudioCapture> capture;
    quint32 output = 40;
};

// How the stream ended: empty after a clean end, else the failure's text.
QString endingOf(CapturedAudioStream &stream)
{
    return DrainedStream(stream).error;
}

// 300 ms of microphone input: enough for the resampler's delay and at least one frame.
void feedMicrophone(FakeMicrophoneEngine::State &state)
{
    const std::vector<float> samples(14'400, 0.25f);
    QVERIFY(state.feed(AudioBuffer{AudioFormat{48'000, 1, SampleLayout::Float32}, 14'400, samples.data()}));
}

} // namespace

class tst_LiveAudioCapture : public QObject {
    Q_OBJECT

private slots:
    // Meeting audio never asks for the microphone; an unknown source stops what ran before.
    void meetingAudioThenAnUnknownSource()
    {
        Rig rig;
        const auto earlier = rig.start(QStringLiteral("system"));
        QVERIFY(rig.microphone->requests == 0 && rig.microphone->state->engines == 0);
        QVERIFY(rig.hardware->liveTaps() == 1 && rig.capture->pipes().size() == 1);
        QCOMPARE(rig.startError(QStringLiteral("speaker")), QStringLiteral("Choose an audio source."));
        QVERIFY(!rig.capture->capturing() && rig.hardware->liveTaps() == 0);
        QCOMPARE(endingOf(*earlier), QString());
    }

    void startFailures_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("microphone refused") << "both" << 0
                                            << QStringLiteral("Microphone access is off. Allow Corvana to use the microphone "
                                                              "in your desktop\u2019s privacy settings, or choose meeting audio only.");
        QTest::newRow("no microphone") << "microphone" << 1
                                       << QStringLiteral(
                                              "No microphone is available. Connect one or choose meeting audio only.");
        QTest::newRow("engine start fails") << "both" << 2 << QStringLiteral("Input device busy");
        QTest::newRow("taps unsupported") << "both" << 3
                                          << QStringLiteral("Direct meeting audio needs PipeWire, which is not running.");
        QTest::newRow("tap creation fails")
            << "both" << 4
            << QStringLiteral("PipeWire could not start system audio (-4). Check that PipeWire and its session "
                              "manager are running, then retry.");
    }

    void startFailures()
    {
        QFETCH(QString, source);
        QFETCH(int, fault);
        QFETCH(QString, message);
        Rig rig;
        switch (fault) {
        case 0: rig.microphone->answer = false; break;
        case 1: rig.microphone->state->format = AudioFormat{0, 0, SampleLayout::Float32}; break;
        case 2: rig.microphone->state->startFailure = QStringLiteral("Input device busy"); break;
        case 3: rig.hardware->tapsSupported = false; break;
        case 4: rig.hardware->statuses.insert(QStringLiteral("createProcessTap"), -4); break;
        }
        QCOMPARE(rig.startError(source), message);
        // Nothing is left running.
        QVERIFY(!rig.capture->capturing() && rig.capture->pipes().isEmpty());
        QVERIFY(rig.hardware->liveTaps() == 0 && rig.hardware->liveListeners() == 0);
        const FakeMicrophoneEngine::State &microphone = *rig.microphone->state;
        QVERIFY(microphone.liveEngines == 0 && !microphone.running && !microphone.tapInstalled && microphone.observers.isEmpty());
        QVERIFY(fault != 0 || rig.hardware->tapDescriptions.isEmpty());
    }

    void stopWhileWaitingForPermissionCancels()
    {
        Rig rig;
        rig.microphone->answer.reset();
        QCoro::Task<std::shared_ptr<CapturedAudioStream>> pending =
            rig.capture->start(QStringLiteral("microphone"), std::nullopt);
        QVERIFY(rig.microphone->waiting());
        rig.capture->stop();
        rig.microphone->grant();
        QVERIFY_THROWS_EXCEPTION(CancellationError, runTask(std::move(pending)));
        QCOMPARE(rig.microphone->state->engines, 0);
    }

    void newerStartWhileWaitingCancelsTheOlder()
    {
        Rig rig;
        rig.microphone->answer.reset();
        QCoro::Task<std::shared_ptr<CapturedAudioStream>> older =
            rig.capture->start(QStringLiteral("both"), QList<quint32>{21});
        rig.microphone->answer = true;
        const auto newer = rig.start(QStringLiteral("system"));
        rig.microphone->grant();
        QVERIFY_THROWS_EXCEPTION(CancellationError, runTask(std::move(older)));
        QVERIFY(rig.capture->capturing() && rig.hardware->liveTaps() == 1 && rig.microphone->state->engines == 0);
    }

    void microphoneFramesAndSettings()
    {
        Rig rig;
        const auto stream = rig.start(QStringLiteral("microphone"));
        QVERIFY(rig.microphone->state->tapBufferFrames == 2'048u && rig.microphone->state->running);
        feedMicrophone(*rig.microphone->state);
        const CapturedAudio frame = *runTask(stream->next());
        QVERIFY(frame.channel == QLatin1String("microphone") && frame.pcm.size() == 3'200);
        QVERIFY2(frame.level > 0.2f && frame.level < 0.3f, qPrintable(QString::number(frame.level)));
        rig.capture->stop();
        QCOMPARE(endingOf(*stream), QString());
        QCOMPARE(rig.microphone->state->liveEngines, 0);
    }

    void microphoneDeviceChangeEndsTheStream()
    {
        Rig rig;
        const auto stream = rig.start(QStringLiteral("microphone"));
        rig.microphone->state->changeConfiguration();
        QCOMPARE(endingOf(*stream),
                 QStringLiteral("The microphone device changed. Restart listening with the new device."));
        // The engine keeps running until its owner stops capture.
        QVERIFY(rig.microphone->state->running);
        rig.capture->stop();
        QVERIFY(!rig.microphone->state->running);
    }

    // Three rebuilds of the tap in five seconds are allowed; a fourth change within the
    // span ends capture, one exactly five seconds after the first does not.
    void rebuildsWithinFiveSeconds_data()
    {
        QTest::addColumn<int>("secondsBetween");
        QTest::addColumn<int>("secondsBeforeFourth");
        QTest::addColumn<bool>("ends");
        QTest::newRow("fourth change 3 s after the first") << 1 << 0 << true;
        QTest::newRow("fourth change 5 s after the first") << 0 << 5 << false;
    }

    void rebuildsWithinFiveSeconds()
    {
        QFETCH(int, secondsBetween);
        QFETCH(int, secondsBeforeFourth);
        QFETCH(bool, ends);
        Rig rig;
        const auto stream = rig.start(QStringLiteral("system"));
        for (int rebuild = 1; rebuild <= 3; ++rebuild) {
            rig.switchOutput();
            QTRY_COMPARE(rig.capture->routeRestarts(), rebuild);
            QCOMPARE(rig.hardware->liveTaps(), 1);
            *rig.clock += std::chrono::seconds(secondsBetween);
        }
        *rig.clock += std::chrono::seconds(secondsBeforeFourth);
        rig.switchOutput();
        if (ends) {
            QCOMPARE(endingOf(*stream), switching);
            QVERIFY(rig.capture->routeRestarts() == 3 && rig.hardware->liveTaps() == 0);
        } else {
            QTRY_COMPARE(rig.capture->routeRestarts(), 4);
            QVERIFY(!static_cast<CaptureStream &>(*stream).finished());
            // A new start counts afresh.
            rig.start(QStringLiteral("system"));
            QCOMPARE(rig.capture->routeRestarts(), 0);
        }
        QCOMPARE(rig.capture->capturing(), !ends);
    }

    // A burst of changes rebuilds the tap once, after the delay; a stop cancels a pending
    // rebuild.
    void changesWaitForTheRestartDelay()
    {
        Rig rig;
        rig.start(QStringLiteral("system"));
        rig.switchOutput();
        QTest::qWait(10);
        rig.switchOutput();
        QTRY_COMPARE(rig.capture->routeRestarts(), 1);
        QTest::qWait(100);
        QVERIFY(rig.capture->routeRestarts() == 1 && rig.hardware->tapDescriptions.size() == 2);

        const auto stream = rig.start(QStringLiteral("system"));
        rig.switchOutput();
        rig.capture->stop();
        QCOMPARE(endingOf(*stream), QString());
        QTest::qWait(100);
        QVERIFY(rig.capture->routeRestarts() == 0 && rig.hardware->liveTaps() == 0);
        QCOMPARE(rig.hardware->tapDescriptions.size(), 3);
    }

    void rebuildInBothKeepsTheMicrophone()
    {
        Rig rig;
        const auto stream = rig.start(QStringLiteral("both"));
        const std::shared_ptr<AudioFramePipe> microphonePipe = rig.capture->pipes().first();
        QCOMPARE(microphonePipe->channel(), QStringLiteral("microphone"));
        rig.switchOutput();
        QTRY_COMPARE(rig.capture->routeRestarts(), 1);
        QVERIFY(rig.capture->pipes().size() == 2 && rig.capture->pipes().first() == microphonePipe);
        QCOMPARE(rig.capture->pipes().last()->channel(), QStringLiteral("system"));
        QVERIFY(!microphonePipe->closed() && rig.microphone->state->engines == 1);

        feedMicrophone(*rig.microphone->state);
        QByteArray meeting(3'200, '\0');
        QVERIFY(rig.hardware->deliver(meeting.constData(), meeting.size()));
        rig.capture->stop();
        const DrainedStream drained(*stream);
        QVERIFY(drained.error.isEmpty() && drained.frames.size() >= 2);
        QCOMPARE(drained.frames.first().channel, QStringLiteral("microphone"));
        QCOMPARE(drained.frames.last().channel, QStringLiteral("system"));
    }

    void failedRebuildEndsTheStream()
    {
        Rig rig;
        const auto stream = rig.start(QStringLiteral("system"));
        rig.hardware->statuses.insert(QStringLiteral("createAggregateDevice"), 7);
        rig.switchOutput();
        QCOMPARE(endingOf(*stream),
                 QStringLiteral("PipeWire could not start system audio (7). Check that PipeWire and its session "
                                "manager are running, then retry."));
        QVERIFY(!rig.capture->capturing() && rig.hardware->liveTaps() == 0);
    }

    void processObjectOfAProcess()
    {
        Rig rig;
        rig.hardware->pidObjects.insert(4242, 77);
        QCOMPARE(rig.capture->processObject(4242), 77u);
        QCOMPARE(failureOf([&] { rig.capture->processObject(4243); }),
                 QStringLiteral("The audio source has not opened its output yet."));
        rig.hardware->tapsSupported = false;
        QVERIFY_THROWS_EXCEPTION(TessaroError, rig.capture->sources());
    }
};

QTEST_GUILESS_MAIN(tst_LiveAudioCapture)
#include "tst_LiveAudioCapture.moc"
