#include "FakePdfText.h"
#include "FailureOf.h"
#include "TestPdf.h"

#include "TestFiles.h"
#include "knowledge/KnowledgeImporter.h"
#include "knowledge/PrivateKnowledge.h"
#include "platform/linux/PopplerPdfText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QUuid>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Pages = QList<KnowledgeImporter::Page>;

const QString sizeRefused = QStringLiteral("Choose a document under 10 MB.");
const QString pdfRefused = QStringLiteral("Choose an unlocked PDF with at most 200 pages.");
const QString typeRefused = QStringLiteral("Use a text PDF, UTF-8 .txt or Markdown document.");
const QString textTooLarge = QStringLiteral("This document exceeds 200 KB of extracted text. Import a smaller section.");
const QString noText = QStringLiteral("No readable text was found. Scanned PDFs need text recognition before import.");
const QString tooManyPassages = QStringLiteral("This document has too many passages. Import a smaller section.");

const QString domain = QStringLiteral("Cardiac electrophysiology");
const QString fingerprint = QString(64, QLatin1Char('a'));

// A passage as the tables expect it: "<label> · passage <n>|<text>".
QString at(const QString &label, int number, const QString &text)
{
    return label + QStringLiteral(" \u00B7 passage ") + QString::number(number) + QLatin1Char('|') + text;
}

QStringList passagesOf(const KnowledgeDocument &document)
{
    QStringList result;
    for (const KnowledgePassage &passage : document.passages)
        result.append(passage.location + QLatin1Char('|') + passage.text);
    return result;
}

// One "Text" page cut into passages of the given texts.
QStringList cut(const QStringList &texts)
{
    QStringList result;
    for (qsizetype i = 0; i < texts.size(); ++i)
        result.append(at(QStringLiteral("Text"), int(i + 1), texts[i]));
    return result;
}

QString x(int count, char letter = 'x')
{
    return QString(count, QLatin1Char(letter));
}

// Every passage names its document, in order.
void verifyIdentity(const KnowledgeDocument &document, const QString &title)
{
    QCOMPARE(document.title, title);
    QCOMPARE(document.domainKey, PrivateKnowledge::domainKey(domain));
    QVERIFY(document.enabled);
    QCOMPARE(document.id, QUuid::fromString(document.id).toString(QUuid::WithoutBraces));
    for (qsizetype i = 0; i < document.passages.size(); ++i) {
        QCOMPARE(document.passages[i].id, document.id + QLatin1Char(':') + QString::number(i + 1));
        QCOMPARE(document.passages[i].documentId, document.id);
        QCOMPARE(document.passages[i].title, title);
    }
}

enum class Reader { None, Poppler, Fake };

} // namespace

Q_DECLARE_METATYPE(Reader)

class tst_KnowledgeImporter : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;

