#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// The plain text of one opened PDF document, page by page. An object belongs to one
// import: it is opened, read and dropped within one call, on whatever thread runs it.
class PdfText {
public:
    // Opens the PDF held in the bytes; null when they are not a PDF that can be opened.
    using Opener = std::function<std::unique_ptr<PdfText>(const QByteArray &bytes)>;

    virtual ~PdfText() = default;

    // Whether the document is encrypted and cannot be read without a password.
    virtual bool isLocked() const = 0;
    virtual int pageCount() const = 0;
    // The plain text of the page at the 0-based index, in reading order; absent when the
    // page cannot be obtained.
    virtual std::optional<QString> pageText(int index) const = 0;
};
