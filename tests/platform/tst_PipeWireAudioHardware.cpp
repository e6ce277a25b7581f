#include "platform/linux/PipeWireAudioHardware.h"

#include "FailureOf.h"
#include "PrivatePipeWire.h"
#include "platform/linux/PipeWireMicrophone.h"
#include "platform/linux/PipeWireMicrophoneEngine.h"
#include "RunTask.h"
#include "audio/SystemAudioTap.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <QVarLengthArray>

#include <algorithm>
#include <atomic>
#include <cmath>

#include <pthread.h>

namespace {

using ObjectID = AudioHardware::ObjectID;
using Kind = AudioHardware::TapDescription::Kind;

constexpr int graphWaitMs = 10'000;

// What an audio callback saw, written on the audio thread and read on the main thread.
struct Received {
    QThread *mainThread = QThread::currentThread();
    std::atomic<float> peak = 0; // of the quietest channel: each must carry the sound
    std::atomic<int> calls = 0;
    std::atomic<bool> offMainThread = true;
    std::atomic<bool> named = true;       // the thread carries the capture's label, as far as 15 bytes go
    std::atomic<bool> wholeFrames = true; // of the tap's format

    void hear(const float *samples, qsizetype count, int channels = 2)
    {
        QVarLengthArray<float, 2> loudest(channels, 0.0f);
        for (qsizetype i = 0; i < count; ++i)
            loudest[i % channels] = std::max(loudest[i % channels], std::fabs(samples[i]));
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        peak = std::max(peak.load(), *std::min_element(loudest.cbegin(), loudest.cend()));
        ++calls;
        offMainThread = offMainThread && QThread::currentThread() != mainThread;
        named = named && QByteArray(name) == QByteArray(PipeWireAudioHardware::threadName).left(15);
        wholeFrames = wholeFrames && count % channels == 0;
    }
};

// A tap, its aggregate device and a running I/O callback, made the way the system tap
// makes them.
struct RunningTap {
    AudioHardware &hardware;
    std::shared_ptr<Received> received = std::make_shared<Received>();
    ObjectID tap = 0;
    ObjectID device = 0;
    AudioHardware::IOProcID proc = 0;
    std::optional<AudioFormat> format;

    explicit RunningTap(AudioHardware &hardware) : hardware(hardware) {}

    // Returns the first non-zero status.
    AudioHardware::Status start(Kind kind, const QList<ObjectID> &processes)
    {
        AudioHardware::TapDescription description;
        description.kind = kind;
        description.processes = processes;
        description.uuid = QUuid::createUuid();
        description.name = QStringLiteral("Corvana meeting audio");
        description.isPrivate = true;
        if (const auto status = hardware.createProcessTap(description, tap))
            return status;
        if (const auto status = hardware.tapFormat(tap, format))
            return status;
        AudioHardware::AggregateDeviceDescription aggregate;
        aggregate.name = QStringLiteral("Corvana private capture");
        aggregate.uid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        aggregate.isPrivate = true;
        aggregate.tapAutoStart = true;
        aggregate.taps = {{description.uuid.toString(QUuid::WithoutBraces).toUpper(), true}};
        if (const auto status = hardware.createAggregateDevice(aggregate, device))
            return status;
        AudioHardware::IOCallback callback = [received = received](const void *data, qsizetype bytes) {
            received->hear(static_cast<const float *>(data), bytes / qsizetype(sizeof(float)));
        };
        if (const auto status = hardware.createIOProc(device, std::move(callback), proc))
            return status;
        return hardware.startDevice(device, proc);
    }

    // Tears down in order; the first non-zero status.
    AudioHardware::Status release()
    {
        const AudioHardware::Status statuses[] = {proc ? hardware.destroyIOProc(device, std::exchange(proc, 0)) : 0,
                                                  device ? hardware.destroyAggregateDevice(std::exchange(device, 0)) : 0,
                                                  tap ? hardware.destroyProcessTap(std::exchange(tap, 0)) : 0};
        return *std::find_if(std::begin(statuses), std::end(statuses) - 1, [](auto status) { return status != 0; });
    }
    ~RunningTap() { release(); }
};

} // namespace

