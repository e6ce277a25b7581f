#include "PopplerPdfText.h"

#include <QFile>

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <limits>
#include <mutex>

namespace {

// Poppler reports every damaged object on standard error; a document that cannot be
// opened is reported to the caller instead.
void quietPoppler()
{
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function([](const std::string &, void *) {}, nullptr); });
}

QString toQString(const poppler::ustring &text)
{
    const poppler::byte_array utf8 = text.to_utf8();
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

} // namespace

PopplerPdfText::PopplerPdfText(QByteArray bytes, poppler::document *document)
    : m_bytes(std::move(bytes)), m_document(document)
{
}

PopplerPdfText::~PopplerPdfText() = default;

std::unique_ptr<PdfText> PopplerPdfText::open(const QByteArray &bytes)
{
    quietPoppler();
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<int>::max())
        return nullptr;
    // The document keeps pointing into the bytes, so it is loaded from the copy it keeps.
    std::unique_ptr<PopplerPdfText> result(new PopplerPdfText(bytes, nullptr));
    poppler::document *document =
        poppler::document::load_from_raw_data(result->m_bytes.constData(), int(result->m_bytes.size()));
    if (!document)
        return nullptr;
    result->m_document.reset(document);
    return result;
}

std::unique_ptr<PdfText> PopplerPdfText::openFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    return open(file.readAll());
}

PdfText::Opener PopplerPdfText::opener()
{
    return [](const QByteArray &bytes) { return open(bytes); };
}

bool PopplerPdfText::isLocked() const
{
    return m_document->is_locked();
}

int PopplerPdfText::pageCount() const
{
    return m_document->pages();
}

std::optional<QString> PopplerPdfText::pageText(int index) const
{
    if (index < 0 || index >= m_document->pages() || m_document->is_locked())
        return std::nullopt;
    const std::unique_ptr<poppler::page> page(m_document->create_page(index));
    if (!page)
        return std::nullopt;
    QString text = toQString(page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout));
    // Poppler ends every page with a form feed; it is not part of the page's text.
    while (text.endsWith(QLatin1Char('\f')))
        text.chop(1);
    return text;
}
