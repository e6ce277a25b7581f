#include "protocol/Connection.h"
#include "protocol/TessaroError.h"
#include "text/UnicodeText.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

const QString invalid = QStringLiteral("Use an HTTPS service (or localhost) and a valid Tessaro device token.");
const QString goodToken = QStringLiteral("tsr_0123456789abcdefghijklmn"); // 28 characters

QString repeated(const QString &character, int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += character;
    return text;
}

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
    void serviceUrl_data();
    void serviceUrl();
    void token_data();
    void token();
    void decodingValidates_data();
    void decodingValidates();
    void roundTrip();
    void errors_data();
    void errors();
};

void ConnectionTest::serviceUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("stored"); // null when refused

    const QString refused;
    QTest::newRow("https") << "https://api.example.com" << "https://api.example.com";
    QTest::newRow("https, one trailing slash") << "https://api.example.com/" << "https://api.example.com";
    QTest::newRow("https, two trailing slashes") << "https://api.example.com//" << refused;
    QTest::newRow("https with port") << "https://api.example.com:8443/" << "https://api.example.com:8443";
    QTest::newRow("https, host case kept") << "https://API.Example.com" << "https://API.Example.com";
    QTest::newRow("https, IPv6 literal") << "https://[2001:db8::1]:443" << "https://[2001:db8::1]:443";
    QTest::newRow("http localhost with port") << "http://localhost:8080" << "http://localhost:8080";
    QTest::newRow("http localhost, no port") << "http://localhost" << "http://localhost";
    QTest::newRow("http 127.0.0.1") << "http://127.0.0.1:5173" << "http://127.0.0.1:5173";
    QTest::newRow("http [::1] with port") << "http://[::1]:8080" << "http://[::1]:8080";
    QTest::newRow("http LOCALHOST") << "http://LOCALHOST:8080" << refused;
    QTest::newRow("http 127.0.0.2") << "http://127.0.0.2:8080" << refused;
    QTest::newRow("http 192.168.1.10") << "http://192.168.1.10:8080" << refused;
    QTest::newRow("http 0.0.0.0") << "http://0.0.0.0:8080" << refused;
    QTest::newRow("http [::ffff:127.0.0.1]") << "http://[::ffff:127.0.0.1]:8080" << refused;
    QTest::newRow("http [0:0:0:0:0:0:0:1]") << "http://[0:0:0:0:0:0:0:1]:8080" << refused;
    QTest::newRow("http public host") << "http://api.example.com" << refused;
    QTest::newRow("http localhost.example.com") << "http://localhost.example.com" << refused;
    QTest::newRow("HTTPS upper case") << "HTTPS://api.example.com" << refused;
    QTest::newRow("ws scheme") << "ws://localhost:8080" << refused;
    QTest::newRow("empty query") << "https://api.example.com?" << refused;
    QTest::newRow("query") << "https://api.example.com/?a=1" << refused;
    QTest::newRow("fragment") << "https://api.example.com/#top" << refused;
    QTest::newRow("user") << "https://user@api.example.com" << refused;
    QTest::newRow("empty user") << "https://@api.example.com" << refused;
    QTest::newRow("path /v1") << "https://api.example.com/v1" << refused;
    QTest::newRow("localhost path //") << "http://localhost:8080//" << refused;
    QTest::newRow("missing scheme") << "api.example.com" << refused;
    QTest::newRow("scheme-relative") << "//api.example.com" << refused;
    QTest::newRow("no host") << "https:///" << refused;
    QTest::newRow("empty") << "" << refused;
    QTest::newRow("space in host") << "https://api example.com" << refused;
    QTest::newRow("leading space") << " https://api.example.com" << refused;
    QTest::newRow("non-digit port") << "https://api.example.com:44a" << refused;
    QTest::newRow("non-ASCII host") << QString::fromUtf16(u"https://bücher.example") << refused;
}

void ConnectionTest::serviceUrl()
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

void ConnectionTest::token_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<bool>("accepted");

    // "e" + combining acute: one character of two code units.
    const QString combined = QString::fromUtf16(u"e\u0301");
    // Family emoji: one character of seven code points (eleven code units).
    const QString family = QString::fromUtf16(u"\U0001F469\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466");
    const QString flag = QString::fromUtf16(u"\U0001F1EB\U0001F1F7");

    QTest::newRow("23 ASCII") << repeated("a", 23) << false;
    QTest::newRow("24 ASCII") << repeated("a", 24) << true;
    QTest::newRow("256 ASCII") << repeated("a", 256) << true;
    QTest::newRow("257 ASCII") << repeated("a", 257) << false;
    QTest::newRow("23 combined (46 code units)") << repeated(combined, 23) << false;
    QTest::newRow("24 combined (48 code units)") << repeated(combined, 24) << true;
    QTest::newRow("23 family emoji") << repeated(family, 23) << false;
    QTest::newRow("24 family emoji") << repeated(family, 24) << true;
    QTest::newRow("257 family emoji") << repeated(family, 257) << false;
    QTest::newRow("24 flags") << repeated(flag, 24) << true;
    // 20 code units of ASCII and two combined characters: 22 characters, 24 code units.
    QTest::newRow("24 code units, 22 characters") << repeated("a", 20) + combined + combined << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("space") << "tsr_0123456789 abcdefghijk" << true;
    QTest::newRow("tab") << "tsr_0123456789\tabcdefghijk" << true;
    QTest::newRow("no-break space") << QString::fromUtf16(u"tsr_0123456789\u00A0abcdefghijk") << true;
    QTest::newRow("line feed") << "tsr_0123456789\nabcdefghijk" << false;
    QTest::newRow("carriage return") << "tsr_0123456789\rabcdefghijk" << false;
    QTest::newRow("next line") << QString::fromUtf16(u"tsr_0123456789\u0085abcdefghijk") << false;
    QTest::newRow("line separator") << QString::fromUtf16(u"tsr_0123456789\u2028abcdefghijk") << false;
    // No UTF-8 form: stored and sent, the token would change.
    QTest::newRow("lone high surrogate") << QString(goodToken).insert(4, QChar(0xD83D)) << false;
    QTest::newRow("surrogate pair") << goodToken + QString::fromUtf16(u"\U0001F600") << true;
}

