#include "audio/LiveAudioCapture.h"
#include "audio/SystemAudioTap.h"

#include "DrainedStream.h"
#include "FailureOf.h"
#include "FakeAudioHardware.h"
#include "FakeMicrophone.h"
#include "audio/CancellationError.h"
#include "protocol/TessaroError.h"

#include <QTest>

namespace {

using namespace std::chrono_literals;

using Process = FakeAudioHardware::Process;

const QString own = QStringLiteral("com.quorrel.corvana");
const QString switching =
    QStringLiteral("The audio output is switching repeatedly. Choose a stable output and start listening again.");

QString startError(qint32 status)
{
    return QStringLiteral("PipeWire could not start system audio (%1). Check that PipeWire and its session manager "
                          "are running, then retry.")
        .arg(status);
}

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
        QTest::newRow("tap creation fails") << "both" << 4 << startError(-4);
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
        QCOMPARE(endingOf(*stream), startError(7));
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

    // The system audio tap under the controller.

    void sources_data()
    {
        QTest::addColumn<QList<Process>>("processes");
        QTest::addColumn<QStringList>("expected"); // "id: objects"

        QTest::newRow("helper processes join their application")
            << QList<Process>{{11, QStringLiteral("com.example.meet")},
                              {12, QStringLiteral("com.example.meet.helper.renderer")},
                              {13, QStringLiteral("com.example.meet")}}
            << QStringList{"com.example.meet: 11 12 13"};
        QTest::newRow("helper in the middle keeps the prefix")
            << QList<Process>{{12, QStringLiteral("com.example.helper.audio")}, {11, QStringLiteral("com.example")}}
            << QStringList{"com.example: 12 11"};
        QTest::newRow("own processes are left out")
            << QList<Process>{{11, own}, {12, QStringLiteral("com.example.meet")}, {13, own}}
            << QStringList{"com.example.meet: 12"};
        QTest::newRow("code point order, upper case first")
            << QList<Process>{{11, QStringLiteral("com.c")},
                              {12, QStringLiteral("com.b")},
                              {13, QStringLiteral("com.B")},
                              {14, QStringLiteral("org.a")}}
            << QStringList{"com.B: 13", "com.b: 12", "com.c: 11", "org.a: 14"};
        QTest::newRow("astral characters sort after the fullwidth forms")
            << QList<Process>{{11, QString::fromUcs4(U"app.\U0001F600")}, {12, QString::fromUcs4(U"app.\uFF21")}}
            << QStringList{QString::fromUcs4(U"app.\uFF21: 12"), QString::fromUcs4(U"app.\U0001F600: 11")};
        QTest::newRow("unreadable and empty identifiers are skipped")
            << QList<Process>{{11, std::nullopt}, {12, QString()}, {13, QStringLiteral("com.example.meet")}}
            << QStringList{"com.example.meet: 13"};
    }

    void sources()
    {
        QFETCH(QList<Process>, processes);
        QFETCH(QStringList, expected);
        FakeAudioHardware hardware;
        hardware.processes = processes;
        QStringList listed;
        for (const AudioSource &source : SystemAudioTap::sources(hardware, own)) {
            QCOMPARE(source.name, source.id);
            QStringList objects;
            for (quint32 object : source.processIDs)
                objects.append(QString::number(object));
            listed.append(source.id + QStringLiteral(": ") + objects.join(' '));
        }
        QCOMPARE(listed, expected);
    }

