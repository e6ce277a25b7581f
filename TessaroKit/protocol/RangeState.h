#pragma once

#include "WireCoding.h"
#include "PreparedAnswer.h"

struct RangeState {
    QString id;
    double fromMs = 0;
    double toMs = 0;
    double availableFromMs = 0;
    bool follow = false;
    QString state;
    qint64 selectedSegments = 0;
    qint64 reviewedSegments = 0;
    qint64 reusedEntries = 0;
    QList<PreparedAnswer> answers;
    QString message;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("id", &RangeState::id),
            wire::field("fromMs", &RangeState::fromMs),
            wire::field("toMs", &RangeState::toMs),
            wire::field("availableFromMs", &RangeState::availableFromMs),
            wire::field("follow", &RangeState::follow),
            wire::field("state", &RangeState::state),
            wire::field("selectedSegments", &RangeState::selectedSegments),
            wire::field("reviewedSegments", &RangeState::reviewedSegments),
            wire::field("reusedEntries", &RangeState::reusedEntries),
            wire::field("answers", &RangeState::answers),
            wire::field("message", &RangeState::message)};
    }

    bool operator==(const RangeState &) const = default;
};
