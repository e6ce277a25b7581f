#pragma once

#include "PipeWireCaptureStream.h"
#include "PipeWireGraph.h"
#include "platform/MicrophoneEngine.h"

#include <QMap>
#include <QObject>
#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>

// MicrophoneEngine over PipeWire: a capture stream from the default source (the
// "default.audio.source" of the "default" metadata), delivering 32-bit float
// interleaved buffers to the tap on the connection's data thread. A change of the
// default source, or the loss of the source it captures, is its configuration change;
// observers hear of it on the main thread (the thread that created the engine).
class PipeWireMicrophoneEngine final : public MicrophoneEngine {
public:
    // `graph` may be null or disconnected: the engine then has no usable input.
    explicit PipeWireMicrophoneEngine(std::shared_ptr<PipeWireGraph> graph);
    ~PipeWireMicrophoneEngine() override;
    PipeWireMicrophoneEngine(const PipeWireMicrophoneEngine &) = delete;
    PipeWireMicrophoneEngine &operator=(const PipeWireMicrophoneEngine &) = delete;

    AudioFormat inputFormat() override;
    void installTap(quint32 bufferFrames, const AudioFormat &format, TapBlock block) override;
    void removeTap() override;
    void prepare() override;
    // Throws TessaroError when PipeWire, the source or the stream is not there.
    void start() override;
    void stop() override;
    ObserverToken addConfigurationObserver(std::function<void()> handler) override;
    void removeConfigurationObserver(ObserverToken token) override;

private:
    struct Source {
        quint32 id = 0;
        QString name;
        bool isSink = false;
        AudioFormat format;
        QStringList positions;
    };

    std::optional<Source> defaultSource() const;
    void watch(quint32 source);
    void unwatch();
    void configurationChanged();

    std::shared_ptr<PipeWireGraph> m_graph;
    quint32 m_bufferFrames = 0;
    AudioFormat m_tapFormat;
    std::unique_ptr<PipeWireCaptureStream> m_capture;

    // The tap, held by the data thread while it runs.
    std::mutex m_tapMutex;
    TapBlock m_tap;
    quint64 m_sampleTime = 0;

    // Loop-thread state, under the graph's lock.
    int m_graphObserver = 0;
    quint32 m_watchedSource = 0;
    std::optional<quint32> m_watchedDefault;
    bool m_lossReported = false;

    QMap<ObserverToken, std::function<void()>> m_observers;
    ObserverToken m_nextObserver = 1;
    // Receives what the loop thread hands to the main thread; goes first.
    std::unique_ptr<QObject> m_context;
};
