#pragma once

#include "platform/MicrophoneEngine.h"

#include <QMap>

#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

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
        bool feed(const AudioBuffer &buffer)
        {
            std::lock_guard lock(tapMutex);
            if (tap)
                tap(buffer, 0);
            return bool(tap);
        }
        void changeConfiguration()
        {
            for (const auto &handler : QMap(observers))
                handler();
        }
    };

    explicit FakeMicrophoneEngine(std::shared_ptr<State> state) : m_state(std::move(state))
    {
        ++m_state->engines;
        ++m_state->liveEngines;
    }
    ~FakeMicrophoneEngine() override { --m_state->liveEngines; }

    AudioFormat inputFormat() override { return m_state->format; }
    void installTap(quint32 bufferFrames, const AudioFormat &, TapBlock block) override
    {
        m_state->tapBufferFrames = bufferFrames;
        m_state->tapInstalled = true;
        std::lock_guard lock(m_state->tapMutex);
        m_state->tap = std::move(block);
    }
    void removeTap() override
    {
        m_state->tapInstalled = false;
        std::lock_guard lock(m_state->tapMutex);
        m_state->tap = nullptr;
    }
    void prepare() override {}
    void start() override
    {
        if (m_state->startFailure)
            throw std::runtime_error(m_state->startFailure->toStdString());
        m_state->running = true;
    }
    void stop() override { m_state->running = false; }
    ObserverToken addConfigurationObserver(std::function<void()> handler) override
    {
        m_state->observers.insert(m_state->nextToken, std::move(handler));
        return m_state->nextToken++;
    }
    void removeConfigurationObserver(ObserverToken token) override { m_state->observers.remove(token); }

private:
    std::shared_ptr<State> m_state;
};
