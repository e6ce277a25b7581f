#pragma once

#include "platform/LocalService.h"

#include <QProcess>
#include <QStringList>

#include <chrono>
#include <memory>

// Runs corvana-devservice on a free loopback port, with its connection file in a
// folder of the user's runtime directory that only the user can read.
class DevServiceLauncher : public LocalService {
public:
    // `program` empty: the service installed beside the app, else the one in the build
    // tree, else the first on PATH.
    explicit DevServiceLauncher(QString program = {}, std::chrono::milliseconds startTimeout = std::chrono::seconds(20));
    ~DevServiceLauncher() override;

    QCoro::Task<QString> start(bool simulated) override;
    bool running() const override;
    void stop() override;

    static QString findProgram();

private:
    QString m_program;
    std::chrono::milliseconds m_startTimeout;
    std::unique_ptr<QProcess> m_process;
    QString m_connectionFile;
    bool m_simulated = false;
    bool m_starting = false;
    // Lets a start that is still waiting notice that this object is gone.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
