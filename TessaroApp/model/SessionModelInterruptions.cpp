#include "SessionModel.h"

#include "protocol/TaskHandle.h"
#include "protocol/ServiceClient.h"
#include "protocol/TessaroError.h"

#include <QPointer>

void SessionModel::pauseCapture(const QString &message)
{
    if (m_active && !m_reviewOnly) {
        setClock(nowMs());
        if (!m_pauseStartedMs)
            m_pauseStartedMs = elapsed();
    }
    if (m_platform.capture)
        m_platform.capture->stop();
    cancelTask(m_captureTask);
    cancelTask(m_replayTask);
    if (m_replayControl)
        m_replayControl->cancel();
    m_replayControl.reset();
    cancelTask(m_clockTask);
    m_startingID.reset();
    setAudioLevel(0);
    setActive(false);
    setPreparing(false);
    setBusy(false);
    setRecoveryMessage(message);
    if (rangeWorking())
        settleRange();
}

void SessionModel::handleSleep()
{
    if (!m_active)
        return;
    pauseCapture(QStringLiteral("The computer went to sleep. Speech during the pause was not captured. Resume when ready."));
    if (QPointer<ServiceClient> client = m_client) {
        [](QPointer<ServiceClient> client) -> QCoro::Task<void> {
            if (client)
                co_await client->stop();
        }(client);
    }
}

QCoro::Task<void> SessionModel::reconnect()
{
    if (!m_lastConnection || m_busy || m_active)
        co_return;
    QPointer<SessionModel> self(this);
    setBusy(true);
    std::exception_ptr failure;
    try {
        co_await connect(*m_lastConnection, false);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (!failure) {
        setRecoveryMessage(QStringLiteral("Connected. Resume listening when ready; audio is still off."));
    } else {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception &error) {
            setError(describeFailure(error));
            setNeedsReconnect(true);
            requireSignInIfExpired(error);
        }
    }
    setBusy(false);
}
