#include "devmodes/LiveEvaluationObserver.h"

#include <QJsonObject>

namespace {

bool readyAndFinal(const PreparedAnswer &answer)
{
    return answer.status == QLatin1String("ready") && !answer.provisional;
}

} // namespace

LiveEvaluationObserver::LiveEvaluationObserver(double nowMs) : m_lastActivityMs(nowMs) {}

QString LiveEvaluationObserver::stateKey(const PreparedAnswer &answer)
{
    return QStringLiteral("%1:%2:%3:%4:%5")
        .arg(answer.id, QString::number(answer.contextVersion), answer.status, answer.preparation,
             answer.hidden ? QStringLiteral("true") : QStringLiteral("false"));
}

void LiveEvaluationObserver::observe(const ServerEvent &event, double nowMs)
{
    if (event.session) {
        m_sessionID = event.session->id;
        m_sessionStartedAt = event.session->startedAt;
    }
    if (const std::optional<Transcript> &segment = event.transcript) {
        QJsonObject entry{{QStringLiteral("at"), nowMs},
                          {QStringLiteral("id"), segment->id},
                          {QStringLiteral("text"), segment->text},
                          {QStringLiteral("final"), segment->final},
                          {QStringLiteral("startMs"), segment->startMs.value_or(0)},
                          {QStringLiteral("endMs"), segment->endMs.value_or(0)}};
        if (segment->lastWordEndMs)
            entry.insert(QStringLiteral("lastWordEndMs"), *segment->lastWordEndMs);
        m_transcriptEvents.append(entry);
        m_lastActivityMs = nowMs;
    }
    if (event.answers)
        takeAnswers(*event.answers, nowMs);
    if (event.type == QLatin1String("answer.started")) {
        m_quiet = false;
        m_lastActivityMs = nowMs;
    } else if (event.type == QLatin1String("quiet")) {
        m_quiet = true;
        m_lastActivityMs = nowMs;
    } else if (event.type == QLatin1String("error")) {
        m_failure = event.code.value_or(QStringLiteral("SERVICE_ERROR"));
    }
}

void LiveEvaluationObserver::takeAnswers(const QList<PreparedAnswer> &answers, double nowMs)
{
    m_answers = answers;
    m_lastActivityMs = nowMs;
    for (const PreparedAnswer &answer : answers) {
        if (readyAndFinal(answer) && (answer.cue.isEmpty() || answer.deeper.isEmpty()))
            m_deeperReadyAtEveryCue = false;
    }
    for (const PreparedAnswer &answer : answers) {
        const QString key = stateKey(answer);
        if (m_readinessKeys.contains(key))
            continue;
        m_readinessKeys.insert(key);
        m_readiness.append(QJsonObject{
            {QStringLiteral("key"), key},
            {QStringLiteral("at"), nowMs},
            {QStringLiteral("id"), answer.id},
            {QStringLiteral("topic"), answer.topic},
            {QStringLiteral("contextVersion"), answer.contextVersion},
            {QStringLiteral("ready"), readyAndFinal(answer)},
            {QStringLiteral("completeDeeper"), !answer.cue.isEmpty() && !answer.deeper.isEmpty()},
            {QStringLiteral("variantsReady"), answer.preparation == QLatin1String("complete")},
            {QStringLiteral("hidden"), answer.hidden}});
    }
}

bool LiveEvaluationObserver::settled(double nowMs) const
{
    if (m_failure)
        return true;
    return m_quiet && nowMs - m_lastActivityMs > calmMs && controlTarget().has_value();
}

void LiveEvaluationObserver::finishWait()
{
    if (!m_failure && !m_quiet)
        m_failure = QStringLiteral("PREPARATION_TIMEOUT");
}

std::optional<PreparedAnswer> LiveEvaluationObserver::controlTarget() const
{
    for (auto answer = m_answers.crbegin(); answer != m_answers.crend(); ++answer) {
        if (readyAndFinal(*answer))
            return *answer;
    }
    return std::nullopt;
}
