#include "SessionModel.h"

#include "model/Attempt.h"

#include "conversation/AnswerWindow.h"
#include "model/SessionSetup.h"
#include "protocol/TaskHandle.h"
#include "protocol/ServiceClient.h"
#include "protocol/TessaroError.h"

#include <utility>
#include <QPointer>
#include <QUuid>

namespace {

constexpr qint64 smallestAllowanceMicros = 10'000;

const QString startFailedRecovery = QStringLiteral("Audio is off. Resolve the issue and resume when ready.");
const QString stoppedRecovery = QStringLiteral("Audio stopped. Resume the conversation or review its prepared answers.");

} // namespace

double SessionModel::nowMs() const
{
    return m_platform.epochMilliseconds ? m_platform.epochMilliseconds() : m_clock;
}

QStringList SessionModel::liveChannels() const
{
    if (m_source == QLatin1String("both"))
        return {QStringLiteral("system"), QStringLiteral("microphone")};
    return {m_source};
}

QCoro::Task<void> SessionModel::start(bool resuming, bool reviewing)
{
    if (m_updating) {
        setError(QStringLiteral("Finish or cancel the update check before starting a conversation."));
        co_return;
    }
    if (m_starting || m_busy || m_active || !m_client || !m_account)
        co_return;
    if (const std::optional<QString> problem = startProblem()) {
        setError(*problem);
        co_return;
    }
    const bool isSimulated = simulated();
    const bool isRecording = m_source == QLatin1String("recording");
    if (!reviewing && !isSimulated && isRecording && !m_recording) {
        setError(QStringLiteral("Choose a short PCM WAV recording first."));
        co_return;
    }
    if (m_needsReconnect) {
        setError(QStringLiteral("Reconnect before resuming."));
        co_return;
    }
    if (resuming && !reviewing && !isSimulated && isRecording) {
        setError(QStringLiteral("A recording cannot resume without replaying speech. Select meeting audio to "
                                "continue, or start a new replay."));
        co_return;
    }
    if (resuming && (!m_sessionDomain || *m_sessionDomain != m_domain)) {
        setError(QStringLiteral("Start a new conversation to use a different domain."));
        co_return;
    }

    // Preparation.
    const QString token = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_startingID = token;
    setStarting(true);
    setBusy(true);
    setError(std::nullopt);
    m_capturedFrames.clear();
    m_firstFrameAt.reset();

    if (!resuming) {
        m_sessionDomain = m_domain;
        const qint64 budgetMicros = SessionSetup::budgetMicros(m_budget).value_or(0);
        setMemory(ConversationMemory(std::min(budgetMicros, m_account->wallet.balanceMicros)));
        setAnswers({});
        setTranscript({});
        setGapSummary({});
        m_locallyHidden.clear();
        setRangeState(std::nullopt);
        setSnapshot(std::nullopt);
        setSelectedID(std::nullopt);
        setConversationStartedAt(std::nullopt);
        m_pauseStartedMs.reset();
        setDetail(QStringLiteral("Cue"));
        setProgress(0);
    } else {
        QList<PreparedAnswer> stale = m_answers;
        for (PreparedAnswer &answer : stale)
            answer.status = QStringLiteral("stale");
        setAnswers(stale);
        m_memory.merge(stale);
        emit memoryChanged();
    }
    setReviewOnly(reviewing);

    QPointer<SessionModel> self(this);
    QPointer<ServiceClient> client = m_client;
    const auto superseded = [this, self, token] { return !self || m_startingID != token; };
    double offset = 0;
    std::optional<QString> failureText;
    std::optional<TessaroError> accessExpired;
    try {
        if (resuming) {
            for (const QString &id : m_memory.sessionIDs()) {
                try {
                    co_await client->endSession(id);
                    const SessionSnapshot earlier = co_await client->snapshot(id);
                    if (!self)
                        co_return;
                    m_memory.account(earlier);
                    emit memoryChanged();
                } catch (const TessaroError &failure) {
                    // A service that no longer knows an earlier session (it was restarted,
                    // or has let the session go) has nothing left to end or report for it;
                    // what the memory recorded from that session's last snapshot stands.
                    if (failure.kind() != TessaroError::Kind::Service || failure.code() != 404)
                        throw;
                }
                if (!self)
                    co_return;
            }
        }
        const Account fetched = co_await client->account();
        if (!self)
            co_return;
        setAccount(fetched);

        const qint64 remaining = m_memory.limitMicros() - m_memory.committedMicros();
        const qint64 allowance = std::min(remaining, fetched.wallet.balanceMicros);
        if (remaining < 0 || allowance < smallestAllowanceMicros)
            throw TessaroError::message(QStringLiteral(
                "Less than $0.01 remains in this conversation\u2019s allowance. Prepared answers remain available. "
                "Start a new conversation to set a new limit."));

        if (resuming)
            offset = std::max(nowMs() - m_conversationStartedAt.value_or(m_clock), elapsed());

        SessionInput input;
        input.domain = m_domain;
        input.familiarity = m_familiarity;
        input.budgetMicros = allowance;
        input.source = isSimulated ? QStringLiteral("sample") : isRecording ? QStringLiteral("system") : m_source;
        const QList<KnowledgePassage> passages = m_privateKnowledge.passages(m_domain);
        if (!passages.isEmpty())
            input.knowledge = passages;
        input.durationMinutes = std::min(m_durationMinutes, maximumMinutes());
        input.timeOffsetMs = offset;
        if (resuming) {
            input.history = m_memory.history();
            input.historyAvailableFromMs = m_memory.availableFromMs();
        }

        co_await client->start(input);
        if (superseded()) {
            if (client)
                co_await client->stop();
            if (self) {
                setStarting(false);
                setBusy(false);
            }
            co_return;
        }
    } catch (const TessaroError &failure) {
        failureText = failure.description();
        if (failure.requiresSignIn())
            accessExpired = failure;
    } catch (const std::exception &failure) {
        failureText = describeFailure(failure);
    }
    if (!self)
        co_return;
    if (failureText) {
        co_await failStart(*failureText, client);
        // The service no longer accepts this device: the way on is signing in again.
        if (self && accessExpired)
            requireSignInIfExpired(*accessExpired);
        co_return;
    }

    setActive(true);
    setNeedsReconnect(false);
    setRecoveryMessage(std::nullopt);
    savePreferences();
    if (!m_conversationStartedAt)
        setConversationStartedAt(m_snapshot ? m_snapshot->startedAt * 1000.0 : nowMs());
    if (!reviewing && m_pauseStartedMs) {
        setGapSummary(m_gapSummary
                      + QStringList{AnswerWindow::timestamp(*m_pauseStartedMs) + QStringLiteral("\u2013")
                                    + AnswerWindow::timestamp(offset) + QStringLiteral(": audio not captured")});
        m_pauseStartedMs.reset();
    }
    cancelTask(m_clockTask);
    if (!reviewing)
        startClockTask();
    if (!resuming)
        selectWindow();

    if (reviewing) {
        setStatus(QStringLiteral("Reviewing selected speech · audio off"));
        setStarting(false);
        setBusy(false);
        co_return;
    }
    if (isSimulated) {
        const Attempt<> sampled = co_await attempt(self, client->command(QStringLiteral("sample.start")));
        if (sampled.ownerGone)
            co_return;
        if (sampled.failure) {
            co_await failStart(*sampled.failure, client);
            co_return;
        }
        setStatus(QStringLiteral("Simulated conversation"));
        setStarting(false);
        setBusy(false);
        co_return;
    }
    if (isRecording && m_recording) {
        setStatus(QStringLiteral("Replaying recording"));
        startReplayTask();
        setStarting(false);
        setBusy(false);
        co_return;
    }

    setStatus(QStringLiteral("Starting audio…"));
    try {
        for (const QString &channel : liveChannels())
            co_await client->command(QStringLiteral("audio.start"), channel);
    } catch (const std::exception &failure) {
        failureText = describeFailure(failure);
    }
    if (!self)
        co_return;
    if (failureText) {
        co_await failStart(*failureText, client);
        co_return;
    }
    if (superseded() || !m_active) {
        if (client)
            co_await client->stop();
        if (self) {
            setStarting(false);
            setBusy(false);
        }
        co_return;
    }

    std::shared_ptr<CapturedAudioStream> stream;
    try {
        const std::optional<QList<quint32>> processes = resolveProcesses();
        if (!m_platform.capture)
            throw TessaroError::message(QStringLiteral("Audio capture is not available on this system."));
        std::shared_ptr<AudioCapture> capture = m_platform.capture;
        stream = co_await capture->start(m_source, processes);
    } catch (const std::exception &failure) {
        failureText = describeFailure(failure);
    }
    if (!self)
        co_return;
    if (failureText) {
        co_await failStart(*failureText, client);
        co_return;
    }
    if (superseded() || !m_active) {
        if (m_platform.capture)
            m_platform.capture->stop();
        if (client)
            co_await client->stop();
        if (self) {
            setStarting(false);
            setBusy(false);
        }
        co_return;
    }
    if (m_source == QLatin1String("system"))
        setStatus(QStringLiteral("Listening to meeting audio · microphone off"));
    else if (m_source == QLatin1String("both"))
        setStatus(QStringLiteral("Listening to meeting audio and microphone"));
    else
        setStatus(QStringLiteral("Listening to microphone"));
    startCaptureTask(stream);
    setStarting(false);
    setBusy(false);
}

