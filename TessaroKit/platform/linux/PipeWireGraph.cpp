#include "PipeWireGraph.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <pipewire/extensions/metadata.h>
#include <pipewire/pipewire.h>

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

enum BoundKind { BoundNode, BoundClient, BoundDefaultMetadata, BoundSettingsMetadata };

void initializePipeWire()
{
    static std::once_flag once;
    std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

PipeWireGraph::Properties toProperties(const spa_dict *dict)
{
    PipeWireGraph::Properties properties;
    if (!dict)
        return properties;
    const spa_dict_item *item;
    spa_dict_for_each(item, dict)
    {
        if (item->key && item->value)
            properties.insert(QString::fromUtf8(item->key), QString::fromUtf8(item->value));
    }
    return properties;
}

const char *lookup(const spa_dict *dict, const char *key)
{
    return dict ? spa_dict_lookup(dict, key) : nullptr;
}

// The node name inside a JSON value like {"name":"alsa_output.pci"}.
QString jsonName(const char *value)
{
    if (!value)
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(value));
    if (document.isObject())
        return document.object().value(QStringLiteral("name")).toString();
    return {};
}

// Audio nodes and output streams: the only nodes whose full properties are needed.
bool wantsFullProperties(const char *mediaClass)
{
    if (!mediaClass)
        return false;
    return std::strncmp(mediaClass, "Audio/", 6) == 0 || std::strcmp(mediaClass, "Stream/Output/Audio") == 0;
}

} // namespace

struct PipeWireGraph::Bound {
    PipeWireGraph *graph = nullptr;
    quint32 id = 0;
    int kind = BoundNode;
    pw_proxy *proxy = nullptr;
    spa_hook listener{};
};

struct PipeWireGraph::Hooks {
    spa_hook core{};
    spa_hook registry{};
};

// The C callbacks, forwarding to the graph (all on the loop thread).
struct PipeWireGraphEvents {
    static void coreDone(void *data, uint32_t id, int seq)
    {
        auto *graph = static_cast<PipeWireGraph *>(data);
        if (!graph->m_loopThreadNamed) {
            graph->nameCurrentThread();
            graph->m_loopThreadNamed = true;
        }
        if (id == PW_ID_CORE && seq == graph->m_pendingSync) {
            graph->m_synced = true;
            pw_thread_loop_signal(graph->m_loop, false);
        }
    }

    static void coreError(void *data, uint32_t id, int seq, int res, const char *message)
    {
        auto *graph = static_cast<PipeWireGraph *>(data);
        if (id != PW_ID_CORE || res != -EPIPE)
            return;
        graph->m_alive = false;
        graph->m_error = QString::fromUtf8(message ? message : std::strerror(-res));
        pw_thread_loop_signal(graph->m_loop, false);
        graph->notify();
    }

    static void global(void *data, uint32_t id, uint32_t, const char *type, uint32_t, const spa_dict *props)
    {
        static_cast<PipeWireGraph *>(data)->globalAdded(id, type, props);
    }

    static void globalRemove(void *data, uint32_t id)
    {
        static_cast<PipeWireGraph *>(data)->globalRemoved(id);
    }

    static void nodeInfo(void *data, const pw_node_info *info)
    {
        auto *bound = static_cast<PipeWireGraph::Bound *>(data);
        if (!info || !(info->change_mask & PW_NODE_CHANGE_MASK_PROPS))
            return;
        auto node = bound->graph->m_nodes.find(bound->id);
        if (node == bound->graph->m_nodes.end())
            return;
        const PipeWireGraph::Properties properties = toProperties(info->props);
        for (auto property = properties.cbegin(); property != properties.cend(); ++property)
            node->second.properties.insert(property.key(), property.value());
        bound->graph->notify();
    }

    static void clientInfo(void *data, const pw_client_info *info)
    {
        auto *bound = static_cast<PipeWireGraph::Bound *>(data);
        if (!info || !(info->change_mask & PW_CLIENT_CHANGE_MASK_PROPS))
            return;
        auto client = bound->graph->m_clients.find(bound->id);
        if (client == bound->graph->m_clients.end())
            return;
        const PipeWireGraph::Properties properties = toProperties(info->props);
        for (auto property = properties.cbegin(); property != properties.cend(); ++property)
            client->second.properties.insert(property.key(), property.value());
        bound->graph->notify();
    }

