#include "PipeWireMicrophoneEngine.h"

#include "protocol/TessaroError.h"

#include <QMetaObject>
#include <QRegularExpression>

namespace {

bool usable(const AudioFormat &format)
{
    return format.sampleRate > 0 && format.channels > 0;
}

// "[ FL FR ]" or "FL,FR" as channel names.
QStringList channelNames(const QString &positions)
{
    QString text = positions;
    text.remove(QLatin1Char('[')).remove(QLatin1Char(']'));
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

[[noreturn]] void cannotStart(const QString &reason)
{
    throw TessaroError::message(QStringLiteral("The microphone could not start: ") + reason + QLatin1Char('.'));
}

} // namespace

PipeWireMicrophoneEngine::PipeWireMicrophoneEngine(std::shared_ptr<PipeWireGraph> graph)
    : m_graph(std::move(graph)), m_context(std::make_unique<QObject>())
{
}

PipeWireMicrophoneEngine::~PipeWireMicrophoneEngine()
{
    stop();
    m_context.reset();
}

std::optional<PipeWireMicrophoneEngine::Source> PipeWireMicrophoneEngine::defaultSource() const
{
    if (!m_graph)
        return std::nullopt;
    PipeWireGraph::Lock lock(*m_graph);
    if (!m_graph->alive())
        return std::nullopt;
    const std::optional<quint32> id = m_graph->defaultSource();
    const PipeWireGraph::Node *node = id ? m_graph->node(*id) : nullptr;
    if (!node)
        return std::nullopt;

    Source source;
    source.id = node->id;
    source.name = node->name();
    // A sink named as the default source is captured through its monitor.
    source.isSink = node->mediaClass().startsWith(QLatin1String("Audio/Sink"));
    source.positions = channelNames(node->properties.value(QStringLiteral("audio.position")));
    bool ok = false;
    int channels = node->properties.value(QStringLiteral("audio.channels")).toInt(&ok);
    if (!ok || channels <= 0)
        channels = int(source.positions.size());
    if (channels <= 0) {
        const QList<PipeWireGraph::Port> ports = m_graph->ports(node->id, true);
        for (const PipeWireGraph::Port &port : ports)
            channels += port.monitor == source.isSink ? 1 : 0;
    }
    if (source.positions.size() != channels)
        source.positions.clear();
    double rate = node->properties.value(QStringLiteral("audio.rate")).toDouble(&ok);
    if (!ok || rate <= 0)
        rate = m_graph->clockRate();
    source.format = AudioFormat{rate, channels, SampleLayout::Float32};
    return source;
}

AudioFormat PipeWireMicrophoneEngine::inputFormat()
{
    const std::optional<Source> source = defaultSource();
    return source ? source->format : AudioFormat{0, 0, SampleLayout::Float32};
}

void PipeWireMicrophoneEngine::installTap(quint32 bufferFrames, const AudioFormat &format, TapBlock block)
{
    m_bufferFrames = bufferFrames;
    m_tapFormat = format;
    std::lock_guard lock(m_tapMutex);
    m_tap = std::move(block);
}

void PipeWireMicrophoneEngine::removeTap()
{
    std::lock_guard lock(m_tapMutex);
    m_tap = nullptr;
}

void PipeWireMicrophoneEngine::prepare() {}

void PipeWireMicrophoneEngine::start()
{
    if (m_capture)
        return;
    if (!m_graph || !m_graph->connected())
        cannotStart(QStringLiteral("PipeWire is not running"));
    const std::optional<Source> source = defaultSource();
    if (!source || !usable(source->format))
        cannotStart(QStringLiteral("no input device is available"));

    PipeWireCaptureStream::Options options;
    options.name = QStringLiteral("Corvana microphone");
    options.format = usable(m_tapFormat) ? m_tapFormat : source->format;
    if (options.format.channels == source->format.channels)
        options.positions = source->positions;
    options.latencyFrames = m_bufferFrames;
    options.target = source->name;
    options.captureSink = source->isSink;
    PipeWireCaptureStream::Block block = [this](const AudioFormat &format, const void *data, qsizetype bytes) {
        const qsizetype frames = bytes / format.bytesPerFrame();
        std::lock_guard lock(m_tapMutex);
        if (m_tap && frames > 0)
            m_tap(AudioBuffer{format, frames, data}, m_sampleTime);
        m_sampleTime += quint64(frames);
    };
    auto capture = std::make_unique<PipeWireCaptureStream>(m_graph, std::move(options), std::move(block));
    QString error;
    if (capture->start(&error) != 0)
        cannotStart(error);
    m_capture = std::move(capture);
    watch(source->id);
}

void PipeWireMicrophoneEngine::stop()
{
    unwatch();
    if (m_capture) {
        m_capture->stop();
        m_capture.reset();
    }
}

void PipeWireMicrophoneEngine::watch(quint32 source)
{
    PipeWireGraph::Lock lock(*m_graph);
    m_watchedSource = source;
    m_watchedDefault = m_graph->defaultSource();
    m_lossReported = false;
    QObject *context = m_context.get();
    m_graphObserver = m_graph->addObserver([this, context] {
        const bool alive = m_graph->alive();
        const std::optional<quint32> current = alive ? m_graph->defaultSource() : std::nullopt;
        bool changed = false;
        if (current != m_watchedDefault) {
            m_watchedDefault = current;
            changed = true;
        }
        if (!m_lossReported && (!alive || !m_graph->node(m_watchedSource))) {
            m_lossReported = true;
            changed = true;
        }
        if (changed)
            QMetaObject::invokeMethod(context, [this] { configurationChanged(); }, Qt::QueuedConnection);
    });
}

void PipeWireMicrophoneEngine::unwatch()
{
    if (!m_graph || !m_graphObserver)
        return;
    PipeWireGraph::Lock lock(*m_graph);
    m_graph->removeObserver(m_graphObserver);
    m_graphObserver = 0;
}

void PipeWireMicrophoneEngine::configurationChanged()
{
    const QList<ObserverToken> tokens = m_observers.keys();
    for (ObserverToken token : tokens) {
        const auto observer = m_observers.constFind(token);
        if (observer == m_observers.cend())
            continue;
        const std::function<void()> handler = *observer;
        handler();
    }
}

MicrophoneEngine::ObserverToken PipeWireMicrophoneEngine::addConfigurationObserver(std::function<void()> handler)
{
    const ObserverToken token = m_nextObserver++;
    m_observers.insert(token, std::move(handler));
    return token;
}

void PipeWireMicrophoneEngine::removeConfigurationObserver(ObserverToken token)
{
    m_observers.remove(token);
}
