#pragma once

#include "platform/MicrophoneEngine.h"

#include <QCoro/QCoroTask>

#include <memory>

// The system's microphone: the user's permission and new capture engines.
class Microphone {
public:
    virtual ~Microphone() = default;

    // Asks for permission to record (prompting where the system does); true when
    // granted. Awaited on the main thread.
    virtual QCoro::Task<bool> requestAccess() = 0;
    virtual std::unique_ptr<MicrophoneEngine> makeEngine() = 0;
};
