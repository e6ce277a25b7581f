#pragma once

#include "WireCoding.h"


struct AccountProfile {
    QString email;
    QString deviceId;
    double expiresAt = 0;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("email", &AccountProfile::email),
            wire::field("deviceId", &AccountProfile::deviceId),
            wire::field("expiresAt", &AccountProfile::expiresAt)};
    }

    bool operator==(const AccountProfile &) const = default;
};