    void listingFailureIsTheStartError()
    {
        FakeAudioHardware hardware;
        hardware.statuses.insert(QStringLiteral("processObjects"), -1'852'797'029);
        QCOMPARE(failureOf([&] { SystemAudioTap::sources(hardware, own); }), startError(-1'852'797'029));
    }

    // Which processes the tap takes: all but this app's own (and, without an identifier of
    // its own, those it cannot tell apart from it), or a mixdown of the chosen ones.
    void tapDescription_data()
    {
        QTest::addColumn<QString>("ownIdentifier");
        QTest::addColumn<QList<quint32>>("chosen"); // none: the global tap
        QTest::addColumn<bool>("mixdown");
        QTest::addColumn<QList<quint32>>("processes");
        QTest::newRow("everything but this app") << own << QList<quint32>() << false
                                                  << QList<quint32>{11, 14};
        QTest::newRow("no identifier of its own") << QString() << QList<quint32>() << false
                                                   << QList<quint32>{13, 15};
        QTest::newRow("chosen processes") << own << QList<quint32>{21, 22} << true
                                          << QList<quint32>{21, 22};
    }

    void tapDescription()
    {
        QFETCH(QString, ownIdentifier);
        QFETCH(QList<quint32>, chosen);
        QFETCH(bool, mixdown);
        QFETCH(QList<quint32>, processes);
        auto hardware = std::make_shared<FakeAudioHardware>();
        hardware->processes = {{11, own}, {12, QStringLiteral("com.example.meet")}, {13, std::nullopt}, {14, own}, {15, QString()}};
        SystemAudioTap tap(hardware, ownIdentifier);
        tap.start(chosen.isEmpty() ? std::nullopt : std::optional(chosen), std::make_shared<AudioFramePipe>(QStringLiteral("system"), std::make_shared<CaptureStream>()),
                  [] {});
        QCOMPARE(hardware->tapDescriptions.size(), 1);
        const AudioHardware::TapDescription &description = hardware->tapDescriptions.first();
        QCOMPARE(description.kind == AudioHardware::TapDescription::Kind::MixdownOf, mixdown);
        QCOMPARE(description.processes, processes);
        QCOMPARE(hardware->log.contains(QStringLiteral("processObjects")), !mixdown);
        QCOMPARE(description.name, QStringLiteral("Corvana meeting audio"));
        QVERIFY(description.isPrivate && !description.muted && !description.uuid.isNull());
        const AudioHardware::AggregateDeviceDescription &device = hardware->deviceDescriptions.first();
        QCOMPARE(device.name, QStringLiteral("Corvana private capture"));
        QVERIFY(device.isPrivate && device.tapAutoStart && device.taps.size() == 1 && device.taps.first().drift);
        QCOMPARE(QUuid::fromString(device.taps.first().uid), description.uuid);
        QVERIFY(!QUuid::fromString(device.uid).isNull());
        QVERIFY(tap.running() && hardware->liveListeners() == 2);
    }

    void tapStartFailures_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<bool>("unusableFormat");
        QTest::addColumn<QString>("message");
        QTest::newRow("tap") << "createProcessTap" << false << startError(560'947'818);
        QTest::newRow("format unusable") << QString() << true
                                         << QStringLiteral("The output device has an unsupported audio format.");
        QTest::newRow("second listener") << "addPropertyListener tfmt" << false << startError(560'947'818);
        QTest::newRow("no process chosen") << "none chosen" << false
                                           << QStringLiteral("Open the meeting app, refresh sources, and select it again.");
    }

    void tapStartFailures()
    {
        QFETCH(QString, failing);
        QFETCH(bool, unusableFormat);
        QFETCH(QString, message);
        auto hardware = std::make_shared<FakeAudioHardware>();
        const bool noneChosen = failing == QLatin1String("none chosen");
        if (!failing.isEmpty() && !noneChosen)
            hardware->statuses.insert(failing, 560'947'818);
        if (unusableFormat)
            hardware->format.reset();
        SystemAudioTap tap(hardware, own);
        auto pipe = std::make_shared<AudioFramePipe>(QStringLiteral("system"), std::make_shared<CaptureStream>());
        QCOMPARE(failureOf([&] { tap.start(noneChosen ? QList<quint32>() : QList<quint32>{21}, pipe, [] {}); }), message);
        QCOMPARE(hardware->tapDescriptions.isEmpty(), noneChosen);
        // Nothing survives a failed start.
        QCOMPARE((QList<int>{hardware->liveTaps(), hardware->liveDevices(), hardware->runningProcs(),
                             hardware->liveListeners(), int(tap.tap()), int(tap.device())}),
                 QList<int>(6, 0));
        QVERIFY(pipe->closed() && !tap.running());
    }

    void formatNotifications()
    {
        auto hardware = std::make_shared<FakeAudioHardware>();
        hardware->format = AudioFormat{16'000, 1, SampleLayout::Int16};
        SystemAudioTap tap(hardware, own);
        auto stream = std::make_shared<CaptureStream>();
        tap.start(QList<quint32>{21}, std::make_shared<AudioFramePipe>(QStringLiteral("system"), stream), [] {});

        // The callback's bytes are read in the tap's format and fed to the pipe.
        QByteArray first(1'600 * 2, '\0');
        reinterpret_cast<qint16 *>(first.data())[7] = -16'384;
        QVERIFY(hardware->deliver(first.constData(), first.size()));
        QCOMPARE(stream->buffered(), 1);
        const CapturedAudio frame = *runTask(stream->next());
        QVERIFY(frame.channel == QLatin1String("system") && frame.pcm.size() == 3'200 && frame.level == 0.5f);

        // A readable format only changes how the next buffer is read: 3,200 bytes of
        // 16-bit stereo are half a frame of mono.
        hardware->format = AudioFormat{16'000, 2, SampleLayout::Int16};
        hardware->notify(AudioHardware::Property::TapFormat);
        QVERIFY(!stream->finished());
        QByteArray samples(1'600 * 2, '\0');
        hardware->deliver(samples.constData(), samples.size());
        QCOMPARE(stream->buffered(), 0);
        hardware->deliver(samples.constData(), samples.size());
        QCOMPARE(stream->buffered(), 1);

        hardware->format.reset();
        hardware->notify(AudioHardware::Property::TapFormat);
        const DrainedStream drained(*stream);
        QCOMPARE(drained.error, QStringLiteral("The output device has an unsupported audio format."));
        QCOMPARE(drained.frames.size(), 1);
    }

    void outputNotifications_data()
    {
        QTest::addColumn<QList<quint32>>("outputAtStart");
        QTest::addColumn<QList<quint32>>("outputAfter");
        QTest::addColumn<bool>("readFails");
        QTest::addColumn<int>("changes");
        QTest::newRow("same device") << QList<quint32>{40} << QList<quint32>{40} << false << 0;
        QTest::newRow("new device") << QList<quint32>{40} << QList<quint32>{41} << false << 1;
        QTest::newRow("no device at start") << QList<quint32>{} << QList<quint32>{} << false << 1;
        QTest::newRow("read fails") << QList<quint32>{40} << QList<quint32>{40} << true << 1;
    }

    void outputNotifications()
    {
        QFETCH(QList<quint32>, outputAtStart);
        QFETCH(QList<quint32>, outputAfter);
        QFETCH(bool, readFails);
        QFETCH(int, changes);
        auto hardware = std::make_shared<FakeAudioHardware>();
        hardware->defaultOutputs = outputAtStart;
        SystemAudioTap tap(hardware, own);
        auto pipe = std::make_shared<AudioFramePipe>(QStringLiteral("system"), std::make_shared<CaptureStream>());
        int called = 0;
        tap.start(QList<quint32>{21}, pipe, [&] { ++called; });
        hardware->defaultOutputs = outputAfter;
        if (readFails)
            hardware->statuses.insert(QStringLiteral("defaultOutputDevices"), -50);
        hardware->notify(AudioHardware::Property::DefaultOutputDevice);
        QCOMPARE(called, changes);
        QCOMPARE(pipe->closed(), changes > 0);
        if (changes) {
            // Each further notification is reported again.
            hardware->notify(AudioHardware::Property::DefaultOutputDevice);
            QCOMPARE(called, 2);
        }
    }

    void stopReleasesInOrder()
    {
        auto hardware = std::make_shared<FakeAudioHardware>();
        auto pipe = std::make_shared<AudioFramePipe>(QStringLiteral("system"), std::make_shared<CaptureStream>());
        int called = 0;
        {
            SystemAudioTap tap(hardware, own);
            tap.stop(); // never started: nothing happens
            QVERIFY(hardware->log.isEmpty());
            tap.start(QList<quint32>{21}, pipe, [&called] { ++called; });
            hardware->log.clear();
        } // releasing the tap stops it
        QCOMPARE(hardware->log,
                 (QStringList{"removePropertyListener dOut", "removePropertyListener tfmt", "stopDevice",
                              "destroyIOProc", "destroyAggregateDevice", "destroyProcessTap"}));
        QVERIFY(pipe->closed() && hardware->liveListeners() == 0);
        QVERIFY(!hardware->deliver("\0\0\0\0\0\0\0\0", 8));
        hardware->defaultOutputs = {41};
        hardware->notify(AudioHardware::Property::DefaultOutputDevice);
        QCOMPARE(called, 0);
    }
};

QTEST_GUILESS_MAIN(tst_LiveAudioCapture)
#include "tst_LiveAudioCapture.moc"
