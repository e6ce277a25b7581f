#pragma once

#include "platform/PdfText.h"

namespace poppler {
class document;
}

// PDF text through poppler-cpp: the lock state, the page count and each page's text in
// reading order (the layout of pdftotext's default mode).
class PopplerPdfText : public PdfText {
public:
    ~PopplerPdfText() override;

    // Null when the bytes are not a PDF poppler can open.
    static std::unique_ptr<PdfText> open(const QByteArray &bytes);
    // Null when the file cannot be read or is not a PDF poppler can open.
    static std::unique_ptr<PdfText> openFile(const QString &path);
    // open() as the importer takes it.
    static PdfText::Opener opener();

    bool isLocked() const override;
    int pageCount() const override;
    std::optional<QString> pageText(int index) const override;

private:
    PopplerPdfText(QByteArray bytes, poppler::document *document);

    // Poppler reads from these bytes for as long as the document lives.
    QByteArray m_bytes;
    std::unique_ptr<poppler::document> m_document;
};
