#include "KnowledgeImporter.h"

#include "knowledge/PrivateKnowledge.h"
#include "protocol/TessaroError.h"
#include "text/UnicodeText.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUuid>

namespace {

const QString sizeRefused = QStringLiteral("Choose a document under 10 MB.");
const QString pdfRefused = QStringLiteral("Choose an unlocked PDF with at most 200 pages.");
const QString typeRefused = QStringLiteral("Use a text PDF, UTF-8 .txt or Markdown document.");
const QString textTooLarge =
    QStringLiteral("This document exceeds 200 KB of extracted text. Import a smaller section.");
const QString noText =
    QStringLiteral("No readable text was found. Scanned PDFs need text recognition before import.");
const QString tooManyPassages = QStringLiteral("This document has too many passages. Import a smaller section.");

const QString passageSeparator = QStringLiteral(" \u00B7 passage ");

TessaroError unreadable(const QString &path, const QString &reason)
{
    return TessaroError::message(QStringLiteral("The file \u201C%1\u201D couldn\u2019t be opened: %2.")
                                     .arg(QFileInfo(path).fileName(), reason));
}

// A user-perceived character made only of White_Space (a space, a tab, a line break).
bool isWhiteSpace(const QString &grapheme)
{
    for (const char32_t codePoint : grapheme.toUcs4()) {
        if (!UnicodeText::isWhiteSpace(codePoint))
            return false;
    }
    return !grapheme.isEmpty();
}

// The text of one page as user-perceived characters, with their UTF-16 offsets so that
// passages are cut out of the text without joining characters again.
class PageCharacters {
public:
    explicit PageCharacters(const QString &text)
        : m_text(text)
    {
        const QStringList characters = UnicodeText::graphemes(text);
        m_offsets.reserve(characters.size() + 1);
        m_whiteSpace.reserve(characters.size());
        qsizetype offset = 0;
        for (const QString &character : characters) {
            m_offsets.append(offset);
            m_whiteSpace.append(isWhiteSpace(character));
            offset += character.size();
        }
        m_offsets.append(offset);
    }

    qsizetype count() const { return m_whiteSpace.size(); }
    bool isWhiteSpaceAt(qsizetype index) const { return m_whiteSpace[index]; }
    QString slice(qsizetype from, qsizetype to) const
    {
        return m_text.mid(m_offsets[from], m_offsets[to] - m_offsets[from]);
    }

private:
    QString m_text;
    QList<qsizetype> m_offsets;
    QList<bool> m_whiteSpace;
};

QList<KnowledgeImporter::Page> pdfPages(const QByteArray &bytes, const PdfText::Opener &openPdf)
{
    const std::unique_ptr<PdfText> pdf = openPdf ? openPdf(bytes) : nullptr;
    if (!pdf || pdf->isLocked())
        throw TessaroError::message(pdfRefused);
    const int pageCount = pdf->pageCount();
    if (pageCount < 0 || pageCount > KnowledgeImporter::maximumPdfPages)
        throw TessaroError::message(pdfRefused);
    QList<KnowledgeImporter::Page> pages;
    for (int index = 0; index < pageCount; ++index) {
        const std::optional<QString> text = pdf->pageText(index);
        if (!text || text->isEmpty())
            continue;
        pages.append({QStringLiteral("Page %1").arg(index + 1), *text});
    }
    return pages;
}

QString utf8Text(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        throw TessaroError::message(typeRefused);
    return text;
}

} // namespace

KnowledgeDocument KnowledgeImporter::read(const QString &path, const QString &domain, const PdfText::Opener &openPdf)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw unreadable(path, QStringLiteral("No such file or directory"));
    if (!info.isFile() || info.size() <= 0 || info.size() > maximumFileBytes)
        throw TessaroError::message(sizeRefused);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw unreadable(path, file.errorString());
    // One byte past the limit is enough to refuse a file that grew since it was measured.
    const QByteArray bytes = file.read(maximumFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw unreadable(path, file.errorString());
    if (bytes.isEmpty() || bytes.size() > maximumFileBytes)
        throw TessaroError::message(sizeRefused);

    const QString extension = info.suffix().toLower();
    QList<Page> pages;
    if (extension == QLatin1String("pdf")) {
        pages = pdfPages(bytes, openPdf);
    } else if (extension == QLatin1String("txt") || extension == QLatin1String("md")
               || extension == QLatin1String("markdown")) {
        pages.append({QStringLiteral("Text"), utf8Text(bytes)});
    } else {
        throw TessaroError::message(typeRefused);
    }
    return make(info.fileName(), pages, domain, PrivateKnowledge::digest(bytes));
}

KnowledgeDocument KnowledgeImporter::make(const QString &title, const QList<Page> &pages, const QString &domain,
                                          const QString &fingerprint)
{
    qsizetype textBytes = 0;
    for (const Page &page : pages) {
        textBytes += page.text.toUtf8().size();
        if (textBytes > maximumTextBytes)
            throw TessaroError::message(textTooLarge);
    }

    KnowledgeDocument document;
    document.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    document.title = UnicodeText::graphemePrefix(title, maximumTitleCharacters);
    document.domainKey = PrivateKnowledge::domainKey(domain);
    document.enabled = true;
    document.fingerprint = fingerprint;

    for (const Page &page : pages) {
        QString text = page.text;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.remove(QChar(u'\0'));
        const PageCharacters characters(UnicodeText::trimmed(text));

        // The remaining text is the characters [start, end); both ends stay trimmed.
        qsizetype start = 0;
        const qsizetype end = characters.count();
        int pagePassage = 0;
        while (start < end) {
            const qsizetype n = std::min(end - start, maximumPassageCharacters);
            qsizetype cut = start + n;
            if (end - start > n) {
                // Just after the last whitespace among the first n characters, if any.
                for (qsizetype i = start + n - 1; i >= start; --i) {
                    if (characters.isWhiteSpaceAt(i)) {
                        cut = i + 1;
                        break;
                    }
                }
            }
            const qsizetype passageStart = start;
            qsizetype passageEnd = cut;
            while (passageEnd > passageStart && characters.isWhiteSpaceAt(passageEnd - 1))
                --passageEnd;
            start = cut;
            while (start < end && characters.isWhiteSpaceAt(start))
                ++start;

            // Counting stops at the first passage past the limit: the document is refused.
            if (document.passages.size() >= maximumPassages)
                throw TessaroError::message(tooManyPassages);
            ++pagePassage;
            KnowledgePassage passage;
            passage.id = document.id + QLatin1Char(':') + QString::number(document.passages.size() + 1);
            passage.documentId = document.id;
            passage.title = document.title;
            passage.location = page.location + passageSeparator + QString::number(pagePassage);
            passage.text = characters.slice(passageStart, passageEnd);
            document.passages.append(passage);
        }
    }

    if (document.passages.isEmpty())
        throw TessaroError::message(noText);
    document.importedAt = PrivateKnowledge::nowSinceReferenceDate();
    return document;
}
