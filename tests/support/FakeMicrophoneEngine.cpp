#include "FakeMicrophoneEngine.h"

#include <stdexcept>

bool FakeMicrophoneEngine::State::feed(const AudioBuffer &buffer)
{
    std::lock_guard lock(tapMutex);
    if (!tap)
        return false;
    tap(buffer, 0);
    return true;
}

void FakeMicrophoneEngine::State::changeConfiguration()
{
    const auto handlers = observers;
    for (const auto &handler : handlers)
        handler();
}

FakeMicrophoneEngine::FakeMicrophoneEngine(std::shared_ptr<State> state) : m_state(std::move(state))
{
    ++m_state->engines;
    ++m_state->liveEngines;
}

FakeMicrophoneEngine::~FakeMicrophoneEngine()
{
    --m_state->liveEngines;
}

void FakeMicrophoneEngine::installTap(quint32 bufferFrames, const AudioFormat &, TapBlock block)
{
    m_state->tapBufferFrames = bufferFrames;
    m_state->tapInstalled = true;
    std::lock_guard lock(m_state->tapMutex);
    m_state->tap = std::move(block);
}

void FakeMicrophoneEngine::removeTap()
{
    m_state->tapInstalled = false;
    std::lock_guard lock(m_state->tapMutex);
    m_state->tap = nullptr;
}

void FakeMicrophoneEngine::prepare() {}

void FakeMicrophoneEngine::start()
{
    if (m_state->startFailure)
        throw std::runtime_error(m_state->startFailure->toStdString());
    m_state->running = true;
}

void FakeMicrophoneEngine::stop()
{
    m_state->running = false;
}

MicrophoneEngine::ObserverToken FakeMicrophoneEngine::addConfigurationObserver(std::function<void()> handler)
{
    const ObserverToken token = m_state->nextToken++;
    m_state->observers.insert(token, std::move(handler));
    return token;
}

void FakeMicrophoneEngine::removeConfigurationObserver(ObserverToken token)
{
    m_state->observers.remove(token);
}
