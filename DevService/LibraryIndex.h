#pragma once

#include "protocol/KnowledgePassage.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace Xapian {
class WritableDatabase;
}

// The passages of a session's library, searchable by what was said: a Xapian in-memory
// database with the English stemmer, ranked by BM25. Said words rarely match a passage's
// words exactly (the recogniser mishears, people paraphrase), so a passage counts as a
// match only when its weight reaches `threshold` and at least two of the words said, apart
// from stop words, are among its words.
class LibraryIndex {
public:
    // Chosen on the labelled sentences of the live mode's tests, misheard ones among them:
    // every sentence naming a passage's subject weighs 1.7 or more; sentences about
    // something else, or touching a passage in passing with a common word or two, 1.4 or
    // less (or share fewer than two words with any passage).
    static constexpr double threshold = 1.6;

    struct Match {
        KnowledgePassage passage;
        double weight = 0;
        QString sentence;  // of the passage, with the most of the words said
        QString phrase;    // the shortest stretch of that sentence holding them
    };

    explicit LibraryIndex(QList<KnowledgePassage> passages);
    ~LibraryIndex();
    LibraryIndex(const LibraryIndex &) = delete;
    LibraryIndex &operator=(const LibraryIndex &) = delete;

    bool isEmpty() const { return m_passages.isEmpty(); }
    // The passages matching `spoken` whose weight reaches `minimumWeight`, best first.
    QList<Match> search(const QString &spoken, double minimumWeight = threshold) const;

private:
    QList<KnowledgePassage> m_passages;
    std::unique_ptr<Xapian::WritableDatabase> m_database;
};
