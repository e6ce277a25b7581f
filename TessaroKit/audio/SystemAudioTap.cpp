#include "audio/SystemAudioTap.h"

#include "protocol/TessaroError.h"

#include <algorithm>
#include <map>

namespace {

using ObjectID = AudioHardware::ObjectID;

std::optional<QString> readBundleIdentifier(AudioHardware &hardware, ObjectID process)
{
    QString identifier;
    if (hardware.bundleIdentifier(process, identifier) != 0 || identifier.isNull())
        return std::nullopt;
    return identifier;
}

// Ascending code-point order (QString's own ordering compares UTF-16 code units).
struct CodePointLess {
    bool operator()(const QString &left, const QString &right) const
    {
        const QList<uint> a = left.toUcs4();
        const QList<uint> b = right.toUcs4();
        return std::lexicographical_compare(a.cbegin(), a.cend(), b.cbegin(), b.cend());
    }
};

} // namespace

SystemAudioTap::SystemAudioTap(std::shared_ptr<AudioHardware> hardware, QString ownBundleIdentifier)
    : m_hardware(std::move(hardware)), m_ownBundleIdentifier(std::move(ownBundleIdentifier)),
      m_self(std::make_shared<SystemAudioTap *>(this))
{
}

SystemAudioTap::~SystemAudioTap()
{
    stop();
}

void SystemAudioTap::check(AudioHardware::Status status)
{
    if (status != 0)
        throw TessaroError::message(QStringLiteral("PipeWire could not start system audio (") + QString::number(status)
                                    + QStringLiteral("). Check that PipeWire and its session manager are running, then retry."));
}

QList<ObjectID> SystemAudioTap::objects(AudioHardware &hardware)
{
    QList<ObjectID> processes;
    check(hardware.processObjects(processes));
    return processes;
}

QList<AudioSource> SystemAudioTap::sources(AudioHardware &hardware, const QString &ownBundleIdentifier)
{
    const QList<ObjectID> processes = objects(hardware);
    std::map<QString, QList<quint32>, CodePointLess> groups;
    for (ObjectID process : processes) {
        const std::optional<QString> identifier = readBundleIdentifier(hardware, process);
        if (!identifier || identifier->isEmpty())
            continue;
        if (!ownBundleIdentifier.isEmpty() && *identifier == ownBundleIdentifier)
            continue;
        const qsizetype helper = identifier->indexOf(QLatin1String(".helper"));
        const QString key = helper < 0 ? *identifier : identifier->left(helper);
        groups[key].append(process);
    }
    QList<AudioSource> sources;
    sources.reserve(static_cast<qsizetype>(groups.size()));
    for (const auto &[key, members] : groups)
        sources.append(AudioSource{key, key, members});
    return sources;
}

AudioFormat SystemAudioTap::format(ObjectID tap)
{
    std::optional<AudioFormat> value;
    check(m_hardware->tapFormat(tap, value));
    if (!value || !(value->sampleRate > 0) || value->channels <= 0 || value->bytesPerSample() == 0)
        throw TessaroError::message(QStringLiteral("The output device has an unsupported audio format."));
    return *value;
}

