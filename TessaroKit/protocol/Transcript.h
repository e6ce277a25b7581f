#pragma once

#include "WireCoding.h"


struct Transcript {
    QString id;
    QString text;
    QString channel;
    bool final = false;
    std::optional<double> startMs;
    std::optional<double> endMs;
    std::optional<double> lastWordEndMs;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("id", &Transcript::id),
            wire::field("text", &Transcript::text),
            wire::field("channel", &Transcript::channel),
            wire::field("final", &Transcript::final),
            wire::field("startMs", &Transcript::startMs),
            wire::field("endMs", &Transcript::endMs),
            wire::field("lastWordEndMs", &Transcript::lastWordEndMs)};
    }

    bool operator==(const Transcript &) const = default;
};
