#include "UnicodeText.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <memory>

namespace {

icu::UnicodeString toIcu(const QString &text)
{
    return icu::UnicodeString(reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()));
}

QString fromIcu(const icu::UnicodeString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

// Calls `visit(start, end)` for each grapheme cluster, in UTF-16 offsets; stops when it
// returns false. Falls back to one code unit per character if ICU cannot break.
template <class Visit>
void forEachGrapheme(const QString &text, Visit visit)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaker(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !breaker) {
        for (qsizetype i = 0; i < text.size(); ++i)
            if (!visit(i, i + 1))
                return;
        return;
    }
    const icu::UnicodeString source = toIcu(text);
    breaker->setText(source);
    int32_t start = breaker->first();
    for (int32_t end = breaker->next(); end != icu::BreakIterator::DONE; start = end, end = breaker->next())
        if (!visit(start, end))
            return;
}

} // namespace

qsizetype UnicodeText::graphemeCount(const QString &text)
{
    qsizetype count = 0;
    forEachGrapheme(text, [&](qsizetype, qsizetype) {
        ++count;
        return true;
    });
    return count;
}

QString UnicodeText::graphemePrefix(const QString &text, qsizetype count)
{
    if (count <= 0)
        return {};
    qsizetype taken = 0;
    qsizetype length = text.size();
    forEachGrapheme(text, [&](qsizetype, qsizetype end) {
        if (++taken == count) {
            length = end;
            return false;
        }
        return true;
    });
    return text.left(length);
}

QStringList UnicodeText::graphemes(const QString &text)
{
    QStringList result;
    forEachGrapheme(text, [&](qsizetype start, qsizetype end) {
        result.append(text.mid(start, end - start));
        return true;
    });
    return result;
}

bool UnicodeText::isWhiteSpace(char32_t codePoint)
{
    return u_hasBinaryProperty(UChar32(codePoint), UCHAR_WHITE_SPACE);
}

QString UnicodeText::trimmed(const QString &text)
{
    const QList<uint> codePoints = text.toUcs4();
    qsizetype first = 0;
    qsizetype last = codePoints.size();
    while (first < last && isWhiteSpace(codePoints.at(first)))
        ++first;
    while (last > first && isWhiteSpace(codePoints.at(last - 1)))
        --last;
    if (first == 0 && last == codePoints.size())
        return text;
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(codePoints.constData()) + first, last - first);
}

QString UnicodeText::folded(const QString &text)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *nfd = icu::Normalizer2::getNFDInstance(status);
    const icu::Normalizer2 *nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status))
        return text.toCaseFolded();
    icu::UnicodeString decomposed = nfd->normalize(toIcu(text), status);
    if (U_FAILURE(status))
        return text.toCaseFolded();
    icu::UnicodeString stripped;
    for (int32_t i = 0; i < decomposed.length();) {
        const UChar32 c = decomposed.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK)
            stripped.append(c);
        i += U16_LENGTH(c);
    }
    stripped.foldCase();
    icu::UnicodeString composed = nfc->normalize(stripped, status);
    if (U_FAILURE(status))
        return fromIcu(stripped);
    return fromIcu(composed);
}
