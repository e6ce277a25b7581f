#include "PipeWireAudioHardware.h"

#include <QMetaObject>

#include <algorithm>
#include <cerrno>

namespace {

const QString outputStreamClass = QStringLiteral("Stream/Output/Audio");

bool isOutputStream(const PipeWireGraph::Node *node)
{
    return node && node->mediaClass() == outputStreamClass;
}

// The application's identifier as stable as it gets: the sandbox's app id, the id the
// application gave itself, its desktop entry, and at last its binary.
QString applicationIdentifier(const PipeWireGraph &graph, const PipeWireGraph::Node &node)
{
    for (const char *key : {"pipewire.access.portal.app_id", "application.id"}) {
        const QString value = graph.nodeOrClientProperty(node, QString::fromLatin1(key));
        if (!value.isEmpty())
            return value;
    }
    for (const char *key : {"application.desktop", "application.desktop-entry"}) {
        QString value = graph.nodeOrClientProperty(node, QString::fromLatin1(key));
        if (value.endsWith(QLatin1String(".desktop")))
            value.chop(8);
        if (!value.isEmpty())
            return value;
    }
    return graph.nodeOrClientProperty(node, QStringLiteral("application.process.binary"));
}

std::optional<qint32> processID(const PipeWireGraph &graph, const PipeWireGraph::Node &node)
{
    bool ok = false;
    const qint32 pid = graph.nodeOrClientProperty(node, QStringLiteral("application.process.id")).toInt(&ok);
    if (ok)
        return pid;
    const QString client = node.properties.value(QStringLiteral("client.id"));
    if (const PipeWireGraph::Client *owner = graph.client(client.toUInt(&ok)); ok && owner) {
        const qint32 socketPid = owner->properties.value(QStringLiteral("pipewire.sec.pid")).toInt(&ok);
        if (ok)
            return socketPid;
    }
    return std::nullopt;
}

bool usable(const AudioFormat &format)
{
    return format.sampleRate > 0 && format.channels > 0 && format.bytesPerSample() > 0;
}

} // namespace

PipeWireAudioHardware::PipeWireAudioHardware() : m_context(std::make_unique<QObject>())
{
    graph();
}

PipeWireAudioHardware::~PipeWireAudioHardware()
{
    for (Proc &proc : m_procs)
        stopProc(proc);
    m_procs.clear();
    unwatch();
    m_context.reset();
    m_graph.reset();
}

std::shared_ptr<PipeWireGraph> PipeWireAudioHardware::graph() const
{
    if (m_graph && m_graph->connected())
        return m_graph;
    unwatch();
    m_graph.reset();
    auto fresh = std::make_shared<PipeWireGraph>(QString::fromLatin1(threadName));
    if (!fresh->connected())
        return nullptr;
    m_graph = fresh;
    watch(fresh);
    return m_graph;
}

void PipeWireAudioHardware::watch(const std::shared_ptr<PipeWireGraph> &graph) const
{
    PipeWireGraph::Lock lock(*graph);
    m_lastDefaultSink = graph->defaultSink();
    PipeWireGraph *watched = graph.get();
    QObject *context = m_context.get();
    auto *self = const_cast<PipeWireAudioHardware *>(this);
    m_graphObserver = graph->addObserver([self, watched, context] {
        const std::optional<quint32> sink = watched->alive() ? watched->defaultSink() : std::nullopt;
        if (sink == self->m_lastDefaultSink)
            return;
        self->m_lastDefaultSink = sink;
        QMetaObject::invokeMethod(
            context, [self] { self->fire(Property::DefaultOutputDevice, systemObject); }, Qt::QueuedConnection);
    });
}

void PipeWireAudioHardware::unwatch() const
{
    if (!m_graph || !m_graphObserver)
        return;
    PipeWireGraph::Lock lock(*m_graph);
    m_graph->removeObserver(m_graphObserver);
    m_graphObserver = 0;
}

bool PipeWireAudioHardware::supportsProcessTaps() const
{
    return graph() != nullptr;
}

AudioHardware::Status PipeWireAudioHardware::processObjects(QList<ObjectID> &processes)
{
    const std::shared_ptr<PipeWireGraph> live = graph();
    if (!live)
        return -ENOTCONN;
    PipeWireGraph::Lock lock(*live);
    processes.clear();
    for (const auto &[id, node] : live->nodes())
        if (isOutputStream(&node))
            processes.append(id);
    return 0;
}

AudioHardware::Status PipeWireAudioHardware::bundleIdentifier(ObjectID process, QString &identifier)
{
    const std::shared_ptr<PipeWireGraph> live = graph();
    if (!live)
        return -ENOTCONN;
    PipeWireGraph::Lock lock(*live);
    const PipeWireGraph::Node *node = live->node(process);
    if (!isOutputStream(node))
        return -ENOENT;
    identifier = applicationIdentifier(*live, *node);
    return 0;
}

