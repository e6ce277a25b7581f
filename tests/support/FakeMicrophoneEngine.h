#pragma once

#include "platform/MicrophoneEngine.h"

#include <QMap>

#include <memory>
#include <mutex>
#include <optional>

// MicrophoneEngine in memory: tests choose the input format and a start failure, feed
// the tap and fire the configuration change. Its state outlives the engine (the
// controller destroys engines on stop), so tests keep the shared State.
class FakeMicrophoneEngine : public MicrophoneEngine {
public:
    struct State {
        AudioFormat format{48'000, 1, SampleLayout::Float32};
        std::optional<QString> startFailure;
        bool tapInstalled = false;
        bool running = false;
        quint32 tapBufferFrames = 0;
        std::mutex tapMutex;
        TapBlock tap;
        QMap<ObserverToken, std::function<void()>> observers;
        ObserverToken nextToken = 1;
        int engines = 0;
        int liveEngines = 0;

        // Runs the installed tap with a buffer; false when no tap is installed.
        bool feed(const AudioBuffer &buffer);
        void changeConfiguration();
    };

    explicit FakeMicrophoneEngine(std::shared_ptr<State> state);
    ~FakeMicrophoneEngine() override;

    AudioFormat inputFormat() override { return m_state->format; }
    void installTap(quint32 bufferFrames, const AudioFormat &format, TapBlock block) override;
    void removeTap() override;
    void prepare() override;
    void start() override;
    void stop() override;
    ObserverToken addConfigurationObserver(std::function<void()> handler) override;
    void removeConfigurationObserver(ObserverToken token) override;

private:
    std::shared_ptr<State> m_state;
};
