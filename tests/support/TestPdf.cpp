#include "TestPdf.h"

#include <QList>

namespace {

// A PDF literal string of Latin-1 text.
QByteArray literal(const QString &text)
{
    QByteArray out = "(";
    for (const QChar c : text) {
        const char byte = c.unicode() < 256 ? char(c.unicode()) : '?';
        if (byte == '(' || byte == ')' || byte == '\\')
            out += '\\';
        out += byte;
    }
    return out + ')';
}

QByteArray contentFor(const QString &text)
{
    if (text.isEmpty())
        return {};
    QByteArray content = "BT\n/F1 10 Tf\n12 TL\n40 760 Td\n";
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            content += "T*\n";
        content += literal(lines[i]) + " Tj\n";
    }
    return content + "ET\n";
}

} // namespace

QByteArray TestPdf::make(const QStringList &pageTexts, bool locked)
{
    // Objects: 1 catalog, 2 page tree, 3 font, then a page and its content per text,
    // then the encryption dictionary of a locked file.
    const int pageCount = int(pageTexts.size());
    const int objectCount = 3 + 2 * pageCount + (locked ? 1 : 0);
    QByteArray pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    QList<qsizetype> offsets(objectCount + 1, 0);
    const auto add = [&](int object, const QByteArray &body) {
        offsets[object] = pdf.size();
        pdf += QByteArray::number(object) + " 0 obj\n" + body + "\nendobj\n";
    };

    QByteArray kids;
    for (int i = 0; i < pageCount; ++i)
        kids += QByteArray::number(4 + 2 * i) + " 0 R ";
    add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    add(2, "<< /Type /Pages /Kids [" + kids.trimmed() + "] /Count " + QByteArray::number(pageCount) + " >>");
    add(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    for (int i = 0; i < pageCount; ++i) {
        const int page = 4 + 2 * i;
        add(page, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >>"
                  " /Contents " + QByteArray::number(page + 1) + " 0 R >>");
        const QByteArray stream = contentFor(pageTexts[i]);
        add(page + 1, "<< /Length " + QByteArray::number(stream.size()) + " >>\nstream\n" + stream + "\nendstream");
    }
    if (locked)
        add(objectCount, "<< /Filter /Standard /V 1 /R 2 /Length 40 /P -44 /O <" + QByteArray(32, '\x5a').toHex()
                             + "> /U <" + QByteArray(32, '\xa5').toHex() + "> >>");

    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objectCount + 1) + "\n0000000000 65535 f \n";
    for (int object = 1; object <= objectCount; ++object)
        pdf += QByteArray::number(offsets[object]).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objectCount + 1) + " /Root 1 0 R";
    if (locked)
        pdf += " /Encrypt " + QByteArray::number(objectCount) + " 0 R";
    const QByteArray fileId = QByteArray::number(pageCount).rightJustified(16, '0').toHex();
    pdf += " /ID [<" + fileId + "> <" + fileId + ">] >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}
