#include "SessionModel.h"

#include "model/Attempt.h"

#include "protocol/ServiceClient.h"
#include "protocol/TessaroError.h"

#include <QPointer>

#include <cmath>

namespace {

const QString tenMinutes = QStringLiteral("Choose a new anchor: a breakdown covers at most ten minutes.");

bool working(const std::optional<RangeState> &range)
{
    return range && (range->state == QLatin1String("working") || range->state == QLatin1String("following"));
}

} // namespace

AnswerWindow SessionModel::window() const
{
    return AnswerWindow{m_windowMode, m_anchor, m_lookback, m_category};
}

bool SessionModel::rangeWorking() const
{
    return working(m_rangeState);
}

bool SessionModel::finalSpeechAfter(double toMs, double windowEndMs) const
{
    for (const Transcript &segment : m_transcript) {
        if (!segment.final)
            continue;
        if (segment.endMs.value_or(0) > toMs && segment.startMs.value_or(0) <= windowEndMs)
            return true;
    }
    return false;
}

bool SessionModel::rangeMatches() const
{
    if (!m_rangeState)
        return false;
    const AnswerWindow current = window();
    const double end = current.endMs(elapsed());
    if (!(std::abs(m_rangeState->fromMs - current.startMs()) < 1))
        return false;
    return m_rangeState->follow || std::abs(m_rangeState->toMs - end) < 1
        || (m_rangeState->toMs <= end && !finalSpeechAfter(m_rangeState->toMs, end));
}

bool SessionModel::rangeReviewed() const
{
    if (!rangeMatches())
        return false;
    return m_rangeState->state == QLatin1String("complete")
        || (m_rangeState->state == QLatin1String("following")
            && m_rangeState->reviewedSegments == m_rangeState->selectedSegments);
}

QString SessionModel::coverageMessage() const
{
    if (m_rangeState && rangeMatches()) {
        return QString::number(m_rangeState->reviewedSegments) + QLatin1Char('/')
            + QString::number(m_rangeState->selectedSegments) + QStringLiteral(" speech segments reviewed · ")
            + QString::number(m_rangeState->reusedEntries) + QStringLiteral(" reused. ") + m_rangeState->message;
    }
    return QStringLiteral("Range not reviewed yet. Prepare it to fill missing terms, topics and dates.");
}

void SessionModel::selectWindow()
{
    if (m_active)
        setClock(nowMs());
    setAnchor(elapsed());
    setSelectedID(std::nullopt);
    cancelRange();
}

QCoro::Task<void> SessionModel::prepareRange()
{
    if (m_busy || m_transcript.isEmpty())
        co_return;
    const double now = elapsed();
    const double from = std::max(0.0, m_windowMode == QLatin1String("now") ? m_anchor : m_anchor - m_lookback * 1000.0);
    const double to = window().endMs(now);
    if (to - from > AnswerWindow::maximumSpanMs) {
        setError(tenMinutes);
        co_return;
    }
    if (!m_active && rangeMatches() && m_rangeState->state == QLatin1String("complete"))
        co_return;
    QPointer<SessionModel> self(this);
    if (!m_active) {
        co_await start(true, true);
        if (!self)
            co_return;
    }
    if (!m_active || !m_client)
        co_return;
    const bool follow = m_windowMode != QLatin1String("past") && !m_reviewOnly;
    QPointer<ServiceClient> client = m_client;
    const Attempt<> prepared = co_await attempt(self, client->prepareRange(from, to, follow));
    if (!prepared.ownerGone && prepared.failure)
        setError(prepared.failure);
}

void SessionModel::cancelRange()
{
    if (!rangeWorking() || !m_active)
        return;
    RangeState range = *m_rangeState;
    range.state = QStringLiteral("cancelled");
    range.follow = false;
    range.message = QStringLiteral("Range preparation stopped. Completed entries remain available.");
    setRangeState(range);
    if (QPointer<ServiceClient> client = m_client) {
        [](QPointer<ServiceClient> client) -> QCoro::Task<void> {
            try {
                if (client)
                    co_await client->command(QStringLiteral("range.cancel"));
            } catch (const std::exception &) {
            }
        }(client);
    }
}

void SessionModel::settleRange()
{
    RangeState range = *m_rangeState;
    const double end = window().endMs(elapsed());
    const bool complete = range.state == QLatin1String("following")
        && range.reviewedSegments == range.selectedSegments && !finalSpeechAfter(range.toMs, end);
    range.state = complete ? QStringLiteral("complete") : QStringLiteral("partial");
    range.follow = false;
    range.message = complete ? QStringLiteral("Selected final speech reviewed. Following has stopped.")
                             : QStringLiteral("Preparation interrupted. Completed entries remain available.");
    setRangeState(range);
}
