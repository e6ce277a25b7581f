#pragma once

#include "PipeWireGraph.h"
#include "platform/AudioFormat.h"

#include <QHash>
#include <QPair>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

struct pw_stream;
struct pw_proxy;

// One capture stream into this process: 32-bit float interleaved samples at a chosen
// rate and channel count. It either lets the session manager connect it to one target
// node, or links the outputs of chosen nodes (a sink's monitor ports when it has no
// others) to its own inputs itself, leaving those nodes' other links alone. The links
// it makes are its own and go away with it.
//
// start() and stop() are called on one owner thread (not the loop thread). The block
// runs on the graph's data thread; the format callback on the loop thread, lock held.
class PipeWireCaptureStream {
public:
    struct Options {
        QString name;
        // Rate and channel count asked for; samples are always Float32.
        AudioFormat format;
        // Channel names ("FL", "FR", "MONO", ...); empty: by channel count.
        QStringList positions;
        quint32 latencyFrames = 0;
        // Connect through the session manager to this node (by name) ...
        std::optional<QString> target;
        // ... capturing a sink's monitor when the target is a sink.
        bool captureSink = false;
        // ... or, without a target, link these nodes to the stream.
        QList<quint32> sources;
    };
    // One period of samples in `format`; the memory is valid during the call only.
    using Block = std::function<void(const AudioFormat &format, const void *data, qsizetype bytes)>;
    using FormatChanged = std::function<void(const AudioFormat &format)>;

    PipeWireCaptureStream(std::shared_ptr<PipeWireGraph> graph, Options options, Block block,
                          FormatChanged formatChanged = {});
    ~PipeWireCaptureStream();
    PipeWireCaptureStream(const PipeWireCaptureStream &) = delete;
    PipeWireCaptureStream &operator=(const PipeWireCaptureStream &) = delete;

    // Connects and waits until the daemon accepted the stream. 0, or a negative errno
    // with a description in `error`.
    int start(QString *error = nullptr);
    // When it returns, the block is not running and will not run again.
    void stop();

    // The format in use: the requested one until the daemon negotiated another.
    AudioFormat format() const;
    const std::shared_ptr<PipeWireGraph> &graph() const { return m_graph; }

private:
    friend struct PipeWireCaptureStreamEvents;

    void stateChanged(int state, const char *error);
    void formatNegotiated(const struct spa_pod *param);
    void process();
    // Loop thread, lock held: makes the links still missing and drops dead ones.
    void link();
    void destroyLinks();

    std::shared_ptr<PipeWireGraph> m_graph;
    Options m_options;
    Block m_block;
    FormatChanged m_formatChanged;

    pw_stream *m_stream = nullptr;
    struct Hooks;
    std::unique_ptr<Hooks> m_hooks;
    int m_state = 0;
    QString m_stateError;
    int m_observer = 0;
    QHash<QPair<quint32, quint32>, pw_proxy *> m_links;

    // Held by the data thread while the block runs, and to change what it reads.
    mutable std::mutex m_blockMutex;
    bool m_delivering = false;
    AudioFormat m_format;
};
