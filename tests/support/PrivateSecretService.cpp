#include "PrivateSecretService.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

PrivateSecretService::PrivateSecretService()
{
    const QString dbus = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    const QString keyring = QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
    if (dbus.isEmpty() || keyring.isEmpty() || !m_home.isValid()) {
        m_error = QStringLiteral("dbus-daemon or gnome-keyring-daemon is not installed, or no temporary home");
        return;
    }
    const QString runtime = m_home.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    m_bus = std::make_unique<QProcess>();
    m_bus->start(dbus, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    const QByteArray address = m_bus->waitForReadyRead(5000) ? m_bus->readLine().trimmed() : QByteArray();
    if (address.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon did not start: ") + m_bus->errorString();
        return;
    }
    m_environment.set("DBUS_SESSION_BUS_ADDRESS", address);
    m_environment.set("HOME", m_home.path().toUtf8());
    m_environment.set("XDG_RUNTIME_DIR", runtime.toUtf8());

    m_keyring = std::make_unique<QProcess>();
    m_keyring->setProcessChannelMode(QProcess::MergedChannels);
    m_keyring->start(keyring, {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                               QStringLiteral("--components=secrets")});
    if (!m_keyring->waitForStarted(5000)) {
        m_error = QStringLiteral("gnome-keyring-daemon did not start: ") + m_keyring->errorString();
        return;
    }
    // The password goes in on standard input; nothing runs an event loop here, so
    // flush it by hand before closing the channel.
    m_keyring->write("corvana-test-password");
    m_keyring->waitForBytesWritten(5000);
    m_keyring->closeWriteChannel();
    if (!waitForSecrets())
        m_error = QStringLiteral("gnome-keyring-daemon did not offer org.freedesktop.secrets: ")
            + QString::fromLocal8Bit(m_keyring->readAll());
}

bool PrivateSecretService::waitForSecrets()
{
    const QString name = QStringLiteral("corvana-private-secret-service");
    QDBusConnection bus = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), name);
    const QDeadlineTimer deadline(10000);
    bool registered = false;
    while (!registered && !deadline.hasExpired() && m_keyring->state() != QProcess::NotRunning) {
        registered = bus.isConnected() && bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets"));
        if (!registered)
            QThread::msleep(50);
    }
    QDBusConnection::disconnectFromBus(name);
    return registered;
}

PrivateSecretService::~PrivateSecretService()
{
    for (QProcess *process : {m_keyring.get(), m_bus.get()}) {
        if (process && process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(3000)) {
                process->kill();
                process->waitForFinished(3000);
            }
        }
    }
}
