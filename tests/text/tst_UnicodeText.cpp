#include "text/UnicodeText.h"

#include <QTest>

namespace {

const QString combined = QString::fromUtf16(u"e\u0301");                   // e + combining acute
const QString stacked = QString::fromUtf16(u"a\u0323\u0302\u0301");        // three marks on one letter
const QString family = QString::fromUtf16(u"\U0001F469\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466");
const QString thumbs = QString::fromUtf16(u"\U0001F44D\U0001F3FD");         // with skin tone
const QString rainbowFlag = QString::fromUtf16(u"\U0001F3F3\uFE0F\u200D\U0001F308");
const QString france = QString::fromUtf16(u"\U0001F1EB\U0001F1F7");
const QString germany = QString::fromUtf16(u"\U0001F1E9\U0001F1EA");
const QString hangul = QString::fromUtf16(u"\u1100\u1161\u11A8");           // conjoining jamo

// Every code point with the Unicode White_Space property.
const QList<char32_t> whiteSpace{0x0009, 0x000A, 0x000B, 0x000C, 0x000D, 0x0020, 0x0085, 0x00A0,
                                 0x1680, 0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006,
                                 0x2007, 0x2008, 0x2009, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};

QString codePoint(char32_t c)
{
    return QString::fromUcs4(&c, 1);
}

} // namespace

class UnicodeTextTest : public QObject {
    Q_OBJECT
private slots:
    void graphemeCount_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("count");

        QTest::newRow("empty") << QString() << qsizetype(0);
        QTest::newRow("ASCII") << QStringLiteral("abc") << qsizetype(3);
        QTest::newRow("combining acute") << combined << qsizetype(1);
        QTest::newRow("ZWJ family") << family << qsizetype(1);
        QTest::newRow("two flags") << france + germany << qsizetype(2);
        QTest::newRow("CRLF") << QStringLiteral("\r\n") << qsizetype(1);
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + u'a' << qsizetype(2);
    }

    void graphemeCount()
    {
        QFETCH(QString, text);
        QFETCH(qsizetype, count);
        QCOMPARE(UnicodeText::graphemeCount(text), count);
        const QStringList characters = UnicodeText::graphemes(text);
        QCOMPARE(characters.size(), count);
        QCOMPARE(characters.join(QString()), text);
    }

    void prefixesNeverSplit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("marks") << stacked + combined + u'x' + stacked + hangul + QStringLiteral("\r\n!");
        QTest::newRow("emoji") << family + thumbs + rainbowFlag + france + germany + family;
    }

    // Each prefix is exactly the first n characters, never a part of one; none is negative.
    void prefixesNeverSplit()
    {
        QFETCH(QString, text);
        QCOMPARE(UnicodeText::graphemePrefix(text, -3), QString());
        const QStringList characters = UnicodeText::graphemes(text);
        for (qsizetype n = 0; n <= characters.size() + 1; ++n) {
            const QString prefix = UnicodeText::graphemePrefix(text, n);
            QCOMPARE(prefix, characters.mid(0, n).join(QString()));
            QCOMPARE(UnicodeText::graphemeCount(prefix), std::min(n, characters.size()));
        }
    }

    void trimmed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        for (const char32_t c : whiteSpace) {
            const QString space = codePoint(c);
            QTest::addRow("U+%04X at both ends, kept inside", uint(c))
                << space + space + "a" + space + "b" + space << "a" + space + "b";
        }
        QString all;
        for (const char32_t c : whiteSpace)
            all += codePoint(c);
        QTest::newRow("every kind at both ends") << all + QStringLiteral("x y") + all << QStringLiteral("x y");
        QTest::newRow("only white space") << all << QString();
        // Zero-width space, word joiner, Mongolian vowel separator, soft hyphen: no white space.
        QTest::newRow("invisible characters are kept")
            << QString::fromUtf16(u"\u200B\u2060a\u180E\u00AD") << QString::fromUtf16(u"\u200B\u2060a\u180E\u00AD");
        QTest::newRow("astral characters at the ends")
            << QString::fromUtf16(u"\u3000\U0001F600 \U0001F600\u2028") << QString::fromUtf16(u"\U0001F600 \U0001F600");
        QTest::newRow("combining mark after trailing space kept")
            << QString::fromUtf16(u" a \u0301") << QString::fromUtf16(u"a \u0301");
    }

    void trimmed()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(UnicodeText::trimmed(text), expected);
    }

    void folded_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");

        QTest::newRow("Résumé / RESUME") << QString::fromUtf16(u"Résumé") << QStringLiteral("RESUME") << true;
        QTest::newRow("precomposed / decomposed")
            << QString::fromUtf16(u"caf\u00E9") << QString::fromUtf16(u"CAFE\u0301") << true;
        QTest::newRow("ß / ss") << QString::fromUtf16(u"ß") << QStringLiteral("ss") << true;
        QTest::newRow("final sigma") << QString::fromUtf16(u"ΣΑΣ") << QString::fromUtf16(u"σας") << true;
        QTest::newRow("ligature fi") << QString::fromUtf16(u"\uFB01le") << QStringLiteral("FILE") << true;
        QTest::newRow("stacked marks") << stacked << QStringLiteral("A") << true;
        QTest::newRow("different letters") << QStringLiteral("resume") << QStringLiteral("resumes") << false;
        QTest::newRow("ø is a letter of its own") << QString::fromUtf16(u"ø") << QStringLiteral("o") << false;
    }

    void folded()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        QCOMPARE(UnicodeText::folded(a) == UnicodeText::folded(b), same);
        // Folding is stable.
        QCOMPARE(UnicodeText::folded(UnicodeText::folded(a)), UnicodeText::folded(a));
    }

    void foldedForm()
    {
        QCOMPARE(UnicodeText::folded(QString::fromUtf16(u"Résumé")), QStringLiteral("resume"));
        QCOMPARE(UnicodeText::folded(QString::fromUtf16(u"Straße")), QStringLiteral("strasse"));
    }
};

QTEST_GUILESS_MAIN(UnicodeTextTest)
#include "tst_UnicodeText.moc"
