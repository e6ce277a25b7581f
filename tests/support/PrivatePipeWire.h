#pragma once

#include "ScopedEnvironment.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// A PipeWire of the test's own: a session D-Bus, pipewire and wireplumber in a fresh
// runtime directory, with one null sink as the default output. The process environment
// points PipeWire clients (this process and the tools it runs) at it until the object
// is destroyed, which kills every process it started.
class PrivatePipeWire {
public:
    static constexpr const char *sinkName = "corvana-test-sink";

    PrivatePipeWire();
    ~PrivatePipeWire();
    PrivatePipeWire(const PrivatePipeWire &) = delete;
    PrivatePipeWire &operator=(const PrivatePipeWire &) = delete;

    bool started() const { return m_error.isEmpty(); }
    // Why it could not be started.
    const QString &error() const { return m_error; }
    QString directory() const { return m_root.path(); }

    // Adds a lingering null node of the media class ("Audio/Sink", "Audio/Source/Virtual")
    // and waits until the graph lists it.
    bool createNode(const QString &name, const QString &mediaClass = QStringLiteral("Audio/Sink"));
    // Sets a key of the "default" metadata to a node name, as a settings panel would
    // ("default.configured.audio.sink", ...).
    bool setDefault(const QString &key, const QString &nodeName);
    // Plays a file with pw-play (optionally to a target node) until stopPlayers() or
    // destruction; null when it did not start.
    QProcess *play(const QString &file, const QString &target = {});
    void stopPlayers();

    // A 16-bit stereo WAV file holding a sine tone at half of full scale.
    static bool writeTone(const QString &path, double hertz, double seconds, int rate = 48'000);

private:
    bool run(const QString &program, const QStringList &arguments, QString *output = nullptr);
    bool waitForNode(const QString &name);
    std::unique_ptr<QProcess> launch(const QString &program, const QStringList &arguments);
    static void kill(QProcess *process);

    QTemporaryDir m_root;
    ScopedEnvironment m_environment;
    std::unique_ptr<QProcess> m_bus;
    std::unique_ptr<QProcess> m_daemon;
    std::unique_ptr<QProcess> m_session;
    std::vector<std::unique_ptr<QProcess>> m_players;
    QString m_error;
};
