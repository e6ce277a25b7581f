// The importer's PDF input through the real Poppler reader: a file the user picks, read
// through KnowledgeImporter::read with PopplerPdfText as the application does.

#include "ImportCheck.h"

#include "platform/linux/PopplerPdfText.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzz::scratchFolder() + QStringLiteral("/Field guide.pdf");
    fuzz::writeFile(path, fuzz::bytes(data, size));
    try {
        fuzz::checkDocument(KnowledgeImporter::read(path, QStringLiteral("Cardiology"), PopplerPdfText::opener()),
                            QStringLiteral("Page "));
    } catch (const TessaroError &error) {
        fuzz::checkRefusal(error);
    }
    return 0;
}
