#include "PrivatePipeWire.h"

#include "TestFiles.h"
#include "TestWav.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <QtEndian>

#include <cmath>
#include <numbers>

namespace {

constexpr int waitMs = 10'000;

QString nullNodeDescription(const QString &name, const QString &mediaClass)
{
    return QStringLiteral("{ factory.name=support.null-audio-sink node.name=%1 media.class=%2 object.linger=true "
                          "audio.position=[FL FR] }")
        .arg(name, mediaClass);
}

} // namespace

PrivatePipeWire::PrivatePipeWire()
{
    for (const char *tool : {"dbus-daemon", "pipewire", "wireplumber", "pw-cli", "pw-play", "pw-metadata"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            m_error = QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool));
            return;
        }
    }
    const QString runtime = m_root.filePath(QStringLiteral("runtime"));
    for (const char *variable : {"XDG_RUNTIME_DIR", "PIPEWIRE_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_STATE_HOME"}) {
        const QString folder = QByteArray(variable).endsWith("RUNTIME_DIR") ? runtime
                                                                            : m_root.filePath(QString::fromLatin1(variable));
        QDir().mkpath(folder);
        m_environment.set(variable, folder.toUtf8());
    }
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_environment.unset("PIPEWIRE_REMOTE");

    m_bus = std::make_unique<QProcess>();
    m_bus->start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    const QByteArray address = m_bus->waitForStarted(waitMs) && m_bus->waitForReadyRead(waitMs) ? m_bus->readLine().trimmed()
                                                                                                 : QByteArray();
    if (address.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon did not start: ") + m_bus->errorString();
        return;
    }
    m_environment.set("DBUS_SESSION_BUS_ADDRESS", address);

    m_daemon = launch(QStringLiteral("pipewire"), {});
    const QString socket = QDir(runtime).filePath(QStringLiteral("pipewire-0"));
    const QDeadlineTimer socketDeadline(waitMs);
    while (!QFile::exists(socket) && !socketDeadline.hasExpired() && m_daemon->state() == QProcess::Running)
        QThread::msleep(50);
    if (!QFile::exists(socket)) {
        m_error = QStringLiteral("pipewire did not open its socket: ") + QString::fromLocal8Bit(m_daemon->readAll());
        return;
    }

    m_session = launch(QStringLiteral("wireplumber"), {});
    if (!createNode(QString::fromLatin1(sinkName))) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("the null sink did not appear");
        return;
    }
    // The session manager names the only sink the default output.
    const QDeadlineTimer defaultDeadline(waitMs);
    QString metadata;
    while (!defaultDeadline.hasExpired()) {
        if (run(QStringLiteral("pw-metadata"), {QStringLiteral("-n"), QStringLiteral("default")}, &metadata)
            && metadata.contains(QStringLiteral("default.audio.sink")) && metadata.contains(QLatin1String(sinkName)))
            return;
        if (m_session->state() != QProcess::Running) {
            m_error = QStringLiteral("wireplumber stopped: ") + QString::fromLocal8Bit(m_session->readAll());
            return;
        }
        QThread::msleep(100);
    }
    m_error = QStringLiteral("wireplumber chose no default sink: ") + metadata;
}

PrivatePipeWire::~PrivatePipeWire()
{
    stopPlayers();
    for (QProcess *process : {m_session.get(), m_daemon.get(), m_bus.get()})
        kill(process);
}

std::unique_ptr<QProcess> PrivatePipeWire::launch(const QString &program, const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(program, arguments);
    process->waitForStarted(waitMs);
    return process;
}

void PrivatePipeWire::kill(QProcess *process)
{
    if (!process || process->state() == QProcess::NotRunning)
        return;
    process->terminate();
    if (!process->waitForFinished(3000)) {
        process->kill();
        process->waitForFinished(3000);
    }
}

bool PrivatePipeWire::run(const QString &program, const QStringList &arguments, QString *output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(waitMs)) {
        kill(&process);
        return false;
    }
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool PrivatePipeWire::waitForNode(const QString &name)
{
    const QString needle = QStringLiteral("node.name = \"%1\"").arg(name);
    const QDeadlineTimer deadline(waitMs);
    QString nodes;
    while (!deadline.hasExpired()) {
        if (run(QStringLiteral("pw-cli"), {QStringLiteral("ls"), QStringLiteral("Node")}, &nodes)
            && nodes.contains(needle))
            return true;
        QThread::msleep(100);
    }
    m_error = QStringLiteral("node %1 did not appear").arg(name);
    return false;
}

bool PrivatePipeWire::createNode(const QString &name, const QString &mediaClass)
{
    QString output;
    if (!run(QStringLiteral("pw-cli"),
             {QStringLiteral("create-node"), QStringLiteral("adapter"), nullNodeDescription(name, mediaClass)},
             &output)) {
        m_error = QStringLiteral("pw-cli create-node failed: ") + output;
        return false;
    }
    return waitForNode(name);
}

bool PrivatePipeWire::setDefault(const QString &key, const QString &nodeName)
{
    const QString value = QStringLiteral("{ \"name\": \"%1\" }").arg(nodeName);
    return run(QStringLiteral("pw-metadata"), {QStringLiteral("-n"), QStringLiteral("default"), QStringLiteral("0"),
                                               key, value, QStringLiteral("Spa:String:JSON")});
}

QProcess *PrivatePipeWire::play(const QString &file, const QString &target)
{
    QStringList arguments;
    if (!target.isEmpty())
        arguments << QStringLiteral("--target") << target;
    arguments << file;
    auto player = std::make_unique<QProcess>();
    player->setProcessChannelMode(QProcess::MergedChannels);
    player->start(QStringLiteral("pw-play"), arguments);
    if (!player->waitForStarted(waitMs))
        return nullptr;
    m_players.push_back(std::move(player));
    return m_players.back().get();
}

void PrivatePipeWire::stopPlayers()
{
    for (const std::unique_ptr<QProcess> &player : m_players)
        kill(player.get());
    m_players.clear();
}

bool PrivatePipeWire::writeTone(const QString &path, double hertz, double seconds, int rate)
{
    QByteArray pcm(qsizetype(seconds * rate) * 4, Qt::Uninitialized);
    auto *samples = reinterpret_cast<qint16 *>(pcm.data());
    for (qsizetype i = 0; i < pcm.size() / 4; ++i)
        samples[2 * i] = samples[2 * i + 1] =
            qToLittleEndian(qint16(std::lround(16'383.0 * std::sin(2 * std::numbers::pi * hertz * double(i) / rate))));
    return writeFile(path, wavOf(pcm, quint32(rate), 2));
}
