#pragma once

#include "platform/AudioBuffer.h"

#include <functional>

// One microphone capture engine: the default input with a tap on its bus 0. Created,
// started and stopped on the main thread; the tap block runs on the engine's audio
// thread; configuration-change observers run on the main thread.
class MicrophoneEngine {
public:
    using TapBlock = std::function<void(const AudioBuffer &buffer, quint64 sampleTime)>;
    using ObserverToken = int;

    virtual ~MicrophoneEngine() = default;

    // The input's format on bus 0; a rate of 0 or no channels when there is no usable
    // input.
    virtual AudioFormat inputFormat() = 0;
    virtual void installTap(quint32 bufferFrames, const AudioFormat &format, TapBlock block) = 0;
    // When it returns, the tap block is not running and will not run again.
    virtual void removeTap() = 0;
    virtual void prepare() = 0;
    // Throws the platform's own error when the input cannot start.
    virtual void start() = 0;
    virtual void stop() = 0;

    // A change of input device or its loss. Tokens are never 0.
    virtual ObserverToken addConfigurationObserver(std::function<void()> handler) = 0;
    virtual void removeConfigurationObserver(ObserverToken token) = 0;
};
