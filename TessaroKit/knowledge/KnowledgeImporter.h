#pragma once

#include "knowledge/KnowledgeDocument.h"
#include "platform/PdfText.h"

#include <QList>
#include <QString>

// Turns a text PDF, a UTF-8 text file or a Markdown file into a knowledge document whose
// text is cut into passages of at most 1,800 user-perceived characters, cut after the last
// whitespace where there is one and labelled with the page they come from. Stateless; safe
// to call from a background thread. Every refusal is a TessaroError with the sentence the
// user sees.
class KnowledgeImporter {
public:
    static constexpr qint64 maximumFileBytes = 10'000'000;
    static constexpr int maximumPdfPages = 200;
    static constexpr qsizetype maximumTextBytes = 200'000;
    static constexpr qsizetype maximumPassageCharacters = 1'800;
    static constexpr qsizetype maximumPassages = 160;
    static constexpr qsizetype maximumTitleCharacters = 160;

    // One page of extracted text and the label that says where it is ("Page 4", "Text").
    struct Page {
        QString location;
        QString text;
    };

    KnowledgeImporter() = delete;

    // Reads the file at `path` (extension pdf, txt, md or markdown, in any case) and
    // makes the document for the domain text. PDFs are opened with `openPdf`.
    static KnowledgeDocument read(const QString &path, const QString &domain, const PdfText::Opener &openPdf);

    // Makes the document from its pages, in reading order, with a new id and the current
    // time as its import time.
    static KnowledgeDocument make(const QString &title, const QList<Page> &pages, const QString &domain,
                                  const QString &fingerprint);
};
