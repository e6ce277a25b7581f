#include "PipeWireMicrophone.h"

#include "PipeWireMicrophoneEngine.h"

std::shared_ptr<PipeWireGraph> PipeWireMicrophone::graph()
{
    if (m_graph && m_graph->connected())
        return m_graph;
    m_graph = std::make_shared<PipeWireGraph>(QString::fromLatin1(threadName));
    if (!m_graph->connected())
        m_graph.reset();
    return m_graph;
}

QCoro::Task<bool> PipeWireMicrophone::requestAccess()
{
    co_return graph() != nullptr;
}

std::unique_ptr<MicrophoneEngine> PipeWireMicrophone::makeEngine()
{
    return std::make_unique<PipeWireMicrophoneEngine>(graph());
}
