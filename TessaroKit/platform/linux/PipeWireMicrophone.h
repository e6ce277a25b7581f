#pragma once

#include "PipeWireGraph.h"
#include "platform/Microphone.h"

#include <memory>

// The microphone through PipeWire. There is no permission prompt: access is granted
// whenever PipeWire is reachable. Engines share one connection, made again after it
// failed. Used on the main thread.
class PipeWireMicrophone final : public Microphone {
public:
    static constexpr const char *threadName = "com.tessaro.microphone";

    QCoro::Task<bool> requestAccess() override;
    std::unique_ptr<MicrophoneEngine> makeEngine() override;

private:
    std::shared_ptr<PipeWireGraph> graph();

    std::shared_ptr<PipeWireGraph> m_graph;
};
