#pragma once

#include "protocol/PreparedAnswer.h"

#include <QString>

// A selected stretch of the conversation and a category of answers. Times are
// conversation time in milliseconds.
struct AnswerWindow {
    static constexpr double maximumSpanMs = 600'000;

    QString mode;       // "continue", "past" or "now"; anything else behaves as "continue"
    double anchorMs = 0;
    double lookbackSeconds = 0;
    QString category;   // "all", or the exact category to keep

    // Never below 0.
    double startMs() const;
    double endMs(double elapsed) const;
    bool contains(const PreparedAnswer &answer, double elapsed) const;

    // Minutes and seconds, "%d:%02d"; negative times read as 0 and minutes do not wrap.
    static QString timestamp(double ms);

    // The labels of the range controls: "Past + present", "Past only", "Starting now";
    // "All", "Terms", "Dates". An unknown mode is labelled as "continue"; an unknown
    // category by its own text.
    static QString modeLabel(const QString &mode);
    static QString categoryLabel(const QString &category);

    bool operator==(const AnswerWindow &) const = default;
};