    static int metadataProperty(void *data, uint32_t subject, const char *key, const char *, const char *value)
    {
        auto *bound = static_cast<PipeWireGraph::Bound *>(data);
        bound->graph->metadataProperty(bound, subject, key, value);
        return 0;
    }

    static const pw_core_events &coreEvents()
    {
        static const pw_core_events events = [] {
            pw_core_events e{};
            e.version = PW_VERSION_CORE_EVENTS;
            e.done = coreDone;
            e.error = coreError;
            return e;
        }();
        return events;
    }
    static const pw_registry_events &registryEvents()
    {
        static const pw_registry_events events = [] {
            pw_registry_events e{};
            e.version = PW_VERSION_REGISTRY_EVENTS;
            e.global = global;
            e.global_remove = globalRemove;
            return e;
        }();
        return events;
    }
    static const pw_node_events &nodeEvents()
    {
        static const pw_node_events events = [] {
            pw_node_events e{};
            e.version = PW_VERSION_NODE_EVENTS;
            e.info = nodeInfo;
            return e;
        }();
        return events;
    }
    static const pw_client_events &clientEvents()
    {
        static const pw_client_events events = [] {
            pw_client_events e{};
            e.version = PW_VERSION_CLIENT_EVENTS;
            e.info = clientInfo;
            return e;
        }();
        return events;
    }
    static const pw_metadata_events &metadataEvents()
    {
        static const pw_metadata_events events = [] {
            pw_metadata_events e{};
            e.version = PW_VERSION_METADATA_EVENTS;
            e.property = metadataProperty;
            return e;
        }();
        return events;
    }
};

PipeWireGraph::Lock::Lock(const PipeWireGraph &graph) : m_loop(graph.m_loop)
{
    if (m_loop)
        pw_thread_loop_lock(m_loop);
}

PipeWireGraph::Lock::~Lock()
{
    if (m_loop)
        pw_thread_loop_unlock(m_loop);
}

PipeWireGraph::PipeWireGraph(const QString &threadName) : m_threadName(threadName), m_hooks(std::make_unique<Hooks>())
{
    initializePipeWire();
    const QByteArray name = threadName.toUtf8();
    m_loop = pw_thread_loop_new(name.constData(), nullptr);
    if (!m_loop) {
        m_error = QStringLiteral("no PipeWire loop: ") + QString::fromUtf8(std::strerror(errno));
        return;
    }
    m_context = pw_context_new(pw_thread_loop_get_loop(m_loop),
                               pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
    if (!m_context) {
        m_error = QStringLiteral("no PipeWire context: ") + QString::fromUtf8(std::strerror(errno));
        return;
    }
    if (pw_thread_loop_start(m_loop) < 0) {
        m_error = QStringLiteral("the PipeWire loop did not start");
        return;
    }

    Lock lock(*this);
    m_core = pw_context_connect(m_context, pw_properties_new(PW_KEY_APP_NAME, "Corvana", nullptr), 0);
    if (!m_core) {
        m_error = QStringLiteral("PipeWire is not reachable: ") + QString::fromUtf8(std::strerror(errno));
        return;
    }
    m_alive = true;
    pw_core_add_listener(m_core, &m_hooks->core, &PipeWireGraphEvents::coreEvents(), this);
    m_registry = pw_core_get_registry(m_core, PW_VERSION_REGISTRY, 0);
    pw_registry_add_listener(m_registry, &m_hooks->registry, &PipeWireGraphEvents::registryEvents(), this);
    // The first round trip brings every global (and sends the binds), the second the
    // full properties of the bound objects and the metadata values.
    if (!roundtrip(5000) || !roundtrip(5000)) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("PipeWire did not answer");
        m_alive = false;
    }
}

