#pragma once

#include <QString>

// What the user's feedback taught about one topic of one domain.
struct LearnedPreference {
    QString id;
    QString domainKey;
    QString topic;
    QString prominence;
    QString style;
    // Seconds since 2001-01-01 00:00:00 UTC.
    double updatedAt = 0;

    bool operator==(const LearnedPreference &) const = default;
};
