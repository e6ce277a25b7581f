#pragma once

#include "protocol/Connection.h"

#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <memory>

// The local development service as a child process on a free loopback port, for tests
// that talk to it over real sockets. Stopped when the object goes. Its simulated sample
// plays at "--time-scale 0.02" (about three seconds) unless the arguments give a scale.
class DevServiceProcess {
public:
    explicit DevServiceProcess(QStringList extraArguments = {});
    ~DevServiceProcess();

    bool started() const { return m_port != 0; }
    const QString &errorText() const { return m_error; }
    QString baseUrl() const;
    quint16 port() const { return m_port; }
    const QString &token() const { return m_token; }
    qint64 processId() const { return m_process ? m_process->processId() : 0; }
    Connection connection() const;

    // Control calls; each waits at most 5 seconds.
    bool setScenario(const QJsonObject &scenario);
    bool reset();
    QJsonObject log();

private:
    std::optional<QByteArray> request(const QByteArray &method, const QString &path, const QByteArray &body);

    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_token;
    QString m_error;
};
