#pragma once

#include "ScopedEnvironment.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A Secret Service of the test's own: a session D-Bus and gnome-keyring-daemon with a
// fresh home directory, its login keyring unlocked with a test password. The process
// environment points D-Bus clients at it until the object is destroyed.
class PrivateSecretService {
public:
    PrivateSecretService();
    ~PrivateSecretService();

    bool started() const { return m_error.isEmpty(); }
    // Why it could not be started.
    const QString &error() const { return m_error; }

private:
    bool waitForSecrets();

    QTemporaryDir m_home;
    std::unique_ptr<QProcess> m_bus;
    std::unique_ptr<QProcess> m_keyring;
    QString m_error;
    // Restored after the processes have ended.
    ScopedEnvironment m_environment;
};
