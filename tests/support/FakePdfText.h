#pragma once

#include "platform/PdfText.h"

#include <QList>

#include <memory>

// An unlocked PDF document in memory: the text of each page, an absent entry being a page
// that cannot be obtained.
class FakePdfText : public PdfText {
public:
    explicit FakePdfText(QList<std::optional<QString>> pages) : m_pages(std::move(pages)) {}

    bool isLocked() const override { return false; }
    int pageCount() const override { return int(m_pages.size()); }
    std::optional<QString> pageText(int index) const override { return m_pages.value(index); }

    // Opens these pages for any bytes, and records the bytes it was given.
    static PdfText::Opener opener(QList<std::optional<QString>> pages, std::shared_ptr<QByteArray> openedBytes)
    {
        return [pages, openedBytes](const QByteArray &bytes) -> std::unique_ptr<PdfText> {
            *openedBytes = bytes;
            return std::make_unique<FakePdfText>(pages);
        };
    }

private:
    QList<std::optional<QString>> m_pages;
};
