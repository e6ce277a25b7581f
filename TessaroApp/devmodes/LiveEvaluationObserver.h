#pragma once

#include "protocol/PreparedAnswer.h"
#include "protocol/ServerEvent.h"

#include <QJsonArray>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

// What a live evaluation learns from the events of its session: the transcript as it
// arrived, every distinct state each answer went through, whether the service has gone
// quiet, and the first sign of trouble. Times are milliseconds since 1970.
class LiveEvaluationObserver {
public:
    // How long transcript and answers must stay unchanged after "quiet" before the
    // preparation counts as settled.
    static constexpr double calmMs = 700;

    explicit LiveEvaluationObserver(double nowMs);

    void observe(const ServerEvent &event, double nowMs);

    // The settle wait may end: a failure was recorded, or the service is quiet, has been
    // calm for longer than calmMs and has a ready answer.
    bool settled(double nowMs) const;
    // Ends the settle wait: without a failure and without "quiet" the preparation timed out.
    void finishWait();
    // The last ready, final answer of the observed list.
    std::optional<PreparedAnswer> controlTarget() const;

    const QList<PreparedAnswer> &answers() const { return m_answers; }
    const QJsonArray &transcriptEvents() const { return m_transcriptEvents; }
    const QJsonArray &readiness() const { return m_readiness; }
    bool quiet() const { return m_quiet; }
    const std::optional<QString> &failure() const { return m_failure; }
    const QString &sessionID() const { return m_sessionID; }
    double sessionStartedAt() const { return m_sessionStartedAt; }
    bool deeperReadyAtEveryCue() const { return m_deeperReadyAtEveryCue; }

    // The key of one answer state, e.g. "a1:3:ready:complete:false".
    static QString stateKey(const PreparedAnswer &answer);

private:
    void takeAnswers(const QList<PreparedAnswer> &answers, double nowMs);

    QList<PreparedAnswer> m_answers;
    QJsonArray m_transcriptEvents;
    QJsonArray m_readiness;
    QSet<QString> m_readinessKeys;
    bool m_quiet = false;
    std::optional<QString> m_failure;
    QString m_sessionID;
    double m_sessionStartedAt = 0;
    double m_lastActivityMs = 0;
    bool m_deeperReadyAtEveryCue = true;
};
