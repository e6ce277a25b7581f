#pragma once

#include "WireCoding.h"


struct Health {
    QString mode;
    bool liveReady = false;
    QString pricingVersion;
    std::optional<qint64> maxSessionMinutes;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("mode", &Health::mode),
            wire::field("liveReady", &Health::liveReady),
            wire::field("pricingVersion", &Health::pricingVersion),
            wire::field("maxSessionMinutes", &Health::maxSessionMinutes)};
    }

    bool operator==(const Health &) const = default;
};
