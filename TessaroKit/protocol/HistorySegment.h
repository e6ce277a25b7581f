#pragma once

#include "WireCoding.h"
#include "Transcript.h"

struct HistorySegment {
    HistorySegment() = default;
    HistorySegment(QString id, QString text, QString channel, double startMs, double endMs);
    // A missing start counts as 0; a missing end as the start.
    explicit HistorySegment(const Transcript &transcript);

    QString id;
    QString text;
    QString channel;
    double startMs = 0;
    double endMs = 0;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("id", &HistorySegment::id),
            wire::field("text", &HistorySegment::text),
            wire::field("channel", &HistorySegment::channel),
            wire::field("startMs", &HistorySegment::startMs),
            wire::field("endMs", &HistorySegment::endMs)};
    }

    bool operator==(const HistorySegment &) const = default;
};
