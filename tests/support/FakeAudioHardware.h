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
    Status processObjectForPID(qint32 pid, ObjectID &process) override
    {
        return answer(QStringLiteral("processObjectForPID"), [&] { process = pidObjects.value(pid, 0); });
    }
    Status defaultOutputDevices(QList<ObjectID> &devices) override
    {
        return answer(QStringLiteral("defaultOutputDevices"), [&] { devices = defaultOutputs; });
    }
    Status createProcessTap(const TapDescription &description, ObjectID &tap) override
    {
        tapDescriptions.append(description);
        return answer(QStringLiteral("createProcessTap"), [&] { m_taps.append(tap = m_nextObject++); });
    }
    Status destroyProcessTap(ObjectID tap) override { return released(QStringLiteral("destroyProcessTap"), m_taps.removeAll(tap)); }
    Status tapFormat(ObjectID, std::optional<AudioFormat> &value) override
    {
        return answer(QStringLiteral("tapFormat"), [&] { value = format; });
    }
    Status createAggregateDevice(const AggregateDeviceDescription &description, ObjectID &device) override
    {
        deviceDescriptions.append(description);
        return answer(QStringLiteral("createAggregateDevice"), [&] { m_devices.append(device = m_nextObject++); });
    }
    Status destroyAggregateDevice(ObjectID device) override
    {
        return released(QStringLiteral("destroyAggregateDevice"), m_devices.removeAll(device));
    }
    Status createIOProc(ObjectID device, IOCallback callback, IOProcID &proc) override;
    Status startDevice(ObjectID, IOProcID proc) override;
    Status stopDevice(ObjectID, IOProcID proc) override;
    Status destroyIOProc(ObjectID, IOProcID proc) override;
    Status addPropertyListener(ObjectID object, Property property, std::function<void()> callback,
                               ListenerID &listener) override;
    Status removePropertyListener(ObjectID, Property property, ListenerID listener) override
    {
        return released(QStringLiteral("removePropertyListener ") + code(property), m_listeners.remove(listener));
    }

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

    static QString code(Property property)
    {
        return property == Property::DefaultOutputDevice ? QStringLiteral("dOut") : QStringLiteral("tfmt");
    }
    // Logs the operation and answers its status; `succeed` runs when that is 0.
    template <typename Success>
    Status answer(const QString &operation, Success succeed)
    {
        log.append(operation);
        const Status status = statuses.value(operation, 0);
        if (status == 0)
            succeed();
        return status;
    }
    // Logs a release; -50 when there was nothing to release.
    Status released(const QString &operation, qsizetype removed)
    {
        log.append(operation);
        return removed ? 0 : -50;
    }

    ObjectID m_nextObject = 100;
    QList<ObjectID> m_taps;
    QList<ObjectID> m_devices;
    mutable std::mutex m_procMutex;
    QMap<IOProcID, Proc> m_procs;
    IOProcID m_nextProc = 1;
    QMap<ListenerID, Listener> m_listeners;
    ListenerID m_nextListener = 1;
};
