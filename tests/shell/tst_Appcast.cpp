#include "shell/Appcast.h"

#include "protocol/TessaroError.h"

#include <QTest>

namespace {

QByteArray feed(const QByteArray &items)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
           "<channel><title>Corvana</title><link>https://example.com/channel</link>\n"
        + items + "</channel></rss>\n";
}

} // namespace

class AppcastTest : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void compareVersions_data();
    void compareVersions();
};

void AppcastTest::parse_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("download");
    QTest::addColumn<QString>("error");

    QTest::newRow("elements, numeric order")
        << feed("<item><sparkle:shortVersionString>0.9.2</sparkle:shortVersionString>"
                "<link>https://example.com/0.9.2</link></item>"
                "<item><sparkle:shortVersionString>0.10.0</sparkle:shortVersionString>"
                "<link>https://example.com/0.10.0</link></item>"
                "<item><sparkle:version>0.9.10</sparkle:version><link>https://example.com/0.9.10</link></item>")
        << "0.10.0" << "https://example.com/0.10.0" << QString();
    QTest::newRow("enclosure attributes, enclosure url as download")
        << feed("<item><enclosure url=\"https://example.com/corvana-1.2.deb\" sparkle:version=\"1.2\" "
                "length=\"10\" type=\"application/octet-stream\"/></item>")
        << "1.2" << "https://example.com/corvana-1.2.deb" << QString();
    QTest::newRow("short version wins over build number")
        << feed("<item><sparkle:version>412</sparkle:version>"
                "<enclosure url=\"https://example.com/x\" sparkle:shortVersionString=\"0.5.0\"/></item>")
        << "0.5.0" << "https://example.com/x" << QString();
    QTest::newRow("element wins over attribute")
        << feed("<item><sparkle:shortVersionString>2.0</sparkle:shortVersionString>"
                "<enclosure url=\"https://example.com/x\" sparkle:shortVersionString=\"9.0\"/></item>")
        << "2.0" << "https://example.com/x" << QString();
    QTest::newRow("odd versions are left out")
        << feed("<item><sparkle:version>9.0-beta</sparkle:version></item>"
                "<item><sparkle:version>v8.0</sparkle:version></item>"
                "<item><sparkle:version>7..0</sparkle:version></item>"
                "<item><sparkle:version>.6</sparkle:version></item>"
                "<item><sparkle:version>5.</sparkle:version></item>"
                "<item><sparkle:version>\xd9\xa4.0</sparkle:version></item>"
                "<item><title>no version</title><link>https://example.com/none</link></item>"
                "<item><sparkle:version> 1.0.1 </sparkle:version></item>")
        << "1.0.1" << QString() << QString();
    QTest::newRow("numbers beyond 64 bits")
        << feed("<item><sparkle:version>0.99999999999999999999999</sparkle:version></item>"
                "<item><sparkle:version>0.5</sparkle:version></item>")
        << "0.99999999999999999999999" << QString() << QString();
    QTest::newRow("link that is no web address")
        << feed("<item><sparkle:version>1.0</sparkle:version><link>javascript:alert(1)</link></item>")
        << "1.0" << QString() << QString();
    QTest::newRow("unknown elements skipped")
        << feed("<item><description><![CDATA[<p>notes</p>]]></description><sparkle:version>1.1</sparkle:version>"
                "<other><nested>x</nested></other></item>")
        << "1.1" << QString() << QString();

    QTest::newRow("empty document") << QByteArray() << QString() << QString() << "The update feed is not valid XML";
    QTest::newRow("truncated")
        << feed("<item><sparkle:version>1.0</sparkle:version></item>").chopped(20) << QString() << QString()
        << "The update feed is not valid XML";
    QTest::newRow("undeclared prefix")
        << QByteArray("<rss><channel><item><sparkle:version>1.0</sparkle:version></item></channel></rss>") << QString()
        << QString() << "The update feed is not valid XML";
    QTest::newRow("garbage after the feed")
        << feed("<item><sparkle:version>1.0</sparkle:version></item>") + "<rss/>" << QString() << QString()
        << "The update feed is not valid XML";
    QTest::newRow("html page") << QByteArray("<html><body>Not found</body></html>") << QString() << QString()
                               << "The update feed is not an RSS feed.";
    QTest::newRow("no items") << feed("") << QString() << QString()
                              << "The update feed lists no release with a readable version.";
    QTest::newRow("no readable version")
        << feed("<item><sparkle:version>latest</sparkle:version></item><item><enclosure url=\"https://e.com/x\"/></item>")
        << QString() << QString() << "The update feed lists no release with a readable version.";
}

void AppcastTest::parse()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, version);
    QFETCH(QString, download);
    QFETCH(QString, error);

    try {
        const Appcast appcast = Appcast::parse(document);
        QVERIFY2(error.isEmpty(), "parsed a feed that should fail");
        QCOMPARE(appcast.newest().version, version);
        QCOMPARE(appcast.newest().downloadURL, download);
    } catch (const TessaroError &failure) {
        QVERIFY2(!error.isEmpty(), qPrintable(failure.description()));
        QVERIFY2(failure.description().startsWith(error), qPrintable(failure.description()));
        QVERIFY(failure.description().endsWith(u'.'));
    }
}

void AppcastTest::compareVersions_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("order");
    QTest::newRow("numeric, not textual") << "0.10.0" << "0.9.2" << 1;
    QTest::newRow("missing parts are zero") << "1.0" << "1.0.0" << 0;
    QTest::newRow("longer is newer") << "1.0.1" << "1.0" << 1;
    QTest::newRow("older") << "0.3.9" << "0.4.0" << -1;
    QTest::newRow("no version is lowest") << "beta" << "0.0.1" << -1;
}

void AppcastTest::compareVersions()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, order);
    QCOMPARE(Appcast::compareVersions(a, b), order);
    QCOMPARE(Appcast::compareVersions(b, a), -order);
}

QTEST_GUILESS_MAIN(AppcastTest)
#include "tst_Appcast.moc"
