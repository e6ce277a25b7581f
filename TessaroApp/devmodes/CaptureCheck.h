#pragma once

#include "audio/LiveAudioCapture.h"
#include "platform/FixturePlayer.h"

#include <QCoro/QCoroTask>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// A scripted local run of the capture path: reads a small JSON configuration, captures
// for a few seconds (optionally while a fixture sound plays), writes an evidence file
// and quits. Nothing is sent to any service.
class CaptureCheck {
public:
    struct Config {
        QString output;
        QString source;
        double seconds = 0;
        std::optional<QString> bundle;
        std::optional<QString> playFile;
        bool playerOnly = false;
    };

    struct Environment {
        // A fresh capture controller for the run.
        std::function<std::unique_ptr<LiveAudioCapture>()> makeCapture;
        std::shared_ptr<FixturePlayer> player;
        // Wall clock in milliseconds since 1970.
        std::function<double()> epochMilliseconds;
        // Ends the application; called once at the very end.
        std::function<void()> quit;
        // How often and how long to look for the player's audio stream.
        std::chrono::milliseconds playerPoll{50};
        std::chrono::milliseconds playerWait{2'000};
    };

    explicit CaptureCheck(Environment environment);

    // Runs the check described by the configuration file; never throws.
    QCoro::Task<void> run(QString path);

    // Reads and decodes a configuration file. Throws with a readable text.
    static Config readConfig(const QString &path);
    // Writes the evidence pretty-printed with sorted keys, replacing the file at once.
    // Throws the write failure's text.
    static void writeEvidence(const QString &path, const QJsonObject &evidence);

private:
    QCoro::Task<void> capture(const Config &config, QJsonObject &evidence, std::unique_ptr<LiveAudioCapture> &capture);
    QCoro::Task<std::optional<QList<quint32>>> playerProcesses(LiveAudioCapture &capture, qint64 pid);

    Environment m_environment;
};