void ConnectionTest::token()
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

// A stored connection is checked as a typed one is; a malformed one fails as any record.
void ConnectionTest::decodingValidates_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("refused"); // false: malformed
    QTest::newRow("token too short") << storedJson("https://api.example.com", repeated("a", 23)) << true;
    QTest::newRow("token with line feed") << storedJson("https://api.example.com", "tsr_0123456789\nabcdefghijk") << true;
    QTest::newRow("token with an escaped lone surrogate")
        << QByteArray(R"({"serviceUrl":"https://api.example.com","token":"tsr_0123456789abcdefghijk\udc00"})") << true;
    QTest::newRow("plain http") << storedJson("http://api.example.com", goodToken) << true;
    QTest::newRow("path") << storedJson("https://api.example.com/v1", goodToken) << true;
    QTest::newRow("token missing") << QByteArray(R"({"serviceUrl":"https://api.example.com"})") << false;
    QTest::newRow("serviceUrl missing") << QByteArray(R"({"token":"tsr_0123456789abcdefghijklmn"})") << false;
    QTest::newRow("array") << QByteArray(R"(["https://api.example.com","tsr_0123456789abcdefghijklmn"])") << false;
}

void ConnectionTest::decodingValidates()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, refused);
    if (!refused) {
        QVERIFY_THROWS_EXCEPTION(WireFormatError, wire::decode<Connection>(json));
        return;
    }
    try {
        wire::decode<Connection>(json);
        QFAIL("decoded");
    } catch (const TessaroError &error) {
        QCOMPARE(error.description(), invalid);
        QCOMPARE(describeFailure(error), invalid);
    }
}

void ConnectionTest::roundTrip()
{
    const QString token = QString::fromUtf16(u"tsr_0123456789 abcdéfghijk\u00A0\U0001F511\"\\");
    const Connection connection("http://[::1]:8080/", token);
    QCOMPARE(connection.serviceUrl(), QStringLiteral("http://[::1]:8080"));

    const QByteArray encoded = wire::encode(connection);
    const QJsonObject object = QJsonDocument::fromJson(encoded).object();
    QCOMPARE(object.size(), 2);
    QCOMPARE(object.value("serviceUrl").toString(), QStringLiteral("http://[::1]:8080"));
    QCOMPARE(object.value("token").toString(), token);
    QVERIFY(encoded.startsWith(R"({"serviceUrl":)"));

    const auto decoded = wire::decode<Connection>(encoded);
    QCOMPARE(decoded, connection);
    QCOMPARE(wire::encode(decoded), encoded);

    // Unknown members of a stored connection are ignored.
    QCOMPARE(wire::decode<Connection>(storedJson("https://api.example.com/", goodToken).chopped(1) +
                                      R"(,"savedAt":12})"),
             Connection("https://api.example.com", goodToken));
}

void ConnectionTest::errors_data()
{
    QTest::addColumn<bool>("service");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("signIn");

    QTest::newRow("service 401") << true << 401 << true;
    QTest::newRow("service 403") << true << 403 << false;
    QTest::newRow("service 500") << true << 500 << false;
    QTest::newRow("message") << false << 0 << false;
}

void ConnectionTest::errors()
{
    QFETCH(bool, service);
    QFETCH(int, code);
    QFETCH(bool, signIn);
    const QString text = QString::fromUtf16(u"Unlock your keyring to remove this device’s saved sign-in.");
    const TessaroError error = service ? TessaroError::service(code, text) : TessaroError::message(text);
    QCOMPARE(error.requiresSignIn(), signIn);
    QCOMPARE(error.kind(), service ? TessaroError::Kind::Service : TessaroError::Kind::Message);
    QCOMPARE(error.code(), code);
    QCOMPARE(error.description(), text);
    // Copies keep their text, also through the standard exception.
    const TessaroError copy = error;
    QCOMPARE(copy, error);
    const std::exception &asException = copy;
    QCOMPARE(QString::fromUtf8(asException.what()), text);
    QCOMPARE(describeFailure(asException), text);
    QCOMPARE(describeFailure(std::runtime_error("socket closed")), QStringLiteral("socket closed"));
    QVERIFY(!(TessaroError::message(text) == TessaroError::service(0, text)));
}

QTEST_GUILESS_MAIN(ConnectionTest)
#include "tst_Connection.moc"