QCoro::Task<void> SessionModel::failStart(QString description, QPointer<ServiceClient> client)
{
    QPointer<SessionModel> self(this);
    pauseCapture(startFailedRecovery);
    setError(description);
    setStatus(QStringLiteral("Session could not start"));
    if (client)
        co_await client->stop();
    if (!self)
        co_return;
    setStarting(false);
    setBusy(false);
}

void SessionModel::cancelTask(std::shared_ptr<TaskHandle> &task)
{
    // Waking the loop can run it to its end right here, and its end may clear the very
    // member passed in; the local reference keeps the handle alive through cancel().
    const std::shared_ptr<TaskHandle> held = std::exchange(task, nullptr);
    if (held)
        held->cancel();
}

void SessionModel::startClockTask()
{
    auto handle = TaskHandle::make();
    m_clockTask = handle;
    QPointer<SessionModel> self(this);
    [](QPointer<SessionModel> self, std::shared_ptr<TaskHandle> handle) -> QCoro::Task<void> {
        while (!handle->cancelled()) {
            if (!self)
                co_return;
            self->setClock(self->nowMs());
            if (!co_await handle->sleep(std::chrono::seconds(1)))
                co_return;
        }
    }(self, handle);
}

void SessionModel::startCaptureTask(std::shared_ptr<CapturedAudioStream> stream)
{
    auto handle = TaskHandle::make();
    m_captureTask = handle;
    QPointer<SessionModel> self(this);
    [](QPointer<SessionModel> self, std::shared_ptr<TaskHandle> handle,
       std::shared_ptr<CapturedAudioStream> stream) -> QCoro::Task<void> {
        std::optional<QString> failureText;
        try {
            while (true) {
                const std::optional<CapturedAudio> frame = co_await stream->next();
                if (handle->cancelled() || !self || !self->m_active)
                    co_return;
                if (!frame)
                    co_return;
                self->setAudioLevel(frame->level);
                self->m_capturedFrames[frame->channel] += 1;
                if (!self->m_firstFrameAt)
                    self->m_firstFrameAt = self->nowMs();
                QPointer<ServiceClient> client = self->m_client;
                if (!client)
                    throw TessaroError::message(QStringLiteral("The audio connection is not ready."));
                co_await client->sendAudio(frame->pcm, frame->channel);
                if (handle->cancelled())
                    co_return;
            }
        } catch (const std::exception &failure) {
            failureText = describeFailure(failure);
        }
        if (handle->cancelled() || !self)
            co_return;
        self->setError(failureText);
        co_await self->stop();
    }(self, handle, std::move(stream));
}

