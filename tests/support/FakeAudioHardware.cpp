#include "FakeAudioHardware.h"

AudioHardware::Status FakeAudioHardware::processObjects(QList<ObjectID> &objects)
{
    return answer(QStringLiteral("processObjects"), [&] {
        objects.clear();
        for (const Process &process : std::as_const(processes))
            objects.append(process.object);
    });
}

AudioHardware::Status FakeAudioHardware::bundleIdentifier(ObjectID process, QString &identifier)
{
    if (const Status status = statuses.value(QStringLiteral("bundleIdentifier"), 0))
        return status;
    for (const Process &candidate : std::as_const(processes)) {
        if (candidate.object == process && candidate.bundleIdentifier) {
            identifier = *candidate.bundleIdentifier;
            return 0;
        }
    }
    return 0x21707270; // "!prp"-like failure: unknown, or its identifier unreadable
}

AudioHardware::Status FakeAudioHardware::createIOProc(ObjectID device, IOCallback callback, IOProcID &proc)
{
    return answer(QStringLiteral("createIOProc"), [&] {
        std::lock_guard lock(m_procMutex);
        proc = m_nextProc++;
        m_procs.insert(proc, Proc{device, std::move(callback), false});
    });
}

AudioHardware::Status FakeAudioHardware::startDevice(ObjectID, IOProcID proc)
{
    if (const Status status = answer(QStringLiteral("startDevice"), [] {}))
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
    std::lock_guard lock(m_procMutex);
    return released(QStringLiteral("destroyIOProc"), m_procs.remove(proc));
}

AudioHardware::Status FakeAudioHardware::addPropertyListener(ObjectID object, Property property,
                                                             std::function<void()> callback, ListenerID &listener)
{
    return answer(QStringLiteral("addPropertyListener ") + code(property), [&] {
        listener = m_nextListener++;
        m_listeners.insert(listener, Listener{object, property, std::move(callback)});
    });
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
        if (m_listeners.contains(id)) {
            const std::function<void()> callback = m_listeners.value(id).callback;
            callback();
        }
    }
}

int FakeAudioHardware::runningProcs() const
{
    std::lock_guard lock(m_procMutex);
    return int(std::count_if(m_procs.cbegin(), m_procs.cend(), [](const Proc &proc) { return proc.running; }));
}
