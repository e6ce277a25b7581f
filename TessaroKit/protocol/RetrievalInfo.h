#pragma once

#include "WireCoding.h"


struct RetrievalInfo {
    bool searched = false;
    qint64 matched = 0;
    double elapsedMs = 0;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("searched", &RetrievalInfo::searched),
            wire::field("matched", &RetrievalInfo::matched),
            wire::field("elapsedMs", &RetrievalInfo::elapsedMs)};
    }

    bool operator==(const RetrievalInfo &) const = default;
};
