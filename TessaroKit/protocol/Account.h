#pragma once

#include "WireCoding.h"
#include "AccountProfile.h"
#include "Health.h"
#include "Wallet.h"

struct Account {
    Health health;
    Wallet wallet;
    std::optional<AccountProfile> profile;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("health", &Account::health),
            wire::field("wallet", &Account::wallet),
            wire::field("profile", &Account::profile)};
    }

    bool operator==(const Account &) const = default;
};
