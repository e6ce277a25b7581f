#pragma once

// What holds for every document the importer makes, whatever file it was made from.

#include "FuzzSupport.h"

#include "knowledge/KnowledgeImporter.h"
#include "protocol/TessaroError.h"
#include "text/UnicodeText.h"

namespace fuzz {

// The refusals the importer may answer a file with.
inline void checkRefusal(const TessaroError &error)
{
    static const QStringList refusals{
        QStringLiteral("Choose a document under 10 MB."),
        QStringLiteral("Choose an unlocked PDF with at most 200 pages."),
        QStringLiteral("Use a text PDF, UTF-8 .txt or Markdown document."),
        QStringLiteral("This document exceeds 200 KB of extracted text. Import a smaller section."),
        QStringLiteral("No readable text was found. Scanned PDFs need text recognition before import."),
        QStringLiteral("This document has too many passages. Import a smaller section."),
    };
    FUZZ_CHECK(refusals.contains(error.description()), error.description());
}

inline bool onlyWhiteSpace(const QString &character)
{
    for (const char32_t codePoint : character.toUcs4()) {
        if (!UnicodeText::isWhiteSpace(codePoint))
            return false;
    }
    return true;
}

// `locationPrefix` is what every passage's location starts with ("Text" or "Page ").
inline void checkDocument(const KnowledgeDocument &document, const QString &locationPrefix)
{
    FUZZ_CHECK(!document.passages.isEmpty(), document.id);
    FUZZ_CHECK(document.passages.size() <= KnowledgeImporter::maximumPassages,
               QString::number(document.passages.size()));
    FUZZ_CHECK(document.enabled && document.fingerprint.size() == 64, document.fingerprint);
    for (qsizetype i = 0; i < document.passages.size(); ++i) {
        const KnowledgePassage &passage = document.passages[i];
        FUZZ_CHECK(passage.id == document.id + u':' + QString::number(i + 1), passage.id);
        FUZZ_CHECK(passage.documentId == document.id && passage.title == document.title, passage.title);
        FUZZ_CHECK(passage.location.startsWith(locationPrefix)
                       && passage.location.contains(QStringLiteral(" \u00B7 passage ")),
                   passage.location);
        // Trimmed by user-perceived characters: a space that carries a combining mark is one
        // character that is not whitespace, and stays.
        const QStringList characters = UnicodeText::graphemes(passage.text);
        FUZZ_CHECK(!characters.isEmpty(), passage.location);
        FUZZ_CHECK(!onlyWhiteSpace(characters.first()) && !onlyWhiteSpace(characters.last()), passage.text);
        FUZZ_CHECK(!passage.text.contains(QChar(u'\0')), passage.location);
        FUZZ_CHECK(characters.size() <= KnowledgeImporter::maximumPassageCharacters, passage.location);
    }
    // The document goes into the knowledge file and with sessions as JSON.
    try {
        (void)wire::encode(document);
    } catch (const std::exception &failure) {
        broken("an imported document encodes", QString::fromUtf8(failure.what()));
    }
}

} // namespace fuzz
