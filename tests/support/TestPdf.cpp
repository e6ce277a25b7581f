#include "TestPdf.h"

#include <QCryptographicHash>
#include <QList>

#include <array>
#include <utility>

namespace {

const QByteArray passwordPadding = QByteArray::fromHex(
    "28bf4e5e4e758a4164004e56fffa01082e2e00b6d0683e802f0ca9fe6453697a");

QByteArray rc4(const QByteArray &key, const QByteArray &data)
{
    std::array<unsigned char, 256> state{};
    for (int i = 0; i < 256; ++i)
        state[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + state[i] + static_cast<unsigned char>(key[i % key.size()])) & 0xFF;
        std::swap(state[i], state[j]);
    }
    QByteArray out(data.size(), Qt::Uninitialized);
    for (qsizetype n = 0, i = 0, j = 0; n < data.size(); ++n) {
        i = (i + 1) & 0xFF;
        j = (j + state[i]) & 0xFF;
        std::swap(state[i], state[j]);
        out[n] = char(static_cast<unsigned char>(data[n]) ^ state[(state[i] + state[j]) & 0xFF]);
    }
    return out;
}

QByteArray md5(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5);
}

QByteArray padded(const QByteArray &password)
{
    return (password + passwordPadding).left(32);
}

QByteArray littleEndian(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xFF);
    return out;
}

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

QByteArray TestPdf::make(const QStringList &pageTexts, const std::optional<QByteArray> &userPassword)
{
    // Objects: 1 catalog, 2 page tree, 3 font, then a page and its content per text,
    // then the encryption dictionary if there is one.
    const int pageCount = int(pageTexts.size());
    const int objectCount = 3 + 2 * pageCount + (userPassword ? 1 : 0);
    const int encryptObject = objectCount;
    const QByteArray fileId = md5(QByteArray::number(pageCount) + pageTexts.join(QLatin1Char('|')).toUtf8());

    QByteArray fileKey;
    QByteArray ownerEntry;
    QByteArray userEntry;
    constexpr qint32 permissions = -44;
    if (userPassword) {
        ownerEntry = rc4(md5(padded("owner-" + *userPassword)).left(5), padded(*userPassword));
        fileKey = md5(padded(*userPassword) + ownerEntry + littleEndian(quint32(permissions), 4) + fileId).left(5);
        userEntry = rc4(fileKey, passwordPadding);
    }
    const auto protect = [&](int object, const QByteArray &data) {
        if (!userPassword)
            return data;
        const QByteArray objectKey = md5(fileKey + littleEndian(quint32(object), 3) + littleEndian(0, 2)).left(10);
        return rc4(objectKey, data);
    };

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
        const int content = page + 1;
        add(page, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >>"
                  " /Contents " + QByteArray::number(content) + " 0 R >>");
        const QByteArray stream = protect(content, contentFor(pageTexts[i]));
        add(content, "<< /Length " + QByteArray::number(stream.size()) + " >>\nstream\n" + stream + "\nendstream");
    }
    if (userPassword)
        add(encryptObject, "<< /Filter /Standard /V 1 /R 2 /Length 40 /P " + QByteArray::number(permissions)
                               + " /O <" + ownerEntry.toHex() + "> /U <" + userEntry.toHex() + "> >>");

    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objectCount + 1) + "\n";
    pdf += "0000000000 65535 f \n";
    for (int object = 1; object <= objectCount; ++object)
        pdf += QByteArray::number(offsets[object]).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objectCount + 1) + " /Root 1 0 R";
    if (userPassword)
        pdf += " /Encrypt " + QByteArray::number(encryptObject) + " 0 R";
    pdf += " /ID [<" + fileId.toHex() + "> <" + fileId.toHex() + ">] >>\n";
    pdf += "startxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}
