#pragma once

#include "WireCoding.h"


struct SessionSnapshot {
    QString id;
    QString state;
    qint64 spentMicros = 0;
    qint64 reservedMicros = 0;
    qint64 budgetMicros = 0;
    double startedAt = 0;
    std::optional<QString> reason;
    std::optional<qint64> timeLimitSeconds;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("id", &SessionSnapshot::id),
            wire::field("state", &SessionSnapshot::state),
            wire::field("spentMicros", &SessionSnapshot::spentMicros),
            wire::field("reservedMicros", &SessionSnapshot::reservedMicros),
            wire::field("budgetMicros", &SessionSnapshot::budgetMicros),
            wire::field("startedAt", &SessionSnapshot::startedAt),
            wire::field("reason", &SessionSnapshot::reason),
            wire::field("timeLimitSeconds", &SessionSnapshot::timeLimitSeconds)};
    }

    bool operator==(const SessionSnapshot &) const = default;
};
