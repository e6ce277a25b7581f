#include "FakePdfText.h"
#include "FailureOf.h"
#include "TestPdf.h"

#include "knowledge/KnowledgeImporter.h"
#include "knowledge/PrivateKnowledge.h"
#include "platform/linux/PopplerPdfText.h"
#include "protocol/TessaroError.h"
#include "text/UnicodeText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

const QString sizeRefused = QStringLiteral("Choose a document under 10 MB.");
const QString pdfRefused = QStringLiteral("Choose an unlocked PDF with at most 200 pages.");
const QString typeRefused = QStringLiteral("Use a text PDF, UTF-8 .txt or Markdown document.");
const QString textTooLarge =
    QStringLiteral("This document exceeds 200 KB of extracted text. Import a smaller section.");
const QString noText =
    QStringLiteral("No readable text was found. Scanned PDFs need text recognition before import.");
const QString tooManyPassages = QStringLiteral("This document has too many passages. Import a smaller section.");

const QString domain = QStringLiteral("Cardiac electrophysiology");
const QString fingerprint = QString(64, QLatin1Char('a'));


QString location(const QString &label, int number)
{
    return label + QStringLiteral(" \u00B7 passage ") + QString::number(number);
}

QStringList texts(const KnowledgeDocument &document)
{
    QStringList result;
    for (const KnowledgePassage &passage : document.passages)
        result.append(passage.text);
    return result;
}

QStringList locations(const KnowledgeDocument &document)
{
    QStringList result;
    for (const KnowledgePassage &passage : document.passages)
        result.append(passage.location);
    return result;
}

QList<qsizetype> characterCounts(const KnowledgeDocument &document)
{
    QList<qsizetype> result;
    for (const KnowledgePassage &passage : document.passages)
        result.append(UnicodeText::graphemeCount(passage.text));
    return result;
}

KnowledgeDocument makeText(const QString &text)
{
    return KnowledgeImporter::make(QStringLiteral("notes.txt"), {{QStringLiteral("Text"), text}}, domain,
                                   fingerprint);
}

QString repeated(const QString &piece, int times)
{
    return piece.repeated(times);
}

} // namespace

