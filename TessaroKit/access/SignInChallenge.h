#pragma once

#include "protocol/WireCoding.h"

// The service's reply to a request for an email sign-in code.
struct SignInChallenge {
    QString requestId;
    double expiresAt = 0;
    qint64 retryAfterSeconds = 0;
    std::optional<QString> simulatedCode;

    static constexpr auto wireFields()
    {
        return std::tuple{wire::field("requestId", &SignInChallenge::requestId),
                          wire::field("expiresAt", &SignInChallenge::expiresAt),
                          wire::field("retryAfterSeconds", &SignInChallenge::retryAfterSeconds),
                          wire::field("simulatedCode", &SignInChallenge::simulatedCode)};
    }

    bool operator==(const SignInChallenge &) const = default;
};
