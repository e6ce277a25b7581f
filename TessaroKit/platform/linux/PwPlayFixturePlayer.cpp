#include "PwPlayFixturePlayer.h"

#include "protocol/TessaroError.h"

#include <QStandardPaths>

PwPlayFixturePlayer::~PwPlayFixturePlayer()
{
    terminate();
}

qint64 PwPlayFixturePlayer::play(const QString &path)
{
    terminate();
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pw-play"));
    if (program.isEmpty())
        throw TessaroError::message(QStringLiteral("pw-play was not found. Install pipewire-bin."));
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(program);
    m_process->setArguments({path});
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->start();
    if (!m_process->waitForStarted()) {
        const QString text = m_process->errorString();
        m_process.reset();
        throw TessaroError::message(text);
    }
    return m_process->processId();
}

bool PwPlayFixturePlayer::running() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

void PwPlayFixturePlayer::terminate()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(2'000)) {
            m_process->kill();
            m_process->waitForFinished(2'000);
        }
    }
    m_process.reset();
}
