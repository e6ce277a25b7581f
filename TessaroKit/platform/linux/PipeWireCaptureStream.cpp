#include "PipeWireCaptureStream.h"

#include <pipewire/pipewire.h>
#include <spa/debug/types.h>
#include <spa/param/audio/format-utils.h>
#include <spa/param/audio/type-info.h>
#include <spa/pod/builder.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Channel positions for the format: the given names when they fit the count, else
// mono, front stereo, or auxiliary channels.
void fillPositions(spa_audio_info_raw &info, const QStringList &names)
{
    const uint32_t channels = std::min<uint32_t>(info.channels, SPA_AUDIO_MAX_CHANNELS);
    if (names.size() == qsizetype(channels)) {
        bool known = true;
        for (uint32_t i = 0; i < channels && known; ++i) {
            const QByteArray name = names.at(i).toUtf8();
            const spa_type_info *type = spa_debug_type_find_short(spa_type_audio_channel, name.constData());
            if (type)
                info.position[i] = type->type;
            else
                known = false;
        }
        if (known)
            return;
    }
    if (channels == 1) {
        info.position[0] = SPA_AUDIO_CHANNEL_MONO;
    } else if (channels == 2) {
        info.position[0] = SPA_AUDIO_CHANNEL_FL;
        info.position[1] = SPA_AUDIO_CHANNEL_FR;
    } else {
        for (uint32_t i = 0; i < channels; ++i)
            info.position[i] = SPA_AUDIO_CHANNEL_AUX0 + i;
    }
}

std::optional<SampleLayout> layoutOf(uint32_t format)
{
    switch (format) {
    case SPA_AUDIO_FORMAT_F32:
        return SampleLayout::Float32;
    case SPA_AUDIO_FORMAT_F64:
        return SampleLayout::Float64;
    case SPA_AUDIO_FORMAT_S16:
        return SampleLayout::Int16;
    case SPA_AUDIO_FORMAT_S32:
        return SampleLayout::Int32;
    default:
        return std::nullopt;
    }
}

} // namespace

struct PipeWireCaptureStream::Hooks {
    spa_hook stream{};
};

struct PipeWireCaptureStreamEvents {
    static void stateChanged(void *data, pw_stream_state, pw_stream_state state, const char *error)
    {
        static_cast<PipeWireCaptureStream *>(data)->stateChanged(state, error);
    }
    static void paramChanged(void *data, uint32_t id, const spa_pod *param)
    {
        if (id == SPA_PARAM_Format && param)
            static_cast<PipeWireCaptureStream *>(data)->formatNegotiated(param);
    }
    static void process(void *data)
    {
        static_cast<PipeWireCaptureStream *>(data)->process();
    }
    static const pw_stream_events &events()
    {
        static const pw_stream_events events = [] {
            pw_stream_events e{};
            e.version = PW_VERSION_STREAM_EVENTS;
            e.state_changed = stateChanged;
            e.param_changed = paramChanged;
            e.process = process;
            return e;
        }();
        return events;
    }
};

PipeWireCaptureStream::PipeWireCaptureStream(std::shared_ptr<PipeWireGraph> graph, Options options, Block block,
                                             FormatChanged formatChanged)
    : m_graph(std::move(graph)), m_options(std::move(options)), m_block(std::move(block)),
      m_formatChanged(std::move(formatChanged)), m_hooks(std::make_unique<Hooks>())
{
    m_format = AudioFormat{m_options.format.sampleRate, m_options.format.channels, SampleLayout::Float32};
}

PipeWireCaptureStream::~PipeWireCaptureStream()
{
    stop();
}