void SessionModel::startReplayTask()
{
    auto handle = TaskHandle::make();
    m_replayTask = handle;
    auto control = std::make_shared<ServiceClient::ReplayControl>();
    m_replayControl = control;
    QPointer<SessionModel> self(this);
    [](QPointer<SessionModel> self, std::shared_ptr<TaskHandle> handle,
       std::shared_ptr<ServiceClient::ReplayControl> control) -> QCoro::Task<void> {
        QPointer<ServiceClient> client = self->m_client;
        const PCMRecording recording = *self->m_recording;
        std::optional<QString> failureText;
        try {
            if (!client)
                throw TessaroError::message(QStringLiteral("Start a session first."));
            // Built outside the co_await: GCC 12 destroys a capturing lambda twice when it
            // is a temporary of the awaited expression.
            std::function<void(double)> onProgress = [self, handle](double fraction) {
                if (self && !handle->cancelled())
                    self->setProgress(fraction);
            };
            co_await client->replay(recording, std::move(onProgress), control);
        } catch (const std::exception &failure) {
            failureText = describeFailure(failure);
        }
        if (handle->cancelled() || !self)
            co_return;
        if (failureText) {
            self->setError(failureText);
            co_await self->stop();
            co_return;
        }
        if (!self->m_active)
            co_return;
        self->setStatus(QStringLiteral("Recording finished · audio is off"));
        self->setReviewOnly(true);
        self->cancelTask(self->m_clockTask);
    }(self, handle, control);
}

QCoro::Task<void> SessionModel::stop()
{
    QPointer<SessionModel> self(this);
    pauseCapture(stoppedRecovery);
    setBusy(true);
    QPointer<ServiceClient> client = m_client;
    if (client)
        co_await client->stop();
    if (!self)
        co_return;
    setActive(false);
    setPreparing(false);
    setBusy(m_starting);
    setStatus(QStringLiteral("Session ended"));
    if (!client)
        co_return;
    try {
        if (m_snapshot) {
            const SessionSnapshot fresh = co_await client->snapshot(m_snapshot->id);
            if (!self)
                co_return;
            setSnapshot(fresh);
            m_memory.account(fresh);
            emit memoryChanged();
        }
    } catch (const std::exception &) {
    }
    if (!self || !client)
        co_return;
    try {
        const Account fetched = co_await client->account();
        if (self)
            setAccount(fetched);
    } catch (const std::exception &) {
    }
}

QCoro::Task<void> SessionModel::finishAudio()
{
    if (m_platform.capture)
        m_platform.capture->stop();
    cancelTask(m_captureTask);
    setAudioLevel(0);
    QPointer<SessionModel> self(this);
    for (const QString &channel : liveChannels()) {
        QPointer<ServiceClient> client = m_client;
        if (client)
            co_await client->command(QStringLiteral("audio.finish"), channel);
        if (!self)
            co_return;
    }
    setReviewOnly(true);
    setStatus(QStringLiteral("Audio finished · reviewing prepared answers"));
}
