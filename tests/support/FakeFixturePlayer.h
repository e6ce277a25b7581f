#pragma once

#include "platform/FixturePlayer.h"

#include <utility>

// A player that plays nothing: it reports a process number the test chooses.
class FakeFixturePlayer : public FixturePlayer {
public:
    qint64 pid = 4'242;
    int terminations = 0;

    qint64 play(const QString &) override
    {
        m_running = true;
        return pid;
    }
    bool running() const override { return m_running; }
    void terminate() override { terminations += std::exchange(m_running, false) ? 1 : 0; }

private:
    bool m_running = false;
};
