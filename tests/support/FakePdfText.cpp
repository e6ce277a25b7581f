#include "FakePdfText.h"

std::optional<QString> FakePdfText::pageText(int index) const
{
    if (index < 0 || index >= pages.size())
        return std::nullopt;
    return pages[index];
}

PdfText::Opener FakePdfText::opener(std::shared_ptr<const FakePdfText> document,
                                    std::shared_ptr<QByteArray> openedBytes)
{
    return [document, openedBytes](const QByteArray &bytes) -> std::unique_ptr<PdfText> {
        if (openedBytes)
            *openedBytes = bytes;
        if (!document)
            return nullptr;
        return std::make_unique<FakePdfText>(*document);
    };
}
