#pragma once

#include "platform/PdfText.h"

#include <QList>

#include <memory>

// A PDF document in memory: its lock state and the text of each page, an absent entry
// being a page that cannot be obtained. opener() hands out copies and records the bytes
// it was given.
class FakePdfText : public PdfText {
public:
    bool locked = false;
    QList<std::optional<QString>> pages;

    bool isLocked() const override { return locked; }
    int pageCount() const override { return int(pages.size()); }
    std::optional<QString> pageText(int index) const override;

    // Opens a copy of `document` for any bytes; with a null document nothing opens.
    static PdfText::Opener opener(std::shared_ptr<const FakePdfText> document,
                                  std::shared_ptr<QByteArray> openedBytes = nullptr);
};
