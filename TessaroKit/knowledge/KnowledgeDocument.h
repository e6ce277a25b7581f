#pragma once

#include "protocol/KnowledgePassage.h"
#include "protocol/WireCoding.h"

#include <QList>
#include <QString>

// One imported reference document of one domain, split into passages.
struct KnowledgeDocument {
    QString id;
    QString title;
    QString domainKey;
    bool enabled = true;
    QString fingerprint;
    // Seconds since 2001-01-01 00:00:00 UTC.
    double importedAt = 0;
    QList<KnowledgePassage> passages;

    // The members of the document object in the knowledge file, every one required.
    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("id", &KnowledgeDocument::id),
            wire::field("title", &KnowledgeDocument::title),
            wire::field("domainKey", &KnowledgeDocument::domainKey),
            wire::field("enabled", &KnowledgeDocument::enabled),
            wire::field("fingerprint", &KnowledgeDocument::fingerprint),
            wire::field("importedAt", &KnowledgeDocument::importedAt),
            wire::field("passages", &KnowledgeDocument::passages)};
    }

    bool operator==(const KnowledgeDocument &) const = default;
};
