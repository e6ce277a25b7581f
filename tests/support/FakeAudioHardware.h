#pragma once

#include "platform/AudioHardware.h"

#include <QHash>
#include <QMap>
#include <QStringList>

#include <mutex>

// AudioHardware in memory. Tests set the processes, identifiers, default output and
// tap format, make any operation answer with a status, feed the I/O callback and fire
// property notifications. Every call is logged by name ("createProcessTap",
// "removePropertyListener dOut", ...).
class FakeAudioHardware : public AudioHardware {
public:
    struct Process {
        ObjectID object;
        // Absent: reading the identifier fails.
        std::optional<QString> bundleIdentifier;
    };

    // Configuration.
    bool tapsSupported = true;
    QList<Process> processes;
    QHash<qint32, ObjectID> pidObjects;
    QList<ObjectID> defaultOutputs{40};
    // Absent: not a usable PCM format.
    std::optional<AudioFormat> format = AudioFormat{48'000, 2, SampleLayout::Float32};
    // Status answered by an operation, by its name; 0 when not listed.
    QHash<QString, Status> statuses;

    // Observation.
    QStringList log;
    QList<TapDescription> tapDescriptions;
    QList<AggregateDeviceDescription> deviceDescriptions;

    bool supportsProcessTaps() const override { return tapsSupported; }
    Status processObjects(QList<ObjectID> &objects) override;
    Status bundleIdentifier(ObjectID process, QString &identifier) override;
    Status processObjectForPID(qint32 pid, ObjectID &process) override;
    Status defaultOutputDevices(QList<ObjectID> &devices) override;
    Status createProcessTap(const TapDescription &description, ObjectID &tap) override;
    Status destroyProcessTap(ObjectID tap) override;
    Status tapFormat(ObjectID tap, std::optional<AudioFormat> &value) override;
    Status createAggregateDevice(const AggregateDeviceDescription &description, ObjectID &device) override;
    Status destroyAggregateDevice(ObjectID device) override;
    Status createIOProc(ObjectID device, IOCallback callback, IOProcID &proc) override;
    Status startDevice(ObjectID device, IOProcID proc) override;
    Status stopDevice(ObjectID device, IOProcID proc) override;
    Status destroyIOProc(ObjectID device, IOProcID proc) override;
    Status addPropertyListener(ObjectID object, Property property, std::function<void()> callback,
                               ListenerID &listener) override;
    Status removePropertyListener(ObjectID object, Property property, ListenerID listener) override;

    // Runs the started I/O callback(s) with raw bytes, on the calling thread. Returns
    // whether any callback ran.
    bool deliver(const void *data, qsizetype bytes);
    // Runs every listener of the property (on the calling thread, which the tests keep
    // the main thread).
    void notify(Property property);

    int liveTaps() const { return m_taps.size(); }
    int liveDevices() const { return m_devices.size(); }
    int liveListeners() const { return m_listeners.size(); }
    int runningProcs() const;

private:
    struct Proc {
        ObjectID device;
        IOCallback callback;
        bool running = false;
    };
    struct Listener {
        ObjectID object;
        Property property;
        std::function<void()> callback;
    };

    Status answer(const QString &operation);

    ObjectID m_nextObject = 100;
    QList<ObjectID> m_taps;
    QList<ObjectID> m_devices;
    mutable std::mutex m_procMutex;
    QMap<IOProcID, Proc> m_procs;
    IOProcID m_nextProc = 1;
    QMap<ListenerID, Listener> m_listeners;
    ListenerID m_nextListener = 1;
};
