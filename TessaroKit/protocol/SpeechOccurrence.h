#pragma once

#include "WireCoding.h"


struct SpeechOccurrence {
    QString id;
    double startMs = 0;
    double endMs = 0;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("id", &SpeechOccurrence::id),
            wire::field("startMs", &SpeechOccurrence::startMs),
            wire::field("endMs", &SpeechOccurrence::endMs)};
    }

    bool operator==(const SpeechOccurrence &) const = default;
};
