#pragma once

#include "protocol/WireCoding.h"

// The service's reply to a redeemed sign-in code.
struct SignInGrant {
    QString token;
    double expiresAt = 0;
    QString deviceId;

    static constexpr auto wireFields()
    {
        return std::tuple{wire::field("token", &SignInGrant::token),
                          wire::field("expiresAt", &SignInGrant::expiresAt),
                          wire::field("deviceId", &SignInGrant::deviceId)};
    }

    bool operator==(const SignInGrant &) const = default;
};
