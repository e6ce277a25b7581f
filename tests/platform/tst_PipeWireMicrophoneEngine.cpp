#include "platform/linux/PipeWireMicrophone.h"
#include "platform/linux/PipeWireMicrophoneEngine.h"

#include "PrivatePipeWire.h"
#include "RunTask.h"
#include "protocol/TessaroError.h"

#include <QTest>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

constexpr int graphWaitMs = 10'000;

// What the tap saw, written on the audio thread and read on the main thread.
struct Heard {
    std::mutex mutex;
    float peak = 0;
    int calls = 0;
    bool onMainThread = false;
    bool formatKept = true;

    float currentPeak()
    {
        std::lock_guard lock(mutex);
        return peak;
    }
    int currentCalls()
    {
        std::lock_guard lock(mutex);
        return calls;
    }
};

} // namespace

// Runs against a real PipeWire of the test's own. Its default source is the null
// sink's monitor, so a tone played to the sink is what the microphone hears.
class PipeWireMicrophoneEngineTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void accessIsGranted();
    void tapHearsTheDefaultSource();
    void changeOfDefaultSourceReachesObservers();
    void withoutPipeWireThereIsNoInput();
    void cleanup();
    void cleanupTestCase();

private:
    std::unique_ptr<PrivatePipeWire> m_pipewire;
    QString m_tone;
};

void PipeWireMicrophoneEngineTest::initTestCase()
{
    m_pipewire = std::make_unique<PrivatePipeWire>();
    if (!m_pipewire->started())
        QSKIP(qPrintable(QStringLiteral("no private PipeWire could be started: ") + m_pipewire->error()));
    m_tone = m_pipewire->directory() + QStringLiteral("/tone.wav");
    QVERIFY(PrivatePipeWire::writeTone(m_tone, 440, 60));
}

void PipeWireMicrophoneEngineTest::accessIsGranted()
{
    PipeWireMicrophone microphone;
    QVERIFY(runTask(microphone.requestAccess()));
}

void PipeWireMicrophoneEngineTest::tapHearsTheDefaultSource()
{
    PipeWireMicrophone microphone;
    std::unique_ptr<MicrophoneEngine> engine = microphone.makeEngine();
    const AudioFormat format = engine->inputFormat();
    QVERIFY(format.sampleRate > 0);
    QCOMPARE(format.channels, 2);

    auto heard = std::make_shared<Heard>();
    QThread *mainThread = QThread::currentThread();
    engine->installTap(2'048, format, [heard, format, mainThread](const AudioBuffer &buffer, quint64) {
        float peak = 0;
        const auto *samples = static_cast<const float *>(buffer.data);
        for (qsizetype i = 0; i < buffer.frames * buffer.format.channels; ++i)
            peak = std::max(peak, std::fabs(samples[i]));
        std::lock_guard lock(heard->mutex);
        heard->peak = std::max(heard->peak, peak);
        ++heard->calls;
        heard->onMainThread = heard->onMainThread || QThread::currentThread() == mainThread;
        heard->formatKept = heard->formatKept && buffer.format == format;
    });
    engine->prepare();
    engine->start();
    QVERIFY(m_pipewire->play(m_tone));

    QTRY_VERIFY_WITH_TIMEOUT(heard->currentPeak() > 0.3f, graphWaitMs);
    {
        std::lock_guard lock(heard->mutex);
        QVERIFY(!heard->onMainThread);
        QVERIFY(heard->formatKept);
    }

    // After removeTap() the block never runs again, though the engine still runs.
    engine->removeTap();
    const int calls = heard->currentCalls();
    QTest::qWait(300);
    QCOMPARE(heard->currentCalls(), calls);
    engine->stop();
}

void PipeWireMicrophoneEngineTest::changeOfDefaultSourceReachesObservers()
{
    PipeWireMicrophone microphone;
    std::unique_ptr<MicrophoneEngine> engine = microphone.makeEngine();
    engine->installTap(2'048, engine->inputFormat(), [](const AudioBuffer &, quint64) {});
    engine->start();

    int changes = 0;
    bool onMainThread = true;
    QThread *mainThread = QThread::currentThread();
    const MicrophoneEngine::ObserverToken token = engine->addConfigurationObserver([&] {
        ++changes;
        onMainThread = onMainThread && QThread::currentThread() == mainThread;
    });
    QVERIFY(token != 0);

    QVERIFY(m_pipewire->createNode(QStringLiteral("corvana-test-microphone"), QStringLiteral("Audio/Source/Virtual")));
    QVERIFY(m_pipewire->setDefault(QStringLiteral("default.configured.audio.source"),
                                   QStringLiteral("corvana-test-microphone")));
    QTRY_VERIFY_WITH_TIMEOUT(changes >= 1, graphWaitMs);
    QVERIFY(onMainThread);

    // A new engine reads the new source.
    std::unique_ptr<MicrophoneEngine> next = microphone.makeEngine();
    QVERIFY(next->inputFormat().sampleRate > 0);

    // A removed observer hears nothing more.
    engine->removeConfigurationObserver(token);
    const int heard = changes;
    QVERIFY(m_pipewire->setDefault(QStringLiteral("default.configured.audio.source"),
                                   QString::fromLatin1(PrivatePipeWire::sinkName)));
    QTest::qWait(500);
    QCOMPARE(changes, heard);
    engine->stop();
}

void PipeWireMicrophoneEngineTest::withoutPipeWireThereIsNoInput()
{
    PipeWireMicrophoneEngine engine(nullptr);
    const AudioFormat format = engine.inputFormat();
    QCOMPARE(format.sampleRate, 0.0);
    QCOMPARE(format.channels, 0);
    try {
        engine.start();
        QFAIL("start() succeeded without PipeWire");
    } catch (const TessaroError &error) {
        QCOMPARE(error.description(), QStringLiteral("The microphone could not start: PipeWire is not running."));
    }
    // Stopping an engine that never ran is harmless.
    engine.stop();
}

void PipeWireMicrophoneEngineTest::cleanup()
{
    if (m_pipewire)
        m_pipewire->stopPlayers();
}

void PipeWireMicrophoneEngineTest::cleanupTestCase()
{
    m_pipewire.reset();
}

QTEST_GUILESS_MAIN(PipeWireMicrophoneEngineTest)
#include "tst_PipeWireMicrophoneEngine.moc"
