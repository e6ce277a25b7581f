#include "FakeAudioHardware.h"

namespace {

QString code(AudioHardware::Property property)
{
    return property == AudioHardware::Property::DefaultOutputDevice ? QStringLiteral("dOut") : QStringLiteral("tfmt");
}

} // namespace

AudioHardware::Status FakeAudioHardware::answer(const QString &operation)
{
    log.append(operation);
    return statuses.value(operation, 0);
}

AudioHardware::Status FakeAudioHardware::processObjects(QList<ObjectID> &objects)
{
    if (const Status status = answer(QStringLiteral("processObjects")))
        return status;
    objects.clear();
    for (const Process &process : std::as_const(processes))
        objects.append(process.object);
    return 0;
}

AudioHardware::Status FakeAudioHardware::bundleIdentifier(ObjectID process, QString &identifier)
{
    if (const Status status = statuses.value(QStringLiteral("bundleIdentifier"), 0))
        return status;
    for (const Process &candidate : std::as_const(processes)) {
        if (candidate.object != process)
            continue;
        if (!candidate.bundleIdentifier)
            return 0x21707270; // "!prp"-like failure
        identifier = *candidate.bundleIdentifier;
        return 0;
    }
    return 0x21707270;
}

AudioHardware::Status FakeAudioHardware::processObjectForPID(qint32 pid, ObjectID &process)
{
    if (const Status status = answer(QStringLiteral("processObjectForPID")))
        return status;
    process = pidObjects.value(pid, 0);
    return 0;
}

AudioHardware::Status FakeAudioHardware::defaultOutputDevices(QList<ObjectID> &devices)
{
    if (const Status status = answer(QStringLiteral("defaultOutputDevices")))
        return status;
    devices = defaultOutputs;
    return 0;
}

AudioHardware::Status FakeAudioHardware::createProcessTap(const TapDescription &description, ObjectID &tap)
{
    tapDescriptions.append(description);
    if (const Status status = answer(QStringLiteral("createProcessTap")))
        return status;
    tap = m_nextObject++;
    m_taps.append(tap);
    return 0;
}

AudioHardware::Status FakeAudioHardware::destroyProcessTap(ObjectID tap)
{
    log.append(QStringLiteral("destroyProcessTap"));
    return m_taps.removeAll(tap) ? 0 : -50;
}

AudioHardware::Status FakeAudioHardware::tapFormat(ObjectID, std::optional<AudioFormat> &value)
{
    if (const Status status = answer(QStringLiteral("tapFormat")))
        return status;
    value = format;
    return 0;
}

AudioHardware::Status FakeAudioHardware::createAggregateDevice(const AggregateDeviceDescription &description,
                                                               ObjectID &device)
{
    deviceDescriptions.append(description);
    if (const Status status = answer(QStringLiteral("createAggregateDevice")))
        return status;
    device = m_nextObject++;
    m_devices.append(device);
    return 0;
}

AudioHardware::Status FakeAudioHardware::destroyAggregateDevice(ObjectID device)
{
    log.append(QStringLiteral("destroyAggregateDevice"));
    return m_devices.removeAll(device) ? 0 : -50;
}

AudioHardware::Status FakeAudioHardware::createIOProc(ObjectID device, IOCallback callback, IOProcID &proc)
{
    if (const Status status = answer(QStringLiteral("createIOProc")))
        return status;
    std::lock_guard lock(m_procMutex);
    proc = m_nextProc++;
    m_procs.insert(proc, Proc{device, std::move(callback), false});
    return 0;
}

AudioHardware::Status FakeAudioHardware::startDevice(ObjectID, IOProcID proc)
{
    if (const Status status = answer(QStringLiteral("startDevice")))
        return status;
    std::lock_guard lock(m_procMutex);
    if (!m_procs.contains(proc))
        return -50;
    m_procs[proc].running = true;
    return 0;
}

AudioHardware::Status FakeAudioHardware::stopDevice(ObjectID, IOProcID proc)
{
    log.append(QStringLiteral("stopDevice"));
    std::lock_guard lock(m_procMutex);
    if (!m_procs.contains(proc))
        return -50;
    m_procs[proc].running = false;
    return 0;
}

AudioHardware::Status FakeAudioHardware::destroyIOProc(ObjectID, IOProcID proc)
{
    log.append(QStringLiteral("destroyIOProc"));
    std::lock_guard lock(m_procMutex);
    return m_procs.remove(proc) ? 0 : -50;
}

AudioHardware::Status FakeAudioHardware::addPropertyListener(ObjectID object, Property property,
                                                             std::function<void()> callback, ListenerID &listener)
{
    if (const Status status = answer(QStringLiteral("addPropertyListener ") + code(property)))
        return status;
    listener = m_nextListener++;
    m_listeners.insert(listener, Listener{object, property, std::move(callback)});
    return 0;
}

AudioHardware::Status FakeAudioHardware::removePropertyListener(ObjectID, Property property, ListenerID listener)
{
    log.append(QStringLiteral("removePropertyListener ") + code(property));
    return m_listeners.remove(listener) ? 0 : -50;
}

bool FakeAudioHardware::deliver(const void *data, qsizetype bytes)
{
    std::lock_guard lock(m_procMutex);
    bool ran = false;
    for (const Proc &proc : std::as_const(m_procs)) {
        if (proc.running) {
            proc.callback(data, bytes);
            ran = true;
        }
    }
    return ran;
}

void FakeAudioHardware::notify(Property property)
{
    QList<ListenerID> ids;
    for (auto listener = m_listeners.cbegin(); listener != m_listeners.cend(); ++listener)
        if (listener->property == property)
            ids.append(listener.key());
    for (ListenerID id : ids) {
        // A listener may remove others (or itself) while running.
        if (!m_listeners.contains(id))
            continue;
        const std::function<void()> callback = m_listeners.value(id).callback;
        callback();
    }
}

int FakeAudioHardware::runningProcs() const
{
    std::lock_guard lock(m_procMutex);
    int running = 0;
    for (const Proc &proc : m_procs)
        running += proc.running ? 1 : 0;
    return running;
}
