// The importer's text and Markdown input: a file the user picks, read through
// KnowledgeImporter::read as the knowledge screens do. The first byte picks the file's
// extension; the rest is its content.

#include "ImportCheck.h"

#include <array>

namespace {

const std::array<QString, 5> extensions{QStringLiteral("txt"), QStringLiteral("md"), QStringLiteral("markdown"),
                                        QStringLiteral("MD"), QStringLiteral("Txt")};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QString path = fuzz::scratchFolder() + QStringLiteral("/Field notes.") + extensions[data[0] % extensions.size()];
    fuzz::writeFile(path, fuzz::bytes(data + 1, size - 1));
    try {
        fuzz::checkDocument(KnowledgeImporter::read(path, QStringLiteral("Cardiology"), {}), QStringLiteral("Text"));
    } catch (const TessaroError &error) {
        fuzz::checkRefusal(error);
    }
    return 0;
}
