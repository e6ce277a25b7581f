#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_registry;

// One connection to the PipeWire daemon, served by its own thread loop, with a live
// picture of the graph: the audio nodes with their full properties, their clients, their
// ports, and the default sink and source named by the "default" metadata.
//
// Everything held here is guarded by the loop's lock. The loop thread updates it while
// it dispatches (it holds the lock then); any other thread reads it inside a Lock.
// Observers run on the loop thread, with the lock held, after every change.
class PipeWireGraph {
public:
    using Properties = QHash<QString, QString>;

    struct Node {
        quint32 id = 0;
        Properties properties;
        QString mediaClass() const { return properties.value(QStringLiteral("media.class")); }
        QString name() const { return properties.value(QStringLiteral("node.name")); }
    };
    struct Port {
        quint32 id = 0;
        quint32 node = 0;
        quint32 index = 0;
        bool output = false;
        bool monitor = false;
        QString channel;
    };
    struct Client {
        quint32 id = 0;
        Properties properties;
    };

    // RAII hold of the loop's lock (recursive).
    class Lock {
    public:
        explicit Lock(const PipeWireGraph &graph);
        ~Lock();
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;

    private:
        pw_thread_loop *m_loop;
    };

    // Connects on construction; `threadName` names the loop and, as far as the system
    // allows, the loop and data threads.
    explicit PipeWireGraph(const QString &threadName);
    ~PipeWireGraph();
    PipeWireGraph(const PipeWireGraph &) = delete;
    PipeWireGraph &operator=(const PipeWireGraph &) = delete;

    // Whether the daemon is reachable and the connection has not failed since. Takes
    // the lock.
    bool connected() const;
    // Why the connection failed; empty while connected.
    QString error() const;
    const QString &threadName() const { return m_threadName; }
    // Names the calling thread after threadName() (truncated to the system's limit).
    void nameCurrentThread() const;

    pw_thread_loop *loop() const { return m_loop; }
    pw_core *core() const { return m_core; }

    // The rest is called with the lock held.
    bool alive() const { return m_alive; }
    const std::map<quint32, Node> &nodes() const { return m_nodes; }
    const Node *node(quint32 id) const;
    const Node *nodeNamed(const QString &name) const;
    const Client *client(quint32 id) const;
    // The node's ports in one direction, by port index.
    QList<Port> ports(quint32 node, bool output) const;
    // A property of the node, else of the node's client; empty when neither has it.
    QString nodeOrClientProperty(const Node &node, const QString &key) const;
    // The node named by "default.audio.sink" / "default.audio.source", when it exists.
    std::optional<quint32> defaultSink() const;
    std::optional<quint32> defaultSource() const;
    // The graph's clock rate ("clock.rate" of the "settings" metadata), 48 kHz unknown.
    quint32 clockRate() const;

    // Observers are called on the loop thread with the lock held. Ids are never 0.
    int addObserver(std::function<void()> observer);
    void removeObserver(int id);

private:
    struct Bound;
    friend struct PipeWireGraphEvents;

    bool roundtrip(int timeoutMs);
    void notify();
    void globalAdded(quint32 id, const char *type, const struct spa_dict *props);
    void globalRemoved(quint32 id);
    void bind(quint32 id, const char *type, quint32 version, int kind);
    void metadataProperty(Bound *bound, quint32 subject, const char *key, const char *value);

    QString m_threadName;
    pw_thread_loop *m_loop = nullptr;
    pw_context *m_context = nullptr;
    pw_core *m_core = nullptr;
    pw_registry *m_registry = nullptr;
    struct Hooks;
    std::unique_ptr<Hooks> m_hooks;

    bool m_alive = false;
    QString m_error;
    int m_pendingSync = -1;
    bool m_synced = false;
    bool m_loopThreadNamed = false;

    std::map<quint32, Node> m_nodes;
    std::map<quint32, Port> m_ports;
    std::map<quint32, Client> m_clients;
    std::map<quint32, std::unique_ptr<Bound>> m_bound;
    QString m_defaultSinkName;
    QString m_defaultSourceName;
    quint32 m_clockRate = 0;

    std::map<int, std::function<void()>> m_observers;
    int m_nextObserver = 1;
};