// Runs against a real PipeWire of the test's own, with pw-play as the application.
class PipeWireAudioHardwareTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_pipewire = std::make_unique<PrivatePipeWire>();
        if (!m_pipewire->started())
            QSKIP(qPrintable(QStringLiteral("no private PipeWire could be started: ") + m_pipewire->error()));
        m_tone = m_pipewire->directory() + QStringLiteral("/tone.wav");
        QVERIFY(PrivatePipeWire::writeTone(m_tone, 440, 60));
        m_hardware = std::make_unique<PipeWireAudioHardware>();
        QVERIFY(m_hardware->supportsProcessTaps());
    }

    void playerIsAProcessObject()
    {
        const ObjectID player = startPlayer();
        QVERIFY2(player != 0, "pw-play never showed up as a process object");

        QList<ObjectID> processes;
        QString identifier;
        QVERIFY(m_hardware->processObjects(processes) == 0 && processes.contains(player));
        QVERIFY(m_hardware->bundleIdentifier(player, identifier) == 0 && !identifier.isEmpty());

        // This process plays nothing, so it has no process object.
        ObjectID own = 1;
        QCOMPARE(m_hardware->processObjectForPID(qint32(QCoreApplication::applicationPid()), own), 0);
        QCOMPARE(own, ObjectID(0));

        const QList<AudioSource> sources = SystemAudioTap::sources(*m_hardware, QStringLiteral("com.tessaro.native"));
        const auto source = std::find_if(sources.cbegin(), sources.cend(),
                                         [&](const AudioSource &candidate) { return candidate.processIDs.contains(player); });
        QVERIFY(source != sources.cend());
        QCOMPARE(source->id, identifier);

        // The sink is a device, not a process.
        QList<ObjectID> outputs;
        QVERIFY(m_hardware->defaultOutputDevices(outputs) == 0 && !outputs.isEmpty() && !processes.contains(outputs.first()));
        QCOMPARE(m_hardware->bundleIdentifier(outputs.first(), identifier), -ENOENT);
    }

    void tapsHearThePlayer()
    {
        const ObjectID player = startPlayer();
        QVERIFY(player != 0);
        RunningTap tap(*m_hardware);
        QCOMPARE(tap.start(Kind::MixdownOf, {player}), 0);
        QVERIFY(tap.format && tap.format->channels == 2 && tap.format->layout == SampleLayout::Float32
                && tap.format->sampleRate > 0);

        // The tone is at half of full scale.
        QTRY_VERIFY_WITH_TIMEOUT(tap.received->peak > 0.3f, graphWaitMs);
        QVERIFY(tap.received->peak < 0.7f);
        QVERIFY(tap.received->offMainThread && tap.received->named && tap.received->wholeFrames);
        // The global tap hears what reaches the default sink: the player is still playing
        // there, not moved or muted by the mixdown tap.
        RunningTap global(*m_hardware);
        QCOMPARE(global.start(Kind::GlobalExcluding, {}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(global.received->peak > 0.3f, graphWaitMs);

        // The player leaving while tapped is harmless.
        m_pipewire->stopPlayers();
        QList<ObjectID> processes;
        QTRY_VERIFY_WITH_TIMEOUT(m_hardware->processObjects(processes) == 0 && !processes.contains(player), graphWaitMs);
        QCOMPARE(tap.release(), 0);
        // The global tap goes on hearing the sink until stopped; stopping again is harmless,
        // and the device can be torn down in order.
        QCOMPARE(m_hardware->stopDevice(global.device, global.proc), 0);
        const int calls = global.received->calls;
        QTest::qWait(300);
        QCOMPARE(global.received->calls, calls);
        QCOMPARE(m_hardware->stopDevice(global.device, global.proc), 0);
        QCOMPARE(global.release(), 0);

        // A new tap of the gone player is refused; a new player can be tapped again.
        AudioHardware::TapDescription description;
        description.processes = {player};
        description.uuid = QUuid::createUuid();
        ObjectID gone = 0;
        QCOMPARE(m_hardware->createProcessTap(description, gone), -ENOENT);
        const ObjectID next = startPlayer();
        RunningTap again(*m_hardware);
        QVERIFY(next != 0 && again.start(Kind::MixdownOf, {next}) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(again.received->peak > 0.3f, graphWaitMs);
    }

    void defaultOutputListenerFollowsTheDefaultSink()
    {
        QList<ObjectID> before;
        QVERIFY(m_hardware->defaultOutputDevices(before) == 0 && before.size() == 1);
        QVERIFY(m_pipewire->createNode(QStringLiteral("corvana-second-sink")));
        int calls = 0;
        bool onMainThread = true;
        QThread *const mainThread = QThread::currentThread();
        const auto heard = [&] { ++calls, onMainThread = onMainThread && QThread::currentThread() == mainThread; };
        AudioHardware::ListenerID listener = 0;
        QCOMPARE(m_hardware->addPropertyListener(AudioHardware::systemObject, AudioHardware::Property::DefaultOutputDevice,
                                                 heard, listener),
                 0);

        QVERIFY(m_pipewire->setDefault(QStringLiteral("default.configured.audio.sink"),
                                       QStringLiteral("corvana-second-sink")));
        QTRY_VERIFY_WITH_TIMEOUT(calls >= 1, graphWaitMs);
        QVERIFY(onMainThread);
        // The session manager may pass through an intermediate default on its way.
        QList<ObjectID> after;
        QTRY_VERIFY_WITH_TIMEOUT(m_hardware->defaultOutputDevices(after) == 0 && after.size() == 1 && after != before,
                                 graphWaitMs);

        // A removed listener hears nothing of the way back.
        QCOMPARE(m_hardware->removePropertyListener(AudioHardware::systemObject,
                                                    AudioHardware::Property::DefaultOutputDevice, listener),
                 0);
        const int callsBefore = calls;
        QVERIFY(m_pipewire->setDefault(QStringLiteral("default.configured.audio.sink"),
                                       QString::fromLatin1(PrivatePipeWire::sinkName)));
        QList<ObjectID> back;
        QTRY_VERIFY_WITH_TIMEOUT(m_hardware->defaultOutputDevices(back) == 0 && back == before, graphWaitMs);
        QTest::qWait(100);
        QCOMPARE(calls, callsBefore);
    }

    void failuresAnswerWithStatuses()
    {
        const ObjectID unknown = 0x7fff'fff0;
        QString identifier;
        std::optional<AudioFormat> format;
        AudioHardware::ListenerID listener = 0;
        const QList<AudioHardware::Status> statuses{
            m_hardware->bundleIdentifier(unknown, identifier), m_hardware->tapFormat(unknown, format),
            m_hardware->destroyProcessTap(unknown), m_hardware->destroyAggregateDevice(unknown),
            m_hardware->startDevice(unknown, 999), m_hardware->stopDevice(unknown, 999),
            m_hardware->destroyIOProc(unknown, 999),
            m_hardware->addPropertyListener(unknown, AudioHardware::Property::TapFormat, [] {}, listener),
            m_hardware->removePropertyListener(AudioHardware::systemObject, AudioHardware::Property::DefaultOutputDevice, 999)};
        QCOMPARE(statuses, QList<AudioHardware::Status>(9, -ENOENT));
        QCOMPARE(m_hardware->addPropertyListener(unknown, AudioHardware::Property::DefaultOutputDevice, [] {}, listener),
                 -EINVAL);

        // A mixdown of nothing, or of processes that do not play, is refused.
        AudioHardware::TapDescription description;
        description.uuid = QUuid::createUuid();
        ObjectID tap = 0;
        QCOMPARE(m_hardware->createProcessTap(description, tap), -EINVAL);
        description.processes = {unknown};
        QCOMPARE(m_hardware->createProcessTap(description, tap), -ENOENT);

        // A device over a tap that does not exist is refused.
        AudioHardware::AggregateDeviceDescription aggregate;
        aggregate.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        aggregate.taps = {{QUuid::createUuid().toString(QUuid::WithoutBraces), true}};
        ObjectID device = 0;
        QCOMPARE(m_hardware->createAggregateDevice(aggregate, device), -ENOENT);
        aggregate.taps.clear();
        QCOMPARE(m_hardware->createAggregateDevice(aggregate, device), -EINVAL);
    }

    // The microphone is the default source: the null sink's monitor, so a tone played to the
    // sink is what it hears, on the audio thread in the format asked for.
    void microphoneHearsTheDefaultSource()
    {
        PipeWireMicrophone microphone;
        QVERIFY(runTask(microphone.requestAccess()));
        std::unique_ptr<MicrophoneEngine> engine = microphone.makeEngine();
        const AudioFormat format = engine->inputFormat();
        QVERIFY(format.sampleRate > 0 && format.channels == 2);
        auto heard = std::make_shared<Received>();
        auto formatKept = std::make_shared<std::atomic<bool>>(true);
        engine->installTap(2'048, format, [heard, formatKept, format](const AudioBuffer &buffer, quint64) {
            *formatKept = *formatKept && buffer.format == format;
            heard->hear(static_cast<const float *>(buffer.data), buffer.frames * buffer.format.channels);
        });
        engine->prepare();
        engine->start();
        QVERIFY(m_pipewire->play(m_tone));
        QTRY_VERIFY_WITH_TIMEOUT(heard->peak > 0.3f, graphWaitMs);
        QVERIFY(*formatKept && heard->offMainThread);
        // After removeTap() the block never runs again, though the engine still runs.
        engine->removeTap();
        const int calls = heard->calls;
        QTest::qWait(300);
        QCOMPARE(heard->calls, calls);
        engine->stop();
    }

    void changeOfDefaultSourceReachesObservers()
    {
        PipeWireMicrophone microphone;
        std::unique_ptr<MicrophoneEngine> engine = microphone.makeEngine();
        engine->installTap(2'048, engine->inputFormat(), [](const AudioBuffer &, quint64) {});
        engine->start();
        int changes = 0;
        bool onMainThread = true;
        const MicrophoneEngine::ObserverToken token = engine->addConfigurationObserver(
            [&, mainThread = QThread::currentThread()] {
                ++changes, onMainThread = onMainThread && QThread::currentThread() == mainThread;
            });
        QVERIFY(token != 0);
        QVERIFY(m_pipewire->createNode(QStringLiteral("corvana-test-microphone"), QStringLiteral("Audio/Source/Virtual")));
        QVERIFY(m_pipewire->setDefault(QStringLiteral("default.configured.audio.source"),
                                       QStringLiteral("corvana-test-microphone")));
        QTRY_VERIFY_WITH_TIMEOUT(changes >= 1, graphWaitMs);
        QVERIFY(onMainThread);
        // A new engine reads the new source.
        QVERIFY(microphone.makeEngine()->inputFormat().sampleRate > 0);

        // A removed observer hears nothing more.
        engine->removeConfigurationObserver(token);
        const int changesBefore = changes;
        QVERIFY(m_pipewire->setDefault(QStringLiteral("default.configured.audio.source"),
                                       QString::fromLatin1(PrivatePipeWire::sinkName)));
        QTest::qWait(500);
        QCOMPARE(changes, changesBefore);
        engine->stop();
    }

    void microphoneWithoutPipeWire()
    {
        PipeWireMicrophoneEngine engine(nullptr);
        QVERIFY(engine.inputFormat().sampleRate == 0 && engine.inputFormat().channels == 0);
        QCOMPARE(failureOf([&] { engine.start(); }),
                 QStringLiteral("The microphone could not start: PipeWire is not running."));
        // Stopping an engine that never ran is harmless.
        engine.stop();
    }

    void cleanup()
    {
        if (m_pipewire)
            m_pipewire->stopPlayers();
    }

private:
    // Starts pw-play with the tone and waits for its process object.
    AudioHardware::ObjectID startPlayer()
    {
        QProcess *player = m_pipewire->play(m_tone);
        if (!player)
            return 0;
        const qint32 pid = qint32(player->processId());
        ObjectID object = 0;
        QDeadlineTimer deadline(graphWaitMs);
        while (!deadline.hasExpired()) {
            if (m_hardware->processObjectForPID(pid, object) == 0 && object != 0)
                return object;
            QTest::qWait(50);
        }
        return 0;
    }


    std::unique_ptr<PrivatePipeWire> m_pipewire;
    std::unique_ptr<PipeWireAudioHardware> m_hardware;
    QString m_tone;
};

QTEST_GUILESS_MAIN(PipeWireAudioHardwareTest)
#include "tst_PipeWireAudioHardware.moc"
