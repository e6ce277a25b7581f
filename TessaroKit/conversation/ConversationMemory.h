#pragma once

#include "protocol/HistorySegment.h"
#include "protocol/PreparedAnswer.h"
#include "protocol/SessionSnapshot.h"
#include "protocol/Transcript.h"

#include <QHash>
#include <QList>
#include <QStringList>

// The in-process record of one conversation: its transcript segments in order of start
// time, the prepared answers in order of first arrival, the spend committed by each
// service session, and the conversation time before which speech has been dropped.
// Bounded by segment count, total text length and answer count.
class ConversationMemory {
public:
    static constexpr qsizetype maximumSegments = 2500;
    static constexpr qsizetype maximumTextUnits = 400000;
    static constexpr qsizetype maximumAnswers = 1200;

    explicit ConversationMemory(qint64 limitMicros = 0);

    const QList<Transcript> &transcript() const;
    const QList<PreparedAnswer> &answers() const;
    // Earliest conversation time still covered by the transcript; never decreases.
    double availableFromMs() const;
    qint64 limitMicros() const;

    // Adds or replaces one segment (by id), keeps the list ordered by start time, trims
    // the oldest speech beyond the limits and drops answers whose speech has left.
    void append(const Transcript &segment);
    // Adds or replaces answers by id, in place, keeping at most the newest 1,200.
    void merge(const QList<PreparedAnswer> &incoming);
    // Records what one service session has spent plus reserved.
    void account(const SessionSnapshot &snapshot);

    qint64 committedMicros() const;
    // The allowance left, never below 0.
    qint64 remainingMicros() const;
    QStringList sessionIDs() const;
    // The final segments, in held order.
    QList<HistorySegment> history() const;

    bool operator==(const ConversationMemory &) const = default;

private:
    QList<Transcript> m_transcript;
    QList<PreparedAnswer> m_answers;
    double m_availableFromMs = 0;
    qint64 m_limitMicros = 0;
    QHash<QString, qint64> m_commitments;
};