private slots:
    void read_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Reader>("reader");
        QTest::addColumn<QStringList>("passages");
        QTest::addColumn<QString>("failure");

        const auto pdf = [](const QStringList &pages, bool locked = false) { return TestPdf::make(pages, locked); };
        // Pages without text are skipped; a Latin-1 letter beyond ASCII arrives as the same character.
        QTest::newRow("PDF")
            << "Rhythm Notes.pdf"
            << pdf({"Sinus rhythm is the normal rhythm.\nIt starts in the sinoatrial node.", QString(),
                    QStringLiteral("Caf\u00E9 conversations about the AV node.")})
            << Reader::Poppler
            << QStringList{at("Page 1", 1, "Sinus rhythm is the normal rhythm.\nIt starts in the sinoatrial node."),
                           at("Page 3", 1, QStringLiteral("Caf\u00E9 conversations about the AV node."))}
            << QString();
        QStringList many(200);
        many[0] = QStringLiteral("First page.");
        many[199] = QStringLiteral("Last page.");
        QTest::newRow("200 pages") << "long.pdf" << pdf(many) << Reader::Poppler
                                   << QStringList{at("Page 1", 1, "First page."), at("Page 200", 1, "Last page.")}
                                   << QString();
        many.append(QStringLiteral("Page 201."));
        QTest::newRow("201 pages") << "long.pdf" << pdf(many) << Reader::Poppler << QStringList() << pdfRefused;
        QTest::newRow("encrypted") << "locked.pdf" << pdf({"Secret notes"}, true) << Reader::Poppler
                                   << QStringList() << pdfRefused;
        QTest::newRow("not a PDF") << "broken.pdf" << QByteArray("This is plain text, not a PDF at all.")
                                   << Reader::Poppler << QStringList() << pdfRefused;
        QTest::newRow("no PDF reader") << "no-reader.pdf" << pdf({"text"}) << Reader::None << QStringList()
                                       << pdfRefused;
        QTest::newRow("pages that cannot be obtained")
            << "fake.PDF" << QByteArray("%PDF-1.7 bytes handed to the reader") << Reader::Fake
            << QStringList{at("Page 2", 1, "second"), at("Page 4", 1, "fourth")} << QString();

        const QByteArray words = "Some words about the AV node.";
        for (const char *name : {"notes.txt", "notes.MD", "notes.markdown"})
            QTest::newRow(name) << name << words << Reader::None << cut({QString::fromUtf8(words)}) << QString();
        for (const char *name : {"notes.text", "notes"})
            QTest::newRow(name) << name << words << Reader::None << QStringList() << typeRefused;
        QTest::newRow("Markdown with CRLF, accents and emoji")
            << "Heart.md" << QByteArray("# Heading\r\n\r\nFirst line\r\nsecond line with \xC3\xA9 and \xE2\x9D\xA4\xEF\xB8\x8F.\n")
            << Reader::None << cut({QStringLiteral("# Heading\n\nFirst line\nsecond line with \u00E9 and \u2764\uFE0F.")})
            << QString();
        const QList<std::pair<const char *, QByteArray>> invalid{
            {"encoded surrogate", "abc \xED\xA0\x80 def"}, {"Latin-1 text", "caf\xE9 au lait"},
            {"cut at the end", "abc \xE2\x82"}};
        for (const auto &[name, bytes] : invalid)
            QTest::newRow(name) << "latin.txt" << bytes << Reader::None << QStringList() << typeRefused;
        QTest::newRow("empty file") << "big.txt" << QByteArray() << Reader::None << QStringList() << sizeRefused;
        // 10,000,000 bytes pass the size rule and then hit the extracted-text limit.
        QTest::newRow("10,000,000 bytes") << "big.txt" << QByteArray(10'000'000, 'a') << Reader::None << QStringList()
                                          << textTooLarge;
        QTest::newRow("10,000,001 bytes") << "big.txt" << QByteArray(10'000'001, 'a') << Reader::None << QStringList()
                                          << sizeRefused;
    }

    void read()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(Reader, reader);
        QFETCH(QStringList, passages);
        QFETCH(QString, failure);
        const QString path = m_folder.filePath(name);
        QVERIFY(writeFile(path, bytes));
        auto opened = std::make_shared<QByteArray>();
        const PdfText::Opener opener = reader == Reader::Poppler ? PopplerPdfText::opener()
            : reader == Reader::None
            ? PdfText::Opener()
            : FakePdfText::opener({std::nullopt, QStringLiteral("second"), QString(), QStringLiteral("fourth")}, opened);

        const double before = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - 978'307'200.0;
        KnowledgeDocument document;
        QCOMPARE(failureOf([&] { document = KnowledgeImporter::read(path, domain, opener); }), failure);
        if (reader == Reader::Fake)
            QCOMPARE(*opened, bytes);
        if (!failure.isEmpty())
            return;
        QCOMPARE(passagesOf(document), passages);
        verifyIdentity(document, name);
        QCOMPARE(document.fingerprint, PrivateKnowledge::digest(bytes));
        QVERIFY(document.importedAt >= before - 1 && document.importedAt <= before + 60);
    }

    void pathThatIsNoFile()
    {
        QVERIFY(QDir(m_folder.path()).mkpath(QStringLiteral("folder.txt")));
        QCOMPARE(failureOf([&] { KnowledgeImporter::read(m_folder.filePath(QStringLiteral("folder.txt")), domain, {}); }),
                 sizeRefused);
        // A missing file is the system's error, naming it.
        const QString failure =
            failureOf([&] { KnowledgeImporter::read(m_folder.filePath(QStringLiteral("gone.txt")), domain, {}); });
        QVERIFY2(failure.contains(QStringLiteral("gone.txt")) && failure != sizeRefused, qPrintable(failure));
    }

    // Pages cut into passages of at most 1,800 characters, at the last whitespace before the
    // limit, never inside a character.
    void make_data()
    {
        QTest::addColumn<Pages>("pages");
        QTest::addColumn<QStringList>("passages");
        QTest::addColumn<QString>("failure");
        const auto text = [](const QString &value) { return Pages{{QStringLiteral("Text"), value}}; };
        const QString nbsp(QChar(0x00A0));
        const QString accented = QStringLiteral("e\u0301");
        const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");

        QTest::newRow("1,800 without whitespace") << text(x(1800)) << cut({x(1800)}) << QString();
        QTest::newRow("1,801 without whitespace") << text(x(1801)) << cut({x(1800), x(1)}) << QString();
        QTest::newRow("whitespace right after the limit is not looked at")
            << text(x(900, 'a') + ' ' + x(900, 'b') + ' ' + x(10, 'c'))
            << cut({x(900, 'a'), x(900, 'b') + ' ' + x(10, 'c')}) << QString();
        QTest::newRow("space as the 1,800th character")
            << text(x(1799, 'a') + ' ' + x(5, 'b')) << cut({x(1799, 'a'), x(5, 'b')}) << QString();
        QTest::newRow("no-break space is whitespace")
            << text(x(1000) + nbsp + x(1000, 'y')) << cut({x(1000), x(1000, 'y')}) << QString();
        QTest::newRow("1,801 letters of two code points")
            << text(accented.repeated(1801)) << cut({accented.repeated(1800), accented}) << QString();
        QTest::newRow("emoji family at the limit")
            << text(x(1799, 'a') + family + 'b') << cut({x(1799, 'a') + family, "b"}) << QString();
        QTest::newRow("CRLF and NUL characters")
            << text(QStringLiteral("first line\r\nsecond") + QChar(u'\0') + QStringLiteral(" line\r\n\r\nthird\r\n"))
            << cut({"first line\nsecond line\n\nthird"}) << QString();
        QTest::newRow("passage ends are trimmed")
            << text("  \n\t" + x(1200, 'a') + "  \n " + x(1200, 'b') + "\n\n") << cut({x(1200, 'a'), x(1200, 'b')})
            << QString();
        QTest::newRow("numbering across pages")
            << Pages{{"Page 1", x(1000, 'a') + ' ' + x(1000, 'b')}, {"Page 2", "   \n\r\n\t  "}, {"Page 3", "short"},
                     {"Page 4", x(1801, 'd')}}
            << QStringList{at("Page 1", 1, x(1000, 'a')), at("Page 1", 2, x(1000, 'b')), at("Page 3", 1, "short"),
                           at("Page 4", 1, x(1800, 'd')), at("Page 4", 2, "d")}
            << QString();

        // Two-byte letters across pages; the sum is taken before the blanks are trimmed.
        const QString page = QStringLiteral("\u00E9\u00E9\u00E9\u00E9 ").repeated(10'000); // 90,000 bytes
        const QString tail = x(20'000 - 2, 't');
        QTest::newRow("exactly 200,000 bytes of text")
            << Pages{{"Page 1", page}, {"Page 2", page}, {"Page 3", tail + "  "}} << QStringList() << QString();
        QTest::newRow("200,001 bytes of text")
            << Pages{{"Page 1", page}, {"Page 2", page}, {"Page 3", tail + "   "}} << QStringList() << textTooLarge;
        Pages pages;
        QStringList passages;
        for (int i = 1; i <= 161; ++i) {
            if (i == 161)
                QTest::newRow("160 passages") << pages << passages << QString();
            pages.append({QStringLiteral("Page %1").arg(i), QStringLiteral("Passage %1.").arg(i)});
            passages.append(at(QStringLiteral("Page %1").arg(i), 1, QStringLiteral("Passage %1.").arg(i)));
        }
        QTest::newRow("161 passages") << pages << QStringList() << tooManyPassages;
        QTest::newRow("no pages") << Pages() << QStringList() << noText;
        QTest::newRow("blanks") << text(QStringLiteral(" \n\t\r\n \u3000 ")) << QStringList() << noText;
        QTest::newRow("only NUL characters") << text(QString(3, QChar(u'\0'))) << QStringList() << noText;
    }

    void make()
    {
        QFETCH(Pages, pages);
        QFETCH(QStringList, passages);
        QFETCH(QString, failure);
        KnowledgeDocument document;
        QCOMPARE(failureOf([&] { document = KnowledgeImporter::make(QStringLiteral("book.pdf"), pages, domain, fingerprint); }),
                 failure);
        if (failure.isEmpty() && !passages.isEmpty()) {
            QCOMPARE(passagesOf(document), passages);
            verifyIdentity(document, QStringLiteral("book.pdf"));
            QCOMPARE(document.fingerprint, fingerprint);
        }
    }

    void titleIsCutTo160Characters()
    {
        const QString title = QStringLiteral("\u00E9").repeated(50) + QStringLiteral("e\u0301").repeated(150);
        const Pages pages{{QStringLiteral("Text"), x(2000, 'w')}};
        const KnowledgeDocument document = KnowledgeImporter::make(title, pages, domain, fingerprint);
        verifyIdentity(document, QStringLiteral("\u00E9").repeated(50) + QStringLiteral("e\u0301").repeated(110));
        // Each import is a document of its own.
        QVERIFY(KnowledgeImporter::make(title, pages, domain, fingerprint).id != document.id);
    }
};

QTEST_GUILESS_MAIN(tst_KnowledgeImporter)
#include "tst_KnowledgeImporter.moc"