void SystemAudioTap::start(std::optional<QList<quint32>> processes, std::shared_ptr<AudioFramePipe> pipe,
                           std::function<void()> outputChanged)
{
    stop();
    try {
        m_pipe = std::move(pipe);
        m_outputChanged = std::move(outputChanged);

        AudioHardware::TapDescription description;
        if (!processes) {
            // A process whose identifier cannot be read counts as having none, and
            // "none" equals "none" when this application has no identifier either.
            const std::optional<QString> own =
                m_ownBundleIdentifier.isEmpty() ? std::nullopt : std::optional<QString>(m_ownBundleIdentifier);
            description.kind = AudioHardware::TapDescription::Kind::GlobalExcluding;
            for (ObjectID process : objects(*m_hardware)) {
                std::optional<QString> identifier = readBundleIdentifier(*m_hardware, process);
                if (identifier && identifier->isEmpty())
                    identifier.reset();
                if (identifier == own)
                    description.processes.append(process);
            }
        } else if (processes->isEmpty()) {
            throw TessaroError::message(QStringLiteral("Open the meeting app, refresh sources, and select it again."));
        } else {
            description.kind = AudioHardware::TapDescription::Kind::MixdownOf;
            description.processes = *processes;
        }
        description.uuid = QUuid::createUuid();
        description.name = QString::fromLatin1(tapName);
        description.isPrivate = true;
        description.muted = false;

        check(m_hardware->createProcessTap(description, m_tap));
        m_format = std::make_shared<TapFormat>(format(m_tap));

        QList<ObjectID> outputs;
        check(m_hardware->defaultOutputDevices(outputs));
        m_initialOutput = outputs.isEmpty() ? std::nullopt : std::optional<ObjectID>(outputs.first());

        AudioHardware::AggregateDeviceDescription aggregate;
        aggregate.name = QString::fromLatin1(deviceName);
        aggregate.uid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        aggregate.isPrivate = true;
        aggregate.tapAutoStart = true;
        aggregate.taps = {AudioHardware::AggregateTap{description.uuid.toString(QUuid::WithoutBraces).toUpper(), true}};
        check(m_hardware->createAggregateDevice(aggregate, m_device));

        // The callback owns what it touches: the format holder and the pipe, each
        // with its own lock.
        AudioHardware::IOCallback callback = [format = m_format, pipe = m_pipe](const void *data, qsizetype bytes) {
            const AudioFormat current = format->value();
            const int frameBytes = current.bytesPerFrame();
            if (frameBytes <= 0 || !data || bytes < frameBytes)
                return;
            pipe->receive(AudioBuffer{current, bytes / frameBytes, data});
        };
        AudioHardware::IOProcID proc = 0;
        check(m_hardware->createIOProc(m_device, std::move(callback), proc));
        m_io = proc;
        check(m_hardware->startDevice(m_device, proc));

        const std::weak_ptr<SystemAudioTap *> self = m_self;
        const std::pair<ObjectID, AudioHardware::Property> watched[] = {
            {AudioHardware::systemObject, AudioHardware::Property::DefaultOutputDevice},
            {m_tap, AudioHardware::Property::TapFormat},
        };
        for (const auto &[object, property] : watched) {
            std::function<void()> handler = [self, property = property] {
                const std::shared_ptr<SystemAudioTap *> tap = self.lock();
                if (!tap)
                    return;
                if (property == AudioHardware::Property::TapFormat)
                    (*tap)->formatChanged();
                else
                    (*tap)->outputDeviceChanged();
            };
            AudioHardware::ListenerID listener = 0;
            check(m_hardware->addPropertyListener(object, property, std::move(handler), listener));
            m_listeners.append(Listener{object, property, listener});
        }
    } catch (...) {
        stop();
        throw;
    }
}

void SystemAudioTap::formatChanged()
{
    if (!m_format || m_tap == 0)
        return;
    try {
        m_format->setValue(format(m_tap));
    } catch (const TessaroError &error) {
        if (m_pipe) {
            m_pipe->close();
            m_pipe->output()->finish(std::make_exception_ptr(error));
        }
    }
}

void SystemAudioTap::outputDeviceChanged()
{
    QList<ObjectID> outputs;
    const AudioHardware::Status status = m_hardware->defaultOutputDevices(outputs);
    if (status == 0 && !outputs.isEmpty() && m_initialOutput && outputs.first() == *m_initialOutput)
        return;
    if (m_pipe)
        m_pipe->close();
    if (m_outputChanged) {
        // The callback may discard this tap; keep it callable until it returns.
        const std::function<void()> outputChanged = m_outputChanged;
        outputChanged();
    }
}

void SystemAudioTap::stop()
{
    if (m_pipe)
        m_pipe->close();
    for (const Listener &listener : std::as_const(m_listeners))
        m_hardware->removePropertyListener(listener.object, listener.property, listener.id);
    m_listeners.clear();
    if (m_io) {
        m_hardware->stopDevice(m_device, *m_io);
        m_hardware->destroyIOProc(m_device, *m_io);
        m_io.reset();
    }
    if (m_device != 0) {
        m_hardware->destroyAggregateDevice(m_device);
        m_device = 0;
    }
    if (m_tap != 0) {
        m_hardware->destroyProcessTap(m_tap);
        m_tap = 0;
    }
    m_pipe.reset();
}
