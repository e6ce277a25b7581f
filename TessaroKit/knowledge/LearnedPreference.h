#pragma once

#include "protocol/WireCoding.h"

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

    // The members of the preference object in the knowledge file, every one required.
    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("id", &LearnedPreference::id),
            wire::field("domainKey", &LearnedPreference::domainKey),
            wire::field("topic", &LearnedPreference::topic),
            wire::field("prominence", &LearnedPreference::prominence),
            wire::field("style", &LearnedPreference::style),
            wire::field("updatedAt", &LearnedPreference::updatedAt)};
    }

    bool operator==(const LearnedPreference &) const = default;
};
