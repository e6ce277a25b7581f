#pragma once

#include "WireCoding.h"


struct Wallet {
    qint64 balanceMicros = 0;
    qint64 reservedMicros = 0;
    qint64 spentMicros = 0;
    bool simulated = false;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("balanceMicros", &Wallet::balanceMicros),
            wire::field("reservedMicros", &Wallet::reservedMicros),
            wire::field("spentMicros", &Wallet::spentMicros),
            wire::field("simulated", &Wallet::simulated)};
    }

    bool operator==(const Wallet &) const = default;
};
