#pragma once

#include "platform/AudioFormat.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

// The system's audio objects as the system tap uses them: the audio processes with
// their bundle identifiers, the default output device, process taps wrapped in a
// private aggregate device with an I/O callback, and property listeners. Every call
// answers with a status: 0 on success, anything else is the platform's own code.
// Everything is called on the main thread; listener callbacks arrive on the main
// thread; I/O callbacks arrive on the implementation's serial audio thread.
class AudioHardware {
public:
    using ObjectID = quint32;
    using Status = qint32;
    using IOProcID = quint64;
    using ListenerID = quint64;

    // The system object, owner of the process list and the default output device.
    static constexpr ObjectID systemObject = 1;

    // Observable properties: the system's default output device ("dOut") and a tap's
    // stream format ("tfmt").
    enum class Property { DefaultOutputDevice, TapFormat };

    struct TapDescription {
        // A global stereo tap of everything except `processes`, or a stereo mixdown
        // of exactly `processes`.
        enum class Kind { GlobalExcluding, MixdownOf };
        Kind kind = Kind::MixdownOf;
        QList<ObjectID> processes;
        QUuid uuid;
        QString name;
        bool isPrivate = false;
        // False keeps the tapped processes audible.
        bool muted = false;
    };

    struct AggregateTap {
        QString uid;
        bool drift = false;
    };

    struct AggregateDeviceDescription {
        QString name;
        QString uid;
        bool isPrivate = false;
        bool tapAutoStart = false;
        QList<AggregateTap> taps;
    };

    // The device's raw input samples for one cycle, interleaved in the tap's format.
    using IOCallback = std::function<void(const void *data, qsizetype bytes)>;

    virtual ~AudioHardware() = default;

    // Whether this system can tap processes at all.
    virtual bool supportsProcessTaps() const = 0;

    // The audio process objects, in the system's order ("prs#").
    virtual Status processObjects(QList<ObjectID> &processes) = 0;
    // The bundle identifier of one process object ("pbid"); may be empty.
    virtual Status bundleIdentifier(ObjectID process, QString &identifier) = 0;
    // The process object of an operating-system process number ("id2p"); 0 when the
    // process has no audio object yet.
    virtual Status processObjectForPID(qint32 pid, ObjectID &process) = 0;
    // The default output device, as a list of at most one entry ("dOut").
    virtual Status defaultOutputDevices(QList<ObjectID> &devices) = 0;

    virtual Status createProcessTap(const TapDescription &description, ObjectID &tap) = 0;
    virtual Status destroyProcessTap(ObjectID tap) = 0;
    // The tap's stream format ("tfmt"); absent when it is not a usable PCM format.
    virtual Status tapFormat(ObjectID tap, std::optional<AudioFormat> &format) = 0;

    virtual Status createAggregateDevice(const AggregateDeviceDescription &description, ObjectID &device) = 0;
    virtual Status destroyAggregateDevice(ObjectID device) = 0;

    virtual Status createIOProc(ObjectID device, IOCallback callback, IOProcID &proc) = 0;
    virtual Status startDevice(ObjectID device, IOProcID proc) = 0;
    // When it returns, the callback is not running and will not run again.
    virtual Status stopDevice(ObjectID device, IOProcID proc) = 0;
    virtual Status destroyIOProc(ObjectID device, IOProcID proc) = 0;

    // Calls `callback` on the main thread after each change of the property. No call
    // arrives after removePropertyListener() returned.
    virtual Status addPropertyListener(ObjectID object, Property property, std::function<void()> callback,
                                       ListenerID &listener) = 0;
    virtual Status removePropertyListener(ObjectID object, Property property, ListenerID listener) = 0;
};
