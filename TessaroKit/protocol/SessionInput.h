#pragma once

#include "WireCoding.h"
#include "HistorySegment.h"
#include "KnowledgePassage.h"

struct SessionInput {
    QString domain;
    QString familiarity;
    qint64 budgetMicros = 0;
    QString source;
    std::optional<QList<KnowledgePassage>> knowledge;
    std::optional<qint64> durationMinutes;
    std::optional<double> timeOffsetMs;
    std::optional<QList<HistorySegment>> history;
    std::optional<double> historyAvailableFromMs;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("domain", &SessionInput::domain),
            wire::field("familiarity", &SessionInput::familiarity),
            wire::field("budgetMicros", &SessionInput::budgetMicros),
            wire::field("source", &SessionInput::source),
            wire::field("knowledge", &SessionInput::knowledge),
            wire::field("durationMinutes", &SessionInput::durationMinutes),
            wire::field("timeOffsetMs", &SessionInput::timeOffsetMs),
            wire::field("history", &SessionInput::history),
            wire::field("historyAvailableFromMs", &SessionInput::historyAvailableFromMs)};
    }

    bool operator==(const SessionInput &) const = default;
};