PipeWireGraph::~PipeWireGraph()
{
    if (m_loop)
        pw_thread_loop_stop(m_loop);
    for (auto &[id, bound] : m_bound) {
        spa_hook_remove(&bound->listener);
        pw_proxy_destroy(bound->proxy);
    }
    m_bound.clear();
    if (m_registry) {
        spa_hook_remove(&m_hooks->registry);
        pw_proxy_destroy(reinterpret_cast<pw_proxy *>(m_registry));
    }
    if (m_core) {
        spa_hook_remove(&m_hooks->core);
        pw_core_disconnect(m_core);
    }
    if (m_context)
        pw_context_destroy(m_context);
    if (m_loop)
        pw_thread_loop_destroy(m_loop);
}

bool PipeWireGraph::roundtrip(int timeoutMs)
{
    m_synced = false;
    m_pendingSync = pw_core_sync(m_core, PW_ID_CORE, m_pendingSync);
    timespec deadline{};
    pw_thread_loop_get_time(m_loop, &deadline, qint64(timeoutMs) * SPA_NSEC_PER_MSEC);
    while (!m_synced && m_alive) {
        if (pw_thread_loop_timed_wait_full(m_loop, &deadline) != 0)
            break;
    }
    return m_synced && m_alive;
}

bool PipeWireGraph::connected() const
{
    Lock lock(*this);
    return m_alive;
}

QString PipeWireGraph::error() const
{
    Lock lock(*this);
    return m_alive ? QString() : m_error;
}

void PipeWireGraph::nameCurrentThread() const
{
    // Linux thread names hold 15 bytes.
    const QByteArray name = m_threadName.toUtf8().left(15);
    pthread_setname_np(pthread_self(), name.constData());
}

void PipeWireGraph::notify()
{
    std::vector<int> ids;
    ids.reserve(m_observers.size());
    for (const auto &[id, observer] : m_observers)
        ids.push_back(id);
    for (int id : ids) {
        const auto observer = m_observers.find(id);
        if (observer != m_observers.end()) {
            const std::function<void()> call = observer->second;
            call();
        }
    }
}

void PipeWireGraph::globalAdded(quint32 id, const char *type, const spa_dict *props)
{
    if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0) {
        m_nodes[id] = Node{id, toProperties(props)};
        if (wantsFullProperties(lookup(props, PW_KEY_MEDIA_CLASS)))
            bind(id, type, PW_VERSION_NODE, BoundNode);
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Port) == 0) {
        Port port;
        port.id = id;
        const char *node = lookup(props, PW_KEY_NODE_ID);
        const char *index = lookup(props, PW_KEY_PORT_ID);
        const char *direction = lookup(props, PW_KEY_PORT_DIRECTION);
        const char *monitor = lookup(props, PW_KEY_PORT_MONITOR);
        const char *channel = lookup(props, PW_KEY_AUDIO_CHANNEL);
        if (!node || !direction)
            return;
        port.node = QByteArray(node).toUInt();
        port.index = index ? QByteArray(index).toUInt() : 0;
        port.output = std::strcmp(direction, "out") == 0;
        port.monitor = monitor && spa_atob(monitor);
        port.channel = channel ? QString::fromUtf8(channel) : QString();
        m_ports[id] = port;
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Client) == 0) {
        m_clients[id] = Client{id, toProperties(props)};
        bind(id, type, PW_VERSION_CLIENT, BoundClient);
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Metadata) == 0) {
        const char *name = lookup(props, PW_KEY_METADATA_NAME);
        if (name && std::strcmp(name, "default") == 0)
            bind(id, type, PW_VERSION_METADATA, BoundDefaultMetadata);
        else if (name && std::strcmp(name, "settings") == 0)
            bind(id, type, PW_VERSION_METADATA, BoundSettingsMetadata);
        return;
    } else {
        return;
    }
    notify();
}

void PipeWireGraph::bind(quint32 id, const char *type, quint32 version, int kind)
{
    auto *proxy = static_cast<pw_proxy *>(pw_registry_bind(m_registry, id, type, version, 0));
    if (!proxy)
        return;
    auto bound = std::make_unique<Bound>();
    bound->graph = this;
    bound->id = id;
    bound->kind = kind;
    bound->proxy = proxy;
    switch (kind) {
    case BoundNode:
        pw_node_add_listener(reinterpret_cast<pw_node *>(proxy), &bound->listener, &PipeWireGraphEvents::nodeEvents(),
                             bound.get());
        break;
    case BoundClient:
        pw_client_add_listener(reinterpret_cast<pw_client *>(proxy), &bound->listener,
                               &PipeWireGraphEvents::clientEvents(), bound.get());
        break;
    default:
        pw_metadata_add_listener(reinterpret_cast<pw_metadata *>(proxy), &bound->listener,
                                 &PipeWireGraphEvents::metadataEvents(), bound.get());
        break;
    }
    m_bound[id] = std::move(bound);
}

