#pragma once

#include "knowledge/PrivateKnowledge.h"

#include <QString>

#include <optional>

// Reads and writes the private knowledge file "private-knowledge.json": one compact JSON
// object holding the whole library, private to the user (folder 0700, file 0600), never
// larger than 8,000,000 bytes and replaced atomically on every save. Dates in the file are
// seconds since 2001-01-01 00:00:00 UTC.
//
// The store holds nothing but the file's location, so one store can be used from any
// thread; saves of one library must still run one after another.
class PrivateKnowledgeStore {
public:
    static constexpr qint64 maximumFileBytes = 8'000'000;
    static constexpr const char *fileName = "private-knowledge.json";
    static constexpr const char *directoryVariable = "TESSARO_KNOWLEDGE_DIRECTORY";

    // Uses `directory`, or directory() when it is absent or empty, and creates it (with
    // any missing parents) owner-only; an existing folder keeps its permissions.
    // Throws TessaroError when the folder cannot be found or created.
    explicit PrivateKnowledgeStore(const std::optional<QString> &directory = std::nullopt);

    // The knowledge folder: TESSARO_KNOWLEDGE_DIRECTORY when it is set and not empty,
    // otherwise defaultDirectory().
    static QString directory();
    // "Corvana" in the user's data folder (XDG_DATA_HOME, usually ~/.local/share); empty
    // when the system names no such folder.
    static QString defaultDirectory();

    // The path of the knowledge file.
    const QString &url() const { return m_url; }

    // The library in the file; the empty library when there is no file yet. Throws
    // TessaroError for a file that cannot be read, is too large or is malformed.
    PrivateKnowledge load() const;
    // Replaces the file with the whole library. Throws TessaroError when the library is too
    // large to keep (the file is then untouched), when writing fails (the previous file
    // stays as it was) or when the file's permissions cannot be set.
    void save(const PrivateKnowledge &knowledge) const;

private:
    QString m_url;
};
