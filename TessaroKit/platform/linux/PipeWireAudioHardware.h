#pragma once

#include "PipeWireCaptureStream.h"
#include "PipeWireGraph.h"
#include "platform/AudioHardware.h"

#include <QMap>
#include <QObject>

#include <memory>

// AudioHardware over PipeWire. The process objects are the applications' output
// streams (nodes of media class "Stream/Output/Audio", object id = node id), and a
// process's bundle identifier is the most stable application identifier its node or
// client carries. The default output is the default sink of the "default" metadata.
//
// A process tap is a description kept here; the aggregate device's I/O callback is a
// capture stream linked to the tapped streams' outputs (or, for a global tap, to the
// default sink's monitor) while they keep playing where they play. Samples arrive as
// stereo 32-bit float at the graph's rate, on the connection's data thread.
//
// Used on the main thread only (the thread that created it); listeners are called
// there. Statuses are 0 or a negative errno value. A lost connection is made again by
// the next call that needs one.
class PipeWireAudioHardware final : public AudioHardware {
public:
    static constexpr const char *threadName = "com.tessaro.system-audio";

    PipeWireAudioHardware();
    ~PipeWireAudioHardware() override;
    PipeWireAudioHardware(const PipeWireAudioHardware &) = delete;
    PipeWireAudioHardware &operator=(const PipeWireAudioHardware &) = delete;

    bool supportsProcessTaps() const override;
    Status processObjects(QList<ObjectID> &processes) override;
    Status bundleIdentifier(ObjectID process, QString &identifier) override;
    Status processObjectForPID(qint32 pid, ObjectID &process) override;
    Status defaultOutputDevices(QList<ObjectID> &devices) override;
    Status createProcessTap(const TapDescription &description, ObjectID &tap) override;
    Status destroyProcessTap(ObjectID tap) override;
    Status tapFormat(ObjectID tap, std::optional<AudioFormat> &format) override;
    Status createAggregateDevice(const AggregateDeviceDescription &description, ObjectID &device) override;
    Status destroyAggregateDevice(ObjectID device) override;
    Status createIOProc(ObjectID device, IOCallback callback, IOProcID &proc) override;
    Status startDevice(ObjectID device, IOProcID proc) override;
    Status stopDevice(ObjectID device, IOProcID proc) override;
    Status destroyIOProc(ObjectID device, IOProcID proc) override;
    Status addPropertyListener(ObjectID object, Property property, std::function<void()> callback,
                               ListenerID &listener) override;
    Status removePropertyListener(ObjectID object, Property property, ListenerID listener) override;

private:
    struct Tap {
        TapDescription description;
        AudioFormat format;
    };
    struct Device {
        AggregateDeviceDescription description;
        QList<ObjectID> taps;
    };
    struct Proc {
        ObjectID device = 0;
        std::shared_ptr<IOCallback> callback;
        std::shared_ptr<PipeWireCaptureStream> capture;
    };
    struct Listener {
        ObjectID object = 0;
        Property property = Property::DefaultOutputDevice;
        std::function<void()> callback;
    };

    // The live connection, made again when the last one failed; null when PipeWire is
    // not reachable.
    std::shared_ptr<PipeWireGraph> graph() const;
    void watch(const std::shared_ptr<PipeWireGraph> &graph) const;
    void unwatch() const;
    void stopProc(Proc &proc);
    // Main thread: a capture negotiated `format`; taps of the device take it over.
    void formatNegotiated(IOProcID proc, const AudioFormat &format);
    void fire(Property property, std::optional<ObjectID> object);

    mutable std::shared_ptr<PipeWireGraph> m_graph;
    mutable int m_graphObserver = 0;
    // Read and written on the loop thread (and at watch time) under the graph's lock.
    mutable std::optional<quint32> m_lastDefaultSink;

    ObjectID m_nextObject = 0x10000000;
    QMap<ObjectID, Tap> m_taps;
    QMap<ObjectID, Device> m_devices;
    IOProcID m_nextProc = 1;
    QMap<IOProcID, Proc> m_procs;
    ListenerID m_nextListener = 1;
    QMap<ListenerID, Listener> m_listeners;
    // Receives what the loop thread hands to the main thread; declared last so it goes
    // first, dropping anything still queued.
    std::unique_ptr<QObject> m_context;
};