int PipeWireCaptureStream::start(QString *error)
{
    const auto fail = [error](int status, const QString &text) {
        if (error)
            *error = text;
        return status;
    };
    if (!m_graph)
        return fail(-ENOTCONN, QStringLiteral("PipeWire is not reachable"));
    const quint32 rate = quint32(m_format.sampleRate);
    const int channels = m_format.channels;
    if (rate == 0 || channels <= 0 || channels > SPA_AUDIO_MAX_CHANNELS)
        return fail(-EINVAL, QStringLiteral("unusable capture format"));

    PipeWireGraph::Lock lock(*m_graph);
    if (m_stream)
        return 0;
    if (!m_graph->alive())
        return fail(-ENOTCONN, QStringLiteral("PipeWire is not reachable"));

    const QByteArray name = m_options.name.toUtf8();
    pw_properties *props = pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture",
                                             PW_KEY_NODE_NAME, name.constData(), PW_KEY_MEDIA_NAME, name.constData(),
                                             nullptr);
    if (m_options.latencyFrames > 0)
        pw_properties_setf(props, PW_KEY_NODE_LATENCY, "%u/%u", m_options.latencyFrames, rate);
    const bool follow = m_options.target.has_value();
    if (follow) {
        const QByteArray target = m_options.target->toUtf8();
        pw_properties_set(props, PW_KEY_TARGET_OBJECT, target.constData());
        if (m_options.captureSink)
            pw_properties_set(props, PW_KEY_STREAM_CAPTURE_SINK, "true");
    } else {
        pw_properties_set(props, PW_KEY_NODE_AUTOCONNECT, "false");
    }

    m_stream = pw_stream_new(m_graph->core(), name.constData(), props);
    if (!m_stream)
        return fail(-errno, QStringLiteral("no stream: ") + QString::fromUtf8(std::strerror(errno)));
    pw_stream_add_listener(m_stream, &m_hooks->stream, &PipeWireCaptureStreamEvents::events(), this);

    uint8_t buffer[1024];
    spa_pod_builder builder{};
    spa_pod_builder_init(&builder, buffer, sizeof buffer);
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.rate = rate;
    info.channels = uint32_t(channels);
    fillPositions(info, m_options.positions);
    const spa_pod *params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};

    {
        std::lock_guard guard(m_blockMutex);
        m_delivering = true;
    }
    m_state = PW_STREAM_STATE_CONNECTING;
    const auto flags = pw_stream_flags(PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS
                                       | (follow ? PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_DONT_RECONNECT : 0));
    const int connected = pw_stream_connect(m_stream, PW_DIRECTION_INPUT, PW_ID_ANY, flags, params, 1);
    if (connected < 0) {
        const QString text = QStringLiteral("the stream did not connect: ") + QString::fromUtf8(std::strerror(-connected));
        stop();
        return fail(connected, text);
    }

    timespec deadline{};
    pw_thread_loop_get_time(m_graph->loop(), &deadline, 5 * SPA_NSEC_PER_SEC);
    while (m_state == PW_STREAM_STATE_CONNECTING && m_graph->alive()) {
        if (pw_thread_loop_timed_wait_full(m_graph->loop(), &deadline) != 0)
            break;
    }
    if (m_state != PW_STREAM_STATE_PAUSED && m_state != PW_STREAM_STATE_STREAMING) {
        const int status = m_state == PW_STREAM_STATE_CONNECTING ? -ETIMEDOUT : -EIO;
        const QString text = m_stateError.isEmpty() ? QStringLiteral("the stream was not accepted") : m_stateError;
        stop();
        return fail(status, text);
    }
    if (!follow) {
        m_observer = m_graph->addObserver([this] { link(); });
        link();
    }
    return 0;
}

void PipeWireCaptureStream::stop()
{
    {
        std::lock_guard guard(m_blockMutex);
        m_delivering = false;
    }
    if (!m_graph)
        return;
    PipeWireGraph::Lock lock(*m_graph);
    if (m_observer) {
        m_graph->removeObserver(m_observer);
        m_observer = 0;
    }
    destroyLinks();
    if (m_stream) {
        spa_hook_remove(&m_hooks->stream);
        pw_stream_destroy(m_stream);
        m_stream = nullptr;
    }
    m_state = PW_STREAM_STATE_UNCONNECTED;
}

AudioFormat PipeWireCaptureStream::format() const
{
    std::lock_guard guard(m_blockMutex);
    return m_format;
}

void PipeWireCaptureStream::stateChanged(int state, const char *error)
{
    m_state = state;
    if (error)
        m_stateError = QString::fromUtf8(error);
    pw_thread_loop_signal(m_graph->loop(), false);
    if (m_observer && (state == PW_STREAM_STATE_PAUSED || state == PW_STREAM_STATE_STREAMING))
        link();
}

void PipeWireCaptureStream::formatNegotiated(const spa_pod *param)
{
    uint32_t mediaType = 0;
    uint32_t mediaSubtype = 0;
    if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_audio
        || mediaSubtype != SPA_MEDIA_SUBTYPE_raw)
        return;
    spa_audio_info_raw info{};
    if (spa_format_audio_raw_parse(param, &info) < 0)
        return;
    const std::optional<SampleLayout> layout = layoutOf(info.format);
    // Anything but an interleaved layout we know is not delivered.
    const AudioFormat negotiated = layout ? AudioFormat{double(info.rate), int(info.channels), *layout} : AudioFormat{};
    bool changed = false;
    {
        std::lock_guard guard(m_blockMutex);
        changed = !(negotiated == m_format);
        m_format = negotiated;
    }
    if (changed && m_formatChanged)
        m_formatChanged(negotiated);
}

