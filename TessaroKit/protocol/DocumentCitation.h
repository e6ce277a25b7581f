#pragma once

#include "WireCoding.h"


struct DocumentCitation {
    QString id;
    QString documentId;
    QString title;
    QString location;
    QString quote;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("id", &DocumentCitation::id),
            wire::field("documentId", &DocumentCitation::documentId),
            wire::field("title", &DocumentCitation::title),
            wire::field("location", &DocumentCitation::location),
            wire::field("quote", &DocumentCitation::quote)};
    }

    bool operator==(const DocumentCitation &) const = default;
};
