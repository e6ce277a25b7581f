#pragma once

#include "protocol/KnowledgePassage.h"

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

    bool operator==(const KnowledgeDocument &) const = default;
};
