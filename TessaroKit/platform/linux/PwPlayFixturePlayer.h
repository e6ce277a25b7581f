#pragma once

#include "platform/FixturePlayer.h"

#include <QProcess>

#include <memory>

// Plays sound files with PipeWire's pw-play.
class PwPlayFixturePlayer : public FixturePlayer {
public:
    ~PwPlayFixturePlayer() override;

    qint64 play(const QString &path) override;
    bool running() const override;
    void terminate() override;

private:
    std::unique_ptr<QProcess> m_process;
};
