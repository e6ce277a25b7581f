#pragma once

#include "WireCoding.h"


struct AccountDevice {
    QString id;
    QString name;
    double createdAt = 0;
    double expiresAt = 0;
    bool current = false;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("id", &AccountDevice::id),
            wire::field("name", &AccountDevice::name),
            wire::field("createdAt", &AccountDevice::createdAt),
            wire::field("expiresAt", &AccountDevice::expiresAt),
            wire::field("current", &AccountDevice::current)};
    }

    bool operator==(const AccountDevice &) const = default;
};
