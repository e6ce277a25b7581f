#pragma once

#include <QString>
#include <QStringList>

// Unicode rules over ICU: user-perceived characters (extended grapheme clusters),
// trimming of White_Space (line breaks included) and case- and diacritic-insensitive
// folding.
class UnicodeText {
public:
    static qsizetype graphemeCount(const QString &text);
    // The first `count` user-perceived characters of `text`.
    static QString graphemePrefix(const QString &text, qsizetype count);
    static QStringList graphemes(const QString &text);
    // `text` without White_Space characters (spaces, tabs, every line break) at both ends.
    static QString trimmed(const QString &text);
    static bool isWhiteSpace(char32_t codePoint);
    // Case folded, diacritics removed, composed again: "Résumé" and "RESUME" fold alike.
    static QString folded(const QString &text);
};
