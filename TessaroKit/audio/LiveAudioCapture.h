#pragma once

#include "audio/AudioCapture.h"
#include "audio/AudioFramePipe.h"
#include "audio/CaptureStream.h"
#include "audio/LiveAudioCaptureTiming.h"
#include "audio/SystemAudioTap.h"
#include "platform/AudioHardware.h"
#include "platform/Microphone.h"

#include <QObject>
#include <QUuid>

#include <memory>
#include <optional>

class TaskHandle;

// Starts and stops listening: meeting audio through a system tap, the microphone, or
// both, each through its own pipe into one shared capture stream. The system tap is
// rebuilt after default-output changes (200 ms after the last of a burst, at most three
// times in five seconds). Every operation runs on the main thread; each start and stop
// replaces the capture generation, so work left over from an earlier capture does
// nothing.
class LiveAudioCapture final : public QObject, public AudioCapture {
    Q_OBJECT

public:
    LiveAudioCapture(std::shared_ptr<AudioHardware> hardware, std::shared_ptr<Microphone> microphone,
                     QString ownBundleIdentifier, LiveAudioCaptureTiming timing = {}, QObject *parent = nullptr);
    ~LiveAudioCapture() override;

    // Throws "Direct meeting audio needs PipeWire, which is not running." where taps are not
    // supported, otherwise the tap's own errors.
    QList<AudioSource> sources() override;
    // The audio process object of an operating-system process. Throws "The audio source
    // has not opened its output yet." when it has none (yet).
    quint32 processObject(qint32 pid);

    // "system", "microphone" or "both"; processes as for SystemAudioTap::start. Throws
    // TessaroError, the microphone engine's own error, or CancellationError when a stop
    // or a newer start ran while waiting for microphone permission.
    QCoro::Task<std::shared_ptr<CapturedAudioStream>> start(QString source,
                                                            std::optional<QList<quint32>> processes) override;
    void stop() override;

    int routeRestarts() const { return m_routeRestarts; }
    QUuid generation() const { return m_generation; }
    const QList<std::shared_ptr<AudioFramePipe>> &pipes() const { return m_pipes; }
    bool capturing() const { return m_output != nullptr; }

private:
    void startSystem(const std::optional<QList<quint32>> &processes, const std::shared_ptr<CaptureStream> &stream);
    void outputChanged(const QUuid &generation, const std::optional<QList<quint32>> &processes,
                       const std::shared_ptr<CaptureStream> &stream);
    void rebuildSystem(const std::optional<QList<quint32>> &processes, const std::shared_ptr<CaptureStream> &stream);
    std::chrono::steady_clock::time_point now() const;

    std::shared_ptr<AudioHardware> m_hardware;
    std::shared_ptr<Microphone> m_microphone;
    QString m_ownBundleIdentifier;
    LiveAudioCaptureTiming m_timing;

    std::unique_ptr<SystemAudioTap> m_system;
    std::unique_ptr<MicrophoneEngine> m_microphoneEngine;
    QList<std::shared_ptr<AudioFramePipe>> m_pipes;
    std::shared_ptr<CaptureStream> m_output;
    MicrophoneEngine::ObserverToken m_configurationObserver = 0;
    QUuid m_generation = QUuid::createUuid();
    std::shared_ptr<TaskHandle> m_systemRestartTask;
    QList<std::chrono::steady_clock::time_point> m_restartTimes;
    int m_routeRestarts = 0;
};
