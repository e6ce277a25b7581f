#include "audio/LiveAudioCapture.h"

#include "audio/CancellationError.h"
#include "protocol/TaskHandle.h"
#include "protocol/TessaroError.h"

#include <QPointer>

namespace {

const QString systemChannel = QStringLiteral("system");
const QString microphoneChannel = QStringLiteral("microphone");

TessaroError tapsUnsupported()
{
    return TessaroError::message(QStringLiteral("Direct meeting audio needs PipeWire, which is not running."));
}

} // namespace

LiveAudioCapture::LiveAudioCapture(std::shared_ptr<AudioHardware> hardware, std::shared_ptr<Microphone> microphone,
                                   QString ownBundleIdentifier, LiveAudioCaptureTiming timing, QObject *parent)
    : QObject(parent), m_hardware(std::move(hardware)), m_microphone(std::move(microphone)),
      m_ownBundleIdentifier(std::move(ownBundleIdentifier)), m_timing(std::move(timing))
{
}

LiveAudioCapture::~LiveAudioCapture()
{
    stop();
}

std::chrono::steady_clock::time_point LiveAudioCapture::now() const
{
    return m_timing.now ? m_timing.now() : std::chrono::steady_clock::now();
}

QList<AudioSource> LiveAudioCapture::sources()
{
    if (!m_hardware || !m_hardware->supportsProcessTaps())
        throw tapsUnsupported();
    return SystemAudioTap::sources(*m_hardware, m_ownBundleIdentifier);
}

quint32 LiveAudioCapture::processObject(qint32 pid)
{
    AudioHardware::ObjectID process = 0;
    if (!m_hardware || m_hardware->processObjectForPID(pid, process) != 0 || process == 0)
        throw TessaroError::message(QStringLiteral("The audio source has not opened its output yet."));
    return process;
}