void PipeWireCaptureStream::process()
{
    thread_local bool named = false;
    if (!named) {
        m_graph->nameCurrentThread();
        named = true;
    }
    pw_buffer *buffer = pw_stream_dequeue_buffer(m_stream);
    if (!buffer)
        return;
    const spa_buffer *samples = buffer->buffer;
    if (samples && samples->n_datas > 0) {
        const spa_data &data = samples->datas[0];
        if (data.data && data.chunk) {
            const uint32_t offset = std::min(data.chunk->offset, data.maxsize);
            const uint32_t size = std::min(data.chunk->size, data.maxsize - offset);
            std::lock_guard guard(m_blockMutex);
            if (m_delivering && size > 0 && m_format.bytesPerFrame() > 0 && m_block)
                m_block(m_format, static_cast<const uint8_t *>(data.data) + offset, qsizetype(size));
        }
    }
    pw_stream_queue_buffer(m_stream, buffer);
}

void PipeWireCaptureStream::link()
{
    if (!m_stream)
        return;
    const uint32_t self = pw_stream_get_node_id(m_stream);
    if (self == SPA_ID_INVALID)
        return;
    const QList<PipeWireGraph::Port> inputs = m_graph->ports(self, false);

    // Links whose ports are gone are dead; their ids may come back for other ports.
    for (auto link = m_links.begin(); link != m_links.end();) {
        const bool outputAlive = std::any_of(m_options.sources.cbegin(), m_options.sources.cend(), [&](quint32 node) {
            const QList<PipeWireGraph::Port> outputs = m_graph->ports(node, true);
            return std::any_of(outputs.cbegin(), outputs.cend(),
                               [&](const PipeWireGraph::Port &port) { return port.id == link.key().first; });
        });
        const bool inputAlive = std::any_of(inputs.cbegin(), inputs.cend(), [&](const PipeWireGraph::Port &port) {
            return port.id == link.key().second;
        });
        if (outputAlive && inputAlive) {
            ++link;
        } else {
            pw_proxy_destroy(link.value());
            link = m_links.erase(link);
        }
    }
    if (inputs.isEmpty())
        return;

    for (quint32 source : std::as_const(m_options.sources)) {
        QList<PipeWireGraph::Port> outputs = m_graph->ports(source, true);
        // Prefer real outputs; a sink has only its monitor ports.
        const bool anyOutput = std::any_of(outputs.cbegin(), outputs.cend(),
                                           [](const PipeWireGraph::Port &port) { return !port.monitor; });
        outputs.removeIf([anyOutput](const PipeWireGraph::Port &port) { return port.monitor == anyOutput; });
        if (outputs.isEmpty())
            continue;
        for (qsizetype i = 0; i < inputs.size(); ++i) {
            const PipeWireGraph::Port &input = inputs.at(i);
            QList<PipeWireGraph::Port> matches;
            for (const PipeWireGraph::Port &output : std::as_const(outputs))
                if (!input.channel.isEmpty() && output.channel == input.channel)
                    matches.append(output);
            if (matches.isEmpty())
                matches.append(outputs.at(i % outputs.size()));
            for (const PipeWireGraph::Port &output : std::as_const(matches)) {
                const QPair<quint32, quint32> key(output.id, input.id);
                if (m_links.contains(key))
                    continue;
                pw_properties *props = pw_properties_new(nullptr, nullptr);
                pw_properties_setf(props, PW_KEY_LINK_OUTPUT_NODE, "%u", source);
                pw_properties_setf(props, PW_KEY_LINK_OUTPUT_PORT, "%u", output.id);
                pw_properties_setf(props, PW_KEY_LINK_INPUT_NODE, "%u", self);
                pw_properties_setf(props, PW_KEY_LINK_INPUT_PORT, "%u", input.id);
                pw_properties_set(props, PW_KEY_OBJECT_LINGER, "false");
                auto *proxy = static_cast<pw_proxy *>(pw_core_create_object(
                    m_graph->core(), "link-factory", PW_TYPE_INTERFACE_Link, PW_VERSION_LINK, &props->dict, 0));
                pw_properties_free(props);
                if (proxy)
                    m_links.insert(key, proxy);
            }
        }
    }
}

void PipeWireCaptureStream::destroyLinks()
{
    for (pw_proxy *proxy : std::as_const(m_links))
        pw_proxy_destroy(proxy);
    m_links.clear();
}