class tst_KnowledgeImporter : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_folder.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(m_folder.isValid()); }

    // PDF

    void pdfGivesPassagesForPagesWithText()
    {
        const QByteArray bytes = TestPdf::make({QStringLiteral("Sinus rhythm is the normal rhythm.\nIt starts in the sinoatrial node."),
                                                QString(),
                                                QStringLiteral("Caf\u00E9 conversations about the AV node.")});
        const QString path = writeFile(QStringLiteral("Rhythm Notes.pdf"), bytes);

        const KnowledgeDocument document = KnowledgeImporter::read(path, domain, PopplerPdfText::opener());

        QCOMPARE(locations(document), (QStringList{location("Page 1", 1), location("Page 3", 1)}));
        QCOMPARE(document.passages.size(), 2);
        QCOMPARE(document.passages[0].text,
                 QStringLiteral("Sinus rhythm is the normal rhythm.\nIt starts in the sinoatrial node."));
        // A Latin-1 letter beyond ASCII arrives as the same character.
        QCOMPARE(document.passages[1].text, QStringLiteral("Caf\u00E9 conversations about the AV node."));
        QCOMPARE(document.passages[0].id, document.id + QStringLiteral(":1"));
        QCOMPARE(document.passages[1].id, document.id + QStringLiteral(":2"));
        QCOMPARE(document.title, QStringLiteral("Rhythm Notes.pdf"));
        QCOMPARE(document.fingerprint, PrivateKnowledge::digest(bytes));
        QCOMPARE(document.domainKey, PrivateKnowledge::domainKey(domain));
        QVERIFY(document.enabled);
    }

    void popplerReadsPagesOfARealPdf()
    {
        const std::unique_ptr<PdfText> pdf =
            PopplerPdfText::open(TestPdf::make({QStringLiteral("one"), QString(), QStringLiteral("three")}));
        QVERIFY(pdf);
        QVERIFY(!pdf->isLocked());
        QCOMPARE(pdf->pageCount(), 3);
        QCOMPARE(pdf->pageText(0).value_or(QString()).trimmed(), QStringLiteral("one"));
        QCOMPARE(pdf->pageText(1).value_or(QStringLiteral("missing")).trimmed(), QString());
        QCOMPARE(pdf->pageText(2).value_or(QString()).trimmed(), QStringLiteral("three"));
        QVERIFY(!pdf->pageText(3));
        QVERIFY(!pdf->pageText(-1));
    }

    void encryptedPdfIsRefused()
    {
        const QByteArray bytes = TestPdf::make({QStringLiteral("Secret notes")}, QByteArray("secret"));
        const std::unique_ptr<PdfText> pdf = PopplerPdfText::open(bytes);
        QVERIFY(pdf);
        QVERIFY(pdf->isLocked());

        const QString path = writeFile(QStringLiteral("locked.pdf"), bytes);
        QCOMPARE(failureOf([&] { KnowledgeImporter::read(path, domain, PopplerPdfText::opener()); }), pdfRefused);
    }

    void fakeLockedPdfIsRefused()
    {
        auto locked = std::make_shared<FakePdfText>();
        locked->locked = true;
        locked->pages = {QStringLiteral("would be text")};
        const QString path = writeFile(QStringLiteral("fake-locked.pdf"), "%PDF-1.4 fake");
        QCOMPARE(failureOf([&] { KnowledgeImporter::read(path, domain, FakePdfText::opener(locked)); }), pdfRefused);
    }

    void unreadablePdfIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not a PDF") << QByteArray("This is plain text, not a PDF at all.");
        QTest::newRow("cut short") << TestPdf::make({QStringLiteral("text")}).left(20);
        QTest::newRow("binary noise") << QByteArray(512, '\x9c');
    }

    void unreadablePdfIsRefused()
    {
        QFETCH(QByteArray, bytes);
        const QString path = writeFile(QStringLiteral("broken.pdf"), bytes);
        QCOMPARE(failureOf([&] { KnowledgeImporter::read(path, domain, PopplerPdfText::opener()); }), pdfRefused);
    }

    void pdfWithoutOpenerIsRefused()
    {
        const QString path = writeFile(QStringLiteral("no-reader.pdf"), TestPdf::make({QStringLiteral("text")}));
        QCOMPARE(failureOf([&] { KnowledgeImporter::read(path, domain, PdfText::Opener()); }), pdfRefused);
    }

    void pageCountLimit_data()
    {
        QTest::addColumn<int>("pageCount");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("200 pages") << 200 << true;
        QTest::newRow("201 pages") << 201 << false;
    }

    void pageCountLimit()
    {
        QFETCH(int, pageCount);
        QFETCH(bool, accepted);
        // Only a few pages carry text; the count alone decides.
        QStringList pages(pageCount);
        pages[0] = QStringLiteral("First page.");
        pages[pageCount - 1] = QStringLiteral("Last page.");
        const QString path = writeFile(QStringLiteral("long.pdf"), TestPdf::make(pages));

        const QString failure = failureOf([&] {
            const KnowledgeDocument document = KnowledgeImporter::read(path, domain, PopplerPdfText::opener());
            QCOMPARE(locations(document),
                     (QStringList{location("Page 1", 1), location(QStringLiteral("Page %1").arg(pageCount), 1)}));
        });
        QCOMPARE(failure, accepted ? QString() : pdfRefused);
    }

    void pagesThatCannotBeObtainedAreSkipped()
    {
        auto pdf = std::make_shared<FakePdfText>();
        pdf->pages = {std::nullopt, QStringLiteral("second"), QString(), QStringLiteral("fourth")};
        auto opened = std::make_shared<QByteArray>();
        const QByteArray bytes = "%PDF-1.7 bytes handed to the reader";
        const QString path = writeFile(QStringLiteral("fake.PDF"), bytes);

        const KnowledgeDocument document = KnowledgeImporter::read(path, domain, FakePdfText::opener(pdf, opened));

        QCOMPARE(*opened, bytes);
        QCOMPARE(locations(document), (QStringList{location("Page 2", 1), location("Page 4", 1)}));
        QCOMPARE(texts(document), (QStringList{"second", "fourth"}));
    }

    void pdfWithoutTextIsRefused()
    {
        const QString path = writeFile(QStringLiteral("scan.pdf"), TestPdf::make({QString(), QString()}));
        QCOMPARE(failureOf([&] { KnowledgeImporter::read(path, domain, PopplerPdfText::opener()); }), noText);
    }

    // Files

    void extensions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("txt") << "notes.txt" << true;
        QTest::newRow("md") << "notes.md" << true;
        QTest::newRow("MD in capitals") << "notes.MD" << true;
        QTest::newRow("markdown") << "notes.markdown" << true;
        QTest::newRow("Txt") << "notes.Txt" << true;
        QTest::newRow("text") << "notes.text" << false;
        QTest::newRow("docx") << "notes.docx" << false;
        QTest::newRow("none") << "notes" << false;
        QTest::newRow("md inside the name") << "notes.md.bak" << false;
    }

    void extensions()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        const QString path = writeFile(name, "Some words about the AV node.");
        KnowledgeDocument document;
        const QString failure = failureOf([&] { document = KnowledgeImporter::read(path, domain, {}); });
        QCOMPARE(failure, accepted ? QString() : typeRefused);
        if (accepted) {
            QCOMPARE(document.title, name);
            QCOMPARE(locations(document), QStringList{location("Text", 1)});
            QCOMPARE(texts(document), QStringList{"Some words about the AV node."});
        }
    }

    void textFileIsOnePage()
    {
        const QByteArray bytes = "# Heading\r\n\r\nFirst line\r\nsecond line with \xC3\xA9 and \xE2\x9D\xA4\xEF\xB8\x8F.\n";
        const QString path = writeFile(QStringLiteral("Heart.md"), bytes);
        const double before = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - 978'307'200.0;

        const KnowledgeDocument document = KnowledgeImporter::read(path, domain, {});

        QCOMPARE(texts(document),
                 QStringList{QStringLiteral("# Heading\n\nFirst line\nsecond line with \u00E9 and \u2764\uFE0F.")});
        QCOMPARE(document.passages[0].documentId, document.id);
        QCOMPARE(document.passages[0].title, QStringLiteral("Heart.md"));
        QCOMPARE(document.fingerprint, PrivateKnowledge::digest(bytes));
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"))
                    .match(document.id)
                    .hasMatch());
        QVERIFY(document.importedAt >= before - 1 && document.importedAt <= before + 60);
    }

    void invalidUtf8IsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("lone continuation byte") << QByteArray("abc \x80 def");
        QTest::newRow("overlong slash") << QByteArray("abc \xC0\xAF def");
        QTest::newRow("encoded surrogate") << QByteArray("abc \xED\xA0\x80 def");
        QTest::newRow("beyond U+10FFFF") << QByteArray("abc \xF4\x90\x80\x80 def");
        QTest::newRow("byte FF") << QByteArray("abc \xFF def");
        QTest::newRow("Latin-1 text") << QByteArray("caf\xE9 au lait");
        QTest::newRow("cut at the end") << QByteArray("abc \xE2\x82");
    }

    void invalidUtf8IsRefused()
    {
        QFETCH(QByteArray, bytes);
        const QString path = writeFile(QStringLiteral("latin.txt"), bytes);
        QCOMPARE(failureOf([&] { KnowledgeImporter::read(path, domain, {}); }), typeRefused);
    }

    void fileSizeLimits_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("failure");
        QTest::newRow("empty") << qint64(0) << sizeRefused;
        // 10,000,000 bytes pass the size rule and then hit the extracted-text limit.
        QTest::newRow("10,000,000 bytes") << qint64(10'000'000) << textTooLarge;
        QTest::newRow("10,000,001 bytes") << qint64(10'000'001) << sizeRefused;
    }

    void fileSizeLimits()
    {
        QFETCH(qint64, size);
        QFETCH(QString, failure);
        const QString path = writeFile(QStringLiteral("big.txt"), QByteArray(size, 'a'));
        QCOMPARE(failureOf([&] { KnowledgeImporter::read(path, domain, {}); }), failure);
    }

    void folderIsNotADocument()
    {
        QVERIFY(QDir(m_folder.path()).mkpath(QStringLiteral("folder.txt")));
        QCOMPARE(failureOf([&] { KnowledgeImporter::read(m_folder.filePath(QStringLiteral("folder.txt")), domain, {}); }),
                 sizeRefused);
    }

    void missingFileIsTheSystemsError()
    {
        const QString failure =
            failureOf([&] { KnowledgeImporter::read(m_folder.filePath(QStringLiteral("gone.txt")), domain, {}); });
        QVERIFY(!failure.isEmpty());
        QVERIFY(failure.contains(QStringLiteral("gone.txt")));
        QVERIFY(failure != sizeRefused);
    }

    // Passages

    void cuts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<qsizetype>>("counts");
        QTest::newRow("1,800 without whitespace") << QString(1800, QLatin1Char('x')) << QList<qsizetype>{1800};
        QTest::newRow("1,801 without whitespace") << QString(1801, QLatin1Char('x')) << QList<qsizetype>{1800, 1};
        QTest::newRow("one space after the 1,000th")
            << QString(1000, QLatin1Char('x')) + QLatin1Char(' ') + QString(999, QLatin1Char('y'))
            << QList<qsizetype>{1000, 999};
        QTest::newRow("line break counts as whitespace")
            << QString(1500, QLatin1Char('x')) + QLatin1Char('\n') + QString(500, QLatin1Char('y'))
            << QList<qsizetype>{1500, 500};
        QTest::newRow("whitespace right after the limit is not looked at")
            << QString(900, QLatin1Char('a')) + QLatin1Char(' ') + QString(900, QLatin1Char('b')) + QLatin1Char(' ')
                   + QString(10, QLatin1Char('c'))
            << QList<qsizetype>{900, 911};
        QTest::newRow("space as the 1,800th character")
            << QString(1799, QLatin1Char('a')) + QLatin1Char(' ') + QString(5, QLatin1Char('b'))
            << QList<qsizetype>{1799, 5};
        QTest::newRow("3,601 characters") << QString(3601, QLatin1Char('z')) << QList<qsizetype>{1800, 1800, 1};
        QTest::newRow("no-break space is whitespace")
            << QString(1000, QLatin1Char('x')) + QChar(0x00A0) + QString(1000, QLatin1Char('y'))
            << QList<qsizetype>{1000, 1000};
        QTest::newRow("1,801 accented letters made of two code points")
            << repeated(QStringLiteral("e\u0301"), 1801) << QList<qsizetype>{1800, 1};
        QTest::newRow("emoji family at the limit")
            << QString(1799, QLatin1Char('a')) + QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467") + "b"
            << QList<qsizetype>{1800, 1};
        QTest::newRow("flags at the limit") << repeated(QStringLiteral("\U0001F1EB\U0001F1F7"), 1801)
                                            << QList<qsizetype>{1800, 1};
    }

    void cuts()
    {
        QFETCH(QString, text);
        QFETCH(QList<qsizetype>, counts);
        const KnowledgeDocument document = makeText(text);
        QCOMPARE(characterCounts(document), counts);
        // Nothing is lost but the whitespace at the cuts, and no character is split.
        QString joined;
        for (const QString &passage : texts(document))
            joined += passage;
        const auto withoutWhiteSpace = [](QString value) {
            return value.remove(QLatin1Char(' ')).remove(QLatin1Char('\n')).remove(QChar(0x00A0));
        };
        QCOMPARE(withoutWhiteSpace(joined), withoutWhiteSpace(text));
        for (const QString &passage : texts(document)) {
            const QStringList characters = UnicodeText::graphemes(passage);
            QVERIFY(!characters.isEmpty());
            QVERIFY(!passage.front().isMark());
            QVERIFY(!passage.front().isLowSurrogate());
            QVERIFY(passage.front() != QChar(0x200D));
            QVERIFY(!passage.back().isHighSurrogate());
            QVERIFY(passage.back() != QChar(0x200D));
        }
    }

    void combiningSequenceIsNotSplitAtTheLimit()
    {
        // 1,799 letters, then a letter with two combining marks, then more text: the
        // 1,800th character is the whole sequence.
        const QString sequence = QStringLiteral("a\u0301\u0323");
        const KnowledgeDocument document = makeText(QString(1799, QLatin1Char('x')) + sequence + QStringLiteral("yz"));
        QCOMPARE(texts(document), (QStringList{QString(1799, QLatin1Char('x')) + sequence, "yz"}));
    }

    void windowsLineEndingsAndNulCharacters()
    {
        const KnowledgeDocument document =
            makeText(QStringLiteral("first line\r\nsecond") + QChar(u'\0') + QStringLiteral(" line\r\n\r\nthird\r\n"));
        QCOMPARE(texts(document), QStringList{QStringLiteral("first line\nsecond line\n\nthird")});
    }

    void passageEndsAreTrimmed()
    {
        const QString text = QStringLiteral("  \n\t") + QString(1200, QLatin1Char('a')) + QStringLiteral("  \n ")
                             + QString(1200, QLatin1Char('b')) + QStringLiteral("\n\n");
        QCOMPARE(texts(makeText(text)), (QStringList{QString(1200, QLatin1Char('a')), QString(1200, QLatin1Char('b'))}));
    }

    void numberingAcrossPages()
    {
        const QList<KnowledgeImporter::Page> pages{
            {QStringLiteral("Page 1"), QString(1000, QLatin1Char('a')) + QLatin1Char(' ') + QString(1000, QLatin1Char('b'))},
            {QStringLiteral("Page 2"), QStringLiteral("   \n\r\n\t  ")},
            {QStringLiteral("Page 3"), QStringLiteral("short")},
            {QStringLiteral("Page 4"), QString(1801, QLatin1Char('d'))}};
        const KnowledgeDocument document =
            KnowledgeImporter::make(QStringLiteral("book.pdf"), pages, domain, fingerprint);

        QCOMPARE(locations(document), (QStringList{location("Page 1", 1), location("Page 1", 2), location("Page 3", 1),
                                                   location("Page 4", 1), location("Page 4", 2)}));
        for (qsizetype i = 0; i < document.passages.size(); ++i) {
            QCOMPARE(document.passages[i].id, document.id + QLatin1Char(':') + QString::number(i + 1));
            QCOMPARE(document.passages[i].documentId, document.id);
            QCOMPARE(document.passages[i].title, QStringLiteral("book.pdf"));
        }
        QCOMPARE(document.fingerprint, fingerprint);
    }

    void eachDocumentHasItsOwnId()
    {
        QVERIFY(makeText(QStringLiteral("one")).id != makeText(QStringLiteral("one")).id);
    }

    void titleIsCutTo160Characters()
    {
        const QString title = repeated(QStringLiteral("\u00E9"), 50) + repeated(QStringLiteral("e\u0301"), 150);
        const KnowledgeDocument document = KnowledgeImporter::make(
            title, {{QStringLiteral("Text"), QString(2000, QLatin1Char('w'))}}, domain, fingerprint);
        const QString expected = repeated(QStringLiteral("\u00E9"), 50) + repeated(QStringLiteral("e\u0301"), 110);
        QCOMPARE(document.title, expected);
        for (const KnowledgePassage &passage : document.passages)
            QCOMPARE(passage.title, expected);
    }

    void extractedTextLimit_data()
    {
        QTest::addColumn<QList<KnowledgeImporter::Page>>("pages");
        QTest::addColumn<QString>("failure");
        // Two-byte letters across pages; the sum is taken before the blanks are trimmed.
        const QString page = repeated(QStringLiteral("\u00E9\u00E9\u00E9\u00E9 "), 10'000); // 90,000 bytes
        const QString tail = QString(20'000 - 2, QLatin1Char('t'));
        QTest::newRow("exactly 200,000 bytes")
            << QList<KnowledgeImporter::Page>{{"Page 1", page}, {"Page 2", page}, {"Page 3", tail + "  "}}
            << QString();
        QTest::newRow("200,001 bytes")
            << QList<KnowledgeImporter::Page>{{"Page 1", page}, {"Page 2", page}, {"Page 3", tail + "   "}}
            << textTooLarge;
    }

    void extractedTextLimit()
    {
        QFETCH(QList<KnowledgeImporter::Page>, pages);
        QFETCH(QString, failure);
        QCOMPARE(failureOf([&] { KnowledgeImporter::make(QStringLiteral("big.pdf"), pages, domain, fingerprint); }),
                 failure);
    }

    void passageCountLimit_data()
    {
        QTest::addColumn<int>("passages");
        QTest::addColumn<QString>("failure");
        QTest::newRow("160 passages") << 160 << QString();
        QTest::newRow("161 passages") << 161 << tooManyPassages;
    }

    void passageCountLimit()
    {
        QFETCH(int, passages);
        QFETCH(QString, failure);
        QList<KnowledgeImporter::Page> pages;
        for (int i = 0; i < passages; ++i)
            pages.append({QStringLiteral("Page %1").arg(i + 1), QStringLiteral("Passage %1.").arg(i + 1)});
        KnowledgeDocument document;
        QCOMPARE(failureOf([&] { document = KnowledgeImporter::make(QStringLiteral("many.pdf"), pages, domain, fingerprint); }),
                 failure);
        if (failure.isEmpty())
            QCOMPARE(document.passages.size(), passages);
    }

    void noPassage_data()
    {
        QTest::addColumn<QList<KnowledgeImporter::Page>>("pages");
        QTest::newRow("no pages") << QList<KnowledgeImporter::Page>{};
        QTest::newRow("blanks") << QList<KnowledgeImporter::Page>{{"Text", QStringLiteral(" \n\t\r\n \u3000 ")}};
        QTest::newRow("only NUL characters") << QList<KnowledgeImporter::Page>{{"Text", QString(3, QChar(u'\0'))}};
    }

    void noPassage()
    {
        QFETCH(QList<KnowledgeImporter::Page>, pages);
        QCOMPARE(failureOf([&] { KnowledgeImporter::make(QStringLiteral("blank.txt"), pages, domain, fingerprint); }),
                 noText);
    }

    void blankTextFileIsRefused()
    {
        const QString path = writeFile(QStringLiteral("blank.txt"), " \n\n\t ");
        QCOMPARE(failureOf([&] { KnowledgeImporter::read(path, domain, {}); }), noText);
    }
};

QTEST_GUILESS_MAIN(tst_KnowledgeImporter)
#include "tst_KnowledgeImporter.moc"
