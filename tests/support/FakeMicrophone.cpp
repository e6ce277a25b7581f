#include "FakeMicrophone.h"

#include <QCoro/QCoroSignal>

QCoro::Task<bool> FakeMicrophone::requestAccess()
{
    ++requests;
    if (answer)
        co_return *answer;
    m_waiting = true;
    const bool granted = co_await qCoro(this, &FakeMicrophone::answered);
    m_waiting = false;
    co_return granted;
}

std::unique_ptr<MicrophoneEngine> FakeMicrophone::makeEngine()
{
    return std::make_unique<FakeMicrophoneEngine>(state);
}