void PipeWireGraph::globalRemoved(quint32 id)
{
    const auto bound = m_bound.find(id);
    if (bound != m_bound.end()) {
        if (bound->second->kind == BoundDefaultMetadata) {
            m_defaultSinkName.clear();
            m_defaultSourceName.clear();
        } else if (bound->second->kind == BoundSettingsMetadata) {
            m_clockRate = 0;
        }
        spa_hook_remove(&bound->second->listener);
        pw_proxy_destroy(bound->second->proxy);
        m_bound.erase(bound);
    }
    const bool known = m_nodes.erase(id) + m_ports.erase(id) + m_clients.erase(id) > 0;
    if (known)
        notify();
}

void PipeWireGraph::metadataProperty(Bound *bound, quint32 subject, const char *key, const char *value)
{
    if (subject != PW_ID_CORE)
        return;
    if (bound->kind == BoundDefaultMetadata) {
        if (!key) {
            m_defaultSinkName.clear();
            m_defaultSourceName.clear();
        } else if (std::strcmp(key, "default.audio.sink") == 0) {
            m_defaultSinkName = jsonName(value);
        } else if (std::strcmp(key, "default.audio.source") == 0) {
            m_defaultSourceName = jsonName(value);
        } else {
            return;
        }
    } else {
        if (!key || std::strcmp(key, "clock.rate") == 0)
            m_clockRate = key && value ? QByteArray(value).toUInt() : 0;
        else
            return;
    }
    notify();
}

const PipeWireGraph::Node *PipeWireGraph::node(quint32 id) const
{
    const auto node = m_nodes.find(id);
    return node == m_nodes.end() ? nullptr : &node->second;
}

const PipeWireGraph::Node *PipeWireGraph::nodeNamed(const QString &name) const
{
    if (name.isEmpty())
        return nullptr;
    for (const auto &[id, node] : m_nodes)
        if (node.name() == name)
            return &node;
    return nullptr;
}

const PipeWireGraph::Client *PipeWireGraph::client(quint32 id) const
{
    const auto client = m_clients.find(id);
    return client == m_clients.end() ? nullptr : &client->second;
}

QList<PipeWireGraph::Port> PipeWireGraph::ports(quint32 node, bool output) const
{
    QList<Port> found;
    for (const auto &[id, port] : m_ports)
        if (port.node == node && port.output == output)
            found.append(port);
    std::sort(found.begin(), found.end(), [](const Port &a, const Port &b) {
        return a.monitor != b.monitor ? !a.monitor : a.index < b.index;
    });
    return found;
}

QString PipeWireGraph::nodeOrClientProperty(const Node &node, const QString &key) const
{
    const QString own = node.properties.value(key);
    if (!own.isEmpty())
        return own;
    bool ok = false;
    const quint32 clientId = node.properties.value(QStringLiteral("client.id")).toUInt(&ok);
    if (!ok)
        return {};
    const Client *owner = client(clientId);
    return owner ? owner->properties.value(key) : QString();
}

std::optional<quint32> PipeWireGraph::defaultSink() const
{
    const Node *sink = nodeNamed(m_defaultSinkName);
    return sink ? std::optional<quint32>(sink->id) : std::nullopt;
}

std::optional<quint32> PipeWireGraph::defaultSource() const
{
    const Node *source = nodeNamed(m_defaultSourceName);
    return source ? std::optional<quint32>(source->id) : std::nullopt;
}

quint32 PipeWireGraph::clockRate() const
{
    return m_clockRate > 0 ? m_clockRate : 48'000;
}

int PipeWireGraph::addObserver(std::function<void()> observer)
{
    const int id = m_nextObserver++;
    m_observers[id] = std::move(observer);
    return id;
}

void PipeWireGraph::removeObserver(int id)
{
    m_observers.erase(id);
}