AudioHardware::Status PipeWireAudioHardware::processObjectForPID(qint32 pid, ObjectID &process)
{
    const std::shared_ptr<PipeWireGraph> live = graph();
    if (!live)
        return -ENOTCONN;
    PipeWireGraph::Lock lock(*live);
    process = 0;
    for (const auto &[id, node] : live->nodes()) {
        if (isOutputStream(&node) && processID(*live, node) == pid) {
            process = id;
            break;
        }
    }
    return 0;
}

AudioHardware::Status PipeWireAudioHardware::defaultOutputDevices(QList<ObjectID> &devices)
{
    const std::shared_ptr<PipeWireGraph> live = graph();
    if (!live)
        return -ENOTCONN;
    PipeWireGraph::Lock lock(*live);
    devices.clear();
    if (const std::optional<quint32> sink = live->defaultSink())
        devices.append(*sink);
    return 0;
}

AudioHardware::Status PipeWireAudioHardware::createProcessTap(const TapDescription &description, ObjectID &tap)
{
    const std::shared_ptr<PipeWireGraph> live = graph();
    if (!live)
        return -ENOTCONN;
    AudioFormat format;
    {
        PipeWireGraph::Lock lock(*live);
        if (description.kind == TapDescription::Kind::MixdownOf) {
            if (description.processes.isEmpty())
                return -EINVAL;
            const bool anyPlaying = std::any_of(description.processes.cbegin(), description.processes.cend(),
                                                [&](ObjectID process) { return isOutputStream(live->node(process)); });
            if (!anyPlaying)
                return -ENOENT;
        }
        format = AudioFormat{double(live->clockRate()), 2, SampleLayout::Float32};
    }
    tap = m_nextObject++;
    m_taps.insert(tap, Tap{description, format});
    return 0;
}

AudioHardware::Status PipeWireAudioHardware::destroyProcessTap(ObjectID tap)
{
    return m_taps.remove(tap) ? 0 : -ENOENT;
}

AudioHardware::Status PipeWireAudioHardware::tapFormat(ObjectID tap, std::optional<AudioFormat> &format)
{
    const auto found = m_taps.constFind(tap);
    if (found == m_taps.cend())
        return -ENOENT;
    format = usable(found->format) ? std::optional<AudioFormat>(found->format) : std::nullopt;
    return 0;
}

AudioHardware::Status PipeWireAudioHardware::createAggregateDevice(const AggregateDeviceDescription &description,
                                                                   ObjectID &device)
{
    if (description.taps.isEmpty())
        return -EINVAL;
    QList<ObjectID> taps;
    for (const AggregateTap &wanted : description.taps) {
        const QUuid uuid = QUuid::fromString(wanted.uid);
        ObjectID found = 0;
        for (auto tap = m_taps.cbegin(); tap != m_taps.cend() && !found; ++tap)
            if (!uuid.isNull() && tap->description.uuid == uuid)
                found = tap.key();
        if (!found)
            return -ENOENT;
        taps.append(found);
    }
    device = m_nextObject++;
    m_devices.insert(device, Device{description, taps});
    return 0;
}

AudioHardware::Status PipeWireAudioHardware::destroyAggregateDevice(ObjectID device)
{
    if (!m_devices.contains(device))
        return -ENOENT;
    for (auto proc = m_procs.begin(); proc != m_procs.end();) {
        if (proc->device == device) {
            stopProc(*proc);
            proc = m_procs.erase(proc);
        } else {
            ++proc;
        }
    }
    m_devices.remove(device);
    return 0;
}

AudioHardware::Status PipeWireAudioHardware::createIOProc(ObjectID device, IOCallback callback, IOProcID &proc)
{
    if (!m_devices.contains(device))
        return -ENOENT;
    if (!callback)
        return -EINVAL;
    proc = m_nextProc++;
    Proc record;
    record.device = device;
    record.callback = std::make_shared<IOCallback>(std::move(callback));
    m_procs.insert(proc, std::move(record));
    return 0;
}

