#pragma once

#include "platform/FixturePlayer.h"
#include "protocol/TessaroError.h"

#include <QStringList>

#include <functional>
#include <optional>

// A player that plays nothing: it reports a process number the test chooses, or fails
// to launch, and remembers what it was asked to play.
class FakeFixturePlayer : public FixturePlayer {
public:
    qint64 pid = 4'242;
    std::optional<QString> launchFailure;
    // Runs inside play(), before it returns.
    std::function<void()> onPlay;
    QStringList played;
    int terminations = 0;

    qint64 play(const QString &path) override
    {
        if (launchFailure)
            throw TessaroError::message(*launchFailure);
        played.append(path);
        m_running = true;
        if (onPlay)
            onPlay();
        return pid;
    }
    bool running() const override { return m_running; }
    void terminate() override { terminations += std::exchange(m_running, false) ? 1 : 0; }

private:
    bool m_running = false;
};
