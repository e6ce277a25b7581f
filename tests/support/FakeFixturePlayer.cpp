#include "FakeFixturePlayer.h"

#include "protocol/TessaroError.h"

qint64 FakeFixturePlayer::play(const QString &path)
{
    if (launchFailure)
        throw TessaroError::message(*launchFailure);
    played.append(path);
    m_running = true;
    if (onPlay)
        onPlay();
    return pid;
}

void FakeFixturePlayer::terminate()
{
    if (m_running)
        ++terminations;
    m_running = false;
}
