#pragma once

#include "WireCoding.h"


struct PreparedFollowUp {
    QString question;
    QString answer;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("question", &PreparedFollowUp::question),
            wire::field("answer", &PreparedFollowUp::answer)};
    }

    bool operator==(const PreparedFollowUp &) const = default;
};
