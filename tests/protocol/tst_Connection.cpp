#include "protocol/Connection.h"
#include "protocol/TessaroError.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

const QString invalid = QStringLiteral("Use an HTTPS service (or localhost) and a valid Tessaro device token.");
const QString goodToken = QStringLiteral("tsr_0123456789abcdefghijklmn"); // 28 characters

// The error a failing construction throws, or nothing.
std::optional<TessaroError> constructionFailure(const QString &url, const QString &token)
{
    try {
        (void)Connection(url, token);
    } catch (const TessaroError &error) {
        return error;
    }
    return std::nullopt;
}

QByteArray storedJson(const QString &url, const QString &token)
{
    return QJsonDocument(QJsonObject{{"serviceUrl", url}, {"token", token}}).toJson(QJsonDocument::Compact);
}

} // namespace

class ConnectionTest : public QObject {
    Q_OBJECT
private slots:
    void serviceUrl_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("stored"); // null when refused

        // How addresses parse is UrlComponents' rule; these are the connection's own.
        const QString refused;
        QTest::newRow("https, host case kept") << "https://API.Example.com" << "https://API.Example.com";
        QTest::newRow("https, port, one trailing slash") << "https://api.example.com:8443/" << "https://api.example.com:8443";
        QTest::newRow("https, two trailing slashes") << "https://api.example.com//" << refused;
        QTest::newRow("http localhost") << "http://localhost:8080" << "http://localhost:8080";
        QTest::newRow("http 127.0.0.1") << "http://127.0.0.1:5173" << "http://127.0.0.1:5173";
        QTest::newRow("http [::1]") << "http://[::1]:8080" << "http://[::1]:8080";
        QTest::newRow("http LOCALHOST") << "http://LOCALHOST:8080" << refused;
        QTest::newRow("http 127.0.0.2") << "http://127.0.0.2:8080" << refused;
        QTest::newRow("http public host") << "http://api.example.com" << refused;
        QTest::newRow("HTTPS upper case") << "HTTPS://api.example.com" << refused;
        QTest::newRow("ws scheme") << "ws://localhost:8080" << refused;
        QTest::newRow("query") << "https://api.example.com/?a=1" << refused;
        QTest::newRow("fragment") << "https://api.example.com/#top" << refused;
        QTest::newRow("user") << "https://user@api.example.com" << refused;
        QTest::newRow("path /v1") << "https://api.example.com/v1" << refused;
        QTest::newRow("missing scheme") << "api.example.com" << refused;
        QTest::newRow("no host") << "https:///" << refused;
        QTest::newRow("space in host") << "https://api example.com" << refused;
    }

    void serviceUrl()
    {
        QFETCH(QString, url);
        QFETCH(QString, stored);

        if (stored.isNull()) {
            const auto failure = constructionFailure(url, goodToken);
            QVERIFY2(failure, "accepted");
            QCOMPARE(failure->kind(), TessaroError::Kind::Message);
            QCOMPARE(failure->description(), invalid);
            return;
        }
        const Connection connection(url, goodToken);
        QCOMPARE(connection.serviceUrl(), stored);
        QCOMPARE(connection.token(), goodToken);
    }

    void token_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("accepted");

        // "e" + combining acute: one character of two code units.
        const QString combined = QString::fromUtf16(u"e\u0301");
        // Family emoji: one character of seven code points (eleven code units).
        const QString family = QString::fromUtf16(u"\U0001F469\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466");

        QTest::newRow("23 ASCII") << QString(23, 'a') << false;
        QTest::newRow("24 ASCII") << QString(24, 'a') << true;
        QTest::newRow("256 ASCII") << QString(256, 'a') << true;
        QTest::newRow("257 ASCII") << QString(257, 'a') << false;
        QTest::newRow("24 family emoji") << family.repeated(24) << true;
        QTest::newRow("24 code units, 22 characters") << QString(20, 'a') + combined + combined << false;
        QTest::newRow("space") << "tsr_0123456789 abcdefghijk" << true;
        QTest::newRow("line feed") << "tsr_0123456789\nabcdefghijk" << false;
        QTest::newRow("line separator") << QString::fromUtf16(u"tsr_0123456789\u2028abcdefghijk") << false;
        // No UTF-8 form: stored and sent, the token would change.
        QTest::newRow("lone high surrogate") << QString(goodToken).insert(4, QChar(0xD83D)) << false;
    }

    void token()
    {
        QFETCH(QString, token);
        QFETCH(bool, accepted);

        if (!accepted) {
            const auto failure = constructionFailure("https://api.example.com", token);
            QVERIFY2(failure, "accepted");
            QCOMPARE(failure->description(), invalid);
            return;
        }
        const Connection connection("https://api.example.com/", token);
        QCOMPARE(connection.token(), token); // kept unchanged, whitespace included
    }

    void roundTrip()
    {
        const QString token = QString::fromUtf16(u"tsr_0123456789 abcdéfghijk\u00A0\U0001F511\"\\");
        const Connection connection("http://[::1]:8080/", token);
        const QByteArray encoded = wire::encode(connection);
        QVERIFY(encoded.startsWith(R"({"serviceUrl":)"));
        QCOMPARE(QJsonDocument::fromJson(encoded).object(),
                 (QJsonObject{{"serviceUrl", "http://[::1]:8080"}, {"token", token}}));
        QCOMPARE(wire::decode<Connection>(encoded), connection);

        // Unknown members of a stored connection are ignored.
        QCOMPARE(wire::decode<Connection>(storedJson("https://api.example.com/", goodToken).chopped(1) +
                                          R"(,"savedAt":12})"),
                 Connection("https://api.example.com", goodToken));
    }
};

QTEST_GUILESS_MAIN(ConnectionTest)
#include "tst_Connection.moc"