AudioHardware::Status PipeWireAudioHardware::startDevice(ObjectID device, IOProcID procID)
{
    const auto proc = m_procs.find(procID);
    if (proc == m_procs.end() || !m_devices.contains(device))
        return -ENOENT;
    if (proc->device != device)
        return -EINVAL;
    if (proc->capture)
        return 0;
    const std::shared_ptr<PipeWireGraph> live = graph();
    if (!live)
        return -ENOTCONN;

    const Device &record = m_devices[device];
    QList<quint32> sources;
    AudioFormat format;
    {
        PipeWireGraph::Lock lock(*live);
        for (ObjectID tapID : record.taps) {
            const auto tap = m_taps.constFind(tapID);
            if (tap == m_taps.cend())
                return -ENOENT;
            if (!format.channels)
                format = tap->format;
            if (tap->description.kind == TapDescription::Kind::GlobalExcluding) {
                // Everything that plays reaches the default sink; its monitor is the mix.
                const std::optional<quint32> sink = live->defaultSink();
                if (!sink)
                    return -ENODEV;
                if (!sources.contains(*sink))
                    sources.append(*sink);
            } else {
                for (ObjectID process : tap->description.processes)
                    if (isOutputStream(live->node(process)) && !sources.contains(process))
                        sources.append(process);
            }
        }
    }
    if (sources.isEmpty())
        return -ENOENT;
    if (!usable(format))
        return -EINVAL;

    PipeWireCaptureStream::Options options;
    options.name = record.description.name.isEmpty() ? QStringLiteral("Corvana capture") : record.description.name;
    options.format = format;
    options.sources = sources;
    const std::shared_ptr<IOCallback> callback = proc->callback;
    PipeWireCaptureStream::Block block = [callback](const AudioFormat &, const void *data, qsizetype bytes) {
        (*callback)(data, bytes);
    };
    QObject *context = m_context.get();
    PipeWireCaptureStream::FormatChanged formatChanged = [this, context, procID](const AudioFormat &negotiated) {
        QMetaObject::invokeMethod(
            context, [this, procID, negotiated] { formatNegotiated(procID, negotiated); }, Qt::QueuedConnection);
    };
    auto capture = std::make_shared<PipeWireCaptureStream>(live, std::move(options), std::move(block),
                                                           std::move(formatChanged));
    if (const int status = capture->start())
        return status;
    proc->capture = std::move(capture);
    return 0;
}

AudioHardware::Status PipeWireAudioHardware::stopDevice(ObjectID device, IOProcID procID)
{
    const auto proc = m_procs.find(procID);
    if (proc == m_procs.end())
        return -ENOENT;
    if (proc->device != device)
        return -EINVAL;
    stopProc(*proc);
    return 0;
}

AudioHardware::Status PipeWireAudioHardware::destroyIOProc(ObjectID device, IOProcID procID)
{
    const auto proc = m_procs.find(procID);
    if (proc == m_procs.end())
        return -ENOENT;
    if (proc->device != device)
        return -EINVAL;
    stopProc(*proc);
    m_procs.erase(proc);
    return 0;
}

void PipeWireAudioHardware::stopProc(Proc &proc)
{
    if (proc.capture) {
        proc.capture->stop();
        proc.capture.reset();
    }
}

AudioHardware::Status PipeWireAudioHardware::addPropertyListener(ObjectID object, Property property,
                                                                 std::function<void()> callback, ListenerID &listener)
{
    if (!callback)
        return -EINVAL;
    if (property == Property::DefaultOutputDevice) {
        if (object != systemObject)
            return -EINVAL;
        if (!graph())
            return -ENOTCONN;
    } else if (!m_taps.contains(object)) {
        return -ENOENT;
    }
    listener = m_nextListener++;
    m_listeners.insert(listener, Listener{object, property, std::move(callback)});
    return 0;
}

AudioHardware::Status PipeWireAudioHardware::removePropertyListener(ObjectID object, Property property,
                                                                    ListenerID listener)
{
    const auto found = m_listeners.find(listener);
    if (found == m_listeners.end() || found->object != object || found->property != property)
        return -ENOENT;
    m_listeners.erase(found);
    return 0;
}

void PipeWireAudioHardware::formatNegotiated(IOProcID procID, const AudioFormat &format)
{
    const auto proc = m_procs.constFind(procID);
    if (proc == m_procs.cend() || !proc->capture)
        return;
    const auto device = m_devices.constFind(proc->device);
    if (device == m_devices.cend())
        return;
    for (ObjectID tapID : device->taps) {
        const auto tap = m_taps.find(tapID);
        if (tap == m_taps.end() || tap->format == format)
            continue;
        tap->format = format;
        fire(Property::TapFormat, tapID);
    }
}

void PipeWireAudioHardware::fire(Property property, std::optional<ObjectID> object)
{
    QList<ListenerID> ids;
    for (auto listener = m_listeners.cbegin(); listener != m_listeners.cend(); ++listener)
        if (listener->property == property && (!object || listener->object == *object))
            ids.append(listener.key());
    for (ListenerID id : std::as_const(ids)) {
        // A listener may remove others, or itself, while it runs.
        const auto listener = m_listeners.constFind(id);
        if (listener == m_listeners.cend())
            continue;
        const std::function<void()> callback = listener->callback;
        callback();
    }
}
