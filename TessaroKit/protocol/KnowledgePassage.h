#pragma once

#include "WireCoding.h"


struct KnowledgePassage {
    QString id;
    QString documentId;
    QString title;
    QString location;
    QString text;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("id", &KnowledgePassage::id),
            wire::field("documentId", &KnowledgePassage::documentId),
            wire::field("title", &KnowledgePassage::title),
            wire::field("location", &KnowledgePassage::location),
            wire::field("text", &KnowledgePassage::text)};
    }

    bool operator==(const KnowledgePassage &) const = default;
};
