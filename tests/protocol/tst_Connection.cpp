#include "protocol/Connection.h"
#include "protocol/TessaroError.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

class ConnectionTest : public QObject {
    Q_OBJECT
private slots:
    void construction_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("stored"); // the address kept; null when refused

        // How addresses parse is UrlComponents' rule; these are the connection's own.
        const QString refused;
        const QString goodToken = QStringLiteral("tsr_0123456789abcdefghijklmn");
        const auto url = [&](const char *name, const QString &text, const QString &stored) {
            QTest::newRow(name) << text << goodToken << stored;
        };
        url("https, host case kept", "https://API.Example.com", "https://API.Example.com");
        url("https, port, one trailing slash", "https://api.example.com:8443/", "https://api.example.com:8443");
        url("https, two trailing slashes", "https://api.example.com//", refused);
        url("http localhost", "http://localhost:8080", "http://localhost:8080");
        url("http 127.0.0.1", "http://127.0.0.1:5173", "http://127.0.0.1:5173");
        url("http [::1]", "http://[::1]:8080", "http://[::1]:8080");
        url("http LOCALHOST", "http://LOCALHOST:8080", refused);
        url("http 127.0.0.2", "http://127.0.0.2:8080", refused);
        url("http public host", "http://api.example.com", refused);
        url("HTTPS upper case", "HTTPS://api.example.com", refused);
        url("ws scheme", "ws://localhost:8080", refused);
        url("query", "https://api.example.com/?a=1", refused);
        url("fragment", "https://api.example.com/#top", refused);
        url("user", "https://user@api.example.com", refused);
        url("path /v1", "https://api.example.com/v1", refused);
        url("missing scheme", "api.example.com", refused);
        url("no host", "https:///", refused);
        url("space in host", "https://api example.com", refused);

        // "e" + combining acute: one character of two code units.
        const QString combined = QString::fromUtf16(u"e\u0301");
        // Family emoji: one character of seven code points (eleven code units).
        const QString family = QString::fromUtf16(u"\U0001F469\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466");
        const auto token = [&](const char *name, const QString &text, bool accepted) {
            QTest::newRow(name) << "https://api.example.com/" << text << (accepted ? "https://api.example.com" : refused);
        };
        token("23 ASCII", QString(23, 'a'), false);
        token("24 ASCII", QString(24, 'a'), true);
        token("256 ASCII", QString(256, 'a'), true);
        token("257 ASCII", QString(257, 'a'), false);
        token("24 family emoji", family.repeated(24), true);
        token("24 code units, 22 characters", QString(20, 'a') + combined + combined, false);
        token("space", "tsr_0123456789 abcdefghijk", true);
        token("line feed", "tsr_0123456789\nabcdefghijk", false);
        token("line separator", QString::fromUtf16(u"tsr_0123456789\u2028abcdefghijk"), false);
        token("lone high surrogate", QString(goodToken).insert(4, QChar(0xD83D)), false);
    }

    void construction()
    {
        QFETCH(QString, url);
        QFETCH(QString, token);
        QFETCH(QString, stored);
        try {
            const Connection connection(url, token);
            QCOMPARE(connection.serviceUrl(), stored);
            QCOMPARE(connection.token(), token); // kept unchanged, whitespace included
        } catch (const TessaroError &error) {
            QVERIFY2(stored.isNull(), qPrintable(error.description()));
            QCOMPARE(error.kind(), TessaroError::Kind::Message);
            QCOMPARE(error.description(), Connection::invalidMessage);
        }
    }

    void roundTrip()
    {
        const QString token = QString::fromUtf16(u"tsr_0123456789 abcdéfghijk\u00A0\U0001F511\"\\");
        const Connection connection("http://[::1]:8080/", token);
        const QByteArray encoded = wire::encode(connection);
        QCOMPARE(QJsonDocument::fromJson(encoded).object(),
                 (QJsonObject{{"serviceUrl", "http://[::1]:8080"}, {"token", token}}));
        QCOMPARE(wire::decode<Connection>(encoded), connection);

        // Unknown members of a stored connection are ignored.
        QCOMPARE(wire::decode<Connection>(encoded.chopped(1) + R"(,"savedAt":12})"), connection);
    }
};

QTEST_GUILESS_MAIN(ConnectionTest)
#include "tst_Connection.moc"