QCoro::Task<std::shared_ptr<CapturedAudioStream>> LiveAudioCapture::start(QString source,
                                                                         std::optional<QList<quint32>> processes)
{
    stop();
    m_routeRestarts = 0;
    m_restartTimes.clear();
    const QUuid generation = m_generation;

    if (source != systemChannel && source != microphoneChannel && source != QLatin1String("both"))
        throw TessaroError::message(QStringLiteral("Choose an audio source."));

    if (source != systemChannel && m_microphone) {
        QPointer<LiveAudioCapture> self(this);
        const std::shared_ptr<Microphone> microphone = m_microphone;
        const bool granted = co_await microphone->requestAccess();
        if (!self)
            throw CancellationError();
        if (!granted)
            throw TessaroError::message(QStringLiteral("Microphone access is off. Allow Corvana to use the microphone in "
                                                       "your desktop\u2019s privacy settings, or choose meeting audio only."));
    }
    if (m_generation != generation)
        throw CancellationError();

    auto stream = std::make_shared<CaptureStream>();
    m_output = stream;
    try {
        if (source != systemChannel) {
            std::unique_ptr<MicrophoneEngine> engine = m_microphone ? m_microphone->makeEngine() : nullptr;
            const AudioFormat format = engine ? engine->inputFormat() : AudioFormat{};
            if (!(format.sampleRate > 0) || format.channels <= 0)
                throw TessaroError::message(
                    QStringLiteral("No microphone is available. Connect one or choose meeting audio only."));
            auto pipe = std::make_shared<AudioFramePipe>(microphoneChannel, stream);
            m_pipes.append(pipe);
            m_microphoneEngine = std::move(engine);
            m_microphoneEngine->installTap(2'048, format, pipe->microphoneCallback());
            m_microphoneEngine->prepare();
            m_microphoneEngine->start();
            QPointer<LiveAudioCapture> self(this);
            m_configurationObserver = m_microphoneEngine->addConfigurationObserver([self, generation] {
                if (!self || self->m_generation != generation || !self->m_output)
                    return;
                self->m_output->finish(std::make_exception_ptr(TessaroError::message(
                    QStringLiteral("The microphone device changed. Restart listening with the new device."))));
            });
        }
        if (source != microphoneChannel) {
            if (!m_hardware || !m_hardware->supportsProcessTaps())
                throw tapsUnsupported();
            startSystem(processes, stream);
        }
    } catch (...) {
        stop();
        throw;
    }
    co_return stream;
}

void LiveAudioCapture::startSystem(const std::optional<QList<quint32>> &processes,
                                   const std::shared_ptr<CaptureStream> &stream)
{
    auto tap = std::make_unique<SystemAudioTap>(m_hardware, m_ownBundleIdentifier);
    auto pipe = std::make_shared<AudioFramePipe>(systemChannel, stream);
    m_pipes.append(pipe);
    m_system = std::move(tap);
    QPointer<LiveAudioCapture> self(this);
    const QUuid generation = m_generation;
    // The stream is held weakly: a tap left over from an ended capture keeps nothing
    // alive.
    const std::weak_ptr<CaptureStream> weakStream = stream;
    m_system->start(processes, pipe, [self, generation, processes, weakStream] {
        const std::shared_ptr<CaptureStream> stream = weakStream.lock();
        if (self && stream)
            self->outputChanged(generation, processes, stream);
    });
}

void LiveAudioCapture::outputChanged(const QUuid &generation, const std::optional<QList<quint32>> &processes,
                                     const std::shared_ptr<CaptureStream> &stream)
{
    if (m_generation != generation)
        return;
    if (m_systemRestartTask)
        m_systemRestartTask->cancel();
    auto handle = TaskHandle::make();
    m_systemRestartTask = handle;
    [](QPointer<LiveAudioCapture> self, std::shared_ptr<TaskHandle> handle, QUuid generation,
       std::optional<QList<quint32>> processes, std::weak_ptr<CaptureStream> weakStream,
       std::chrono::milliseconds delay) -> QCoro::Task<void> {
        if (!co_await handle->sleep(delay))
            co_return;
        const std::shared_ptr<CaptureStream> stream = weakStream.lock();
        if (!self || self->m_generation != generation || !stream)
            co_return;
        if (self->m_systemRestartTask == handle)
            self->m_systemRestartTask.reset();
        self->rebuildSystem(processes, stream);
    }(QPointer<LiveAudioCapture>(this), handle, generation, processes, std::weak_ptr<CaptureStream>(stream),
      m_timing.restartDelay);
}

void LiveAudioCapture::rebuildSystem(const std::optional<QList<quint32>> &processes,
                                     const std::shared_ptr<CaptureStream> &stream)
{
    const auto current = now();
    m_restartTimes.removeIf([&](std::chrono::steady_clock::time_point at) {
        return current - at >= m_timing.restartWindow;
    });
    if (m_restartTimes.size() >= m_timing.restartsPerWindow) {
        stream->finish(std::make_exception_ptr(TessaroError::message(
            QStringLiteral("The audio output is switching repeatedly. Choose a stable output and start listening "
                           "again."))));
        stop();
        return;
    }
    m_restartTimes.append(current);
    ++m_routeRestarts;
    if (m_system) {
        m_system->stop();
        m_system.reset();
    }
    m_pipes.removeIf([](const std::shared_ptr<AudioFramePipe> &pipe) { return pipe->channel() == systemChannel; });
    try {
        startSystem(processes, stream);
    } catch (...) {
        stream->finish(std::current_exception());
        stop();
    }
}

void LiveAudioCapture::stop()
{
    m_generation = QUuid::createUuid();
    if (m_systemRestartTask) {
        m_systemRestartTask->cancel();
        m_systemRestartTask.reset();
    }
    for (const std::shared_ptr<AudioFramePipe> &pipe : std::as_const(m_pipes))
        pipe->close();
    if (m_microphoneEngine) {
        m_microphoneEngine->removeTap();
        m_microphoneEngine->stop();
    }
    if (m_configurationObserver != 0) {
        if (m_microphoneEngine)
            m_microphoneEngine->removeConfigurationObserver(m_configurationObserver);
        m_configurationObserver = 0;
    }
    m_microphoneEngine.reset();
    if (m_system) {
        m_system->stop();
        m_system.reset();
    }
    m_pipes.clear();
    if (m_output) {
        m_output->finish();
        m_output.reset();
    }
}
