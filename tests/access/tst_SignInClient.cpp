#include "access/SignInClient.h"

#include "RunTask.h"
#include "protocol/TessaroError.h"

#include <QCoro/QCoroTask>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

namespace {

template<typename T>
QString failureOf(QCoro::Task<T> task)
{
    try {
        runTask(std::move(task));
    } catch (const TessaroError &error) {
        return error.description();
    } catch (const std::exception &error) {
        return QStringLiteral("other: ") + QString::fromUtf8(error.what());
    }
    return {};
}

} // namespace

class SignInClientTest : public QObject {
    Q_OBJECT
private slots:
    void construction_data();
    void construction();
    void base64url_data();
    void base64url();
    void verifierShape();
    void verifyWithoutVerifier();
    void failingRandomSource();
};

void SignInClientTest::construction_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("normalised");
    QTest::newRow("https") << "https://api.corvana.example/" << "https://api.corvana.example";
    QTest::newRow("loopback http") << "http://127.0.0.1:4318" << "http://127.0.0.1:4318";
    QTest::newRow("plain http elsewhere") << "http://api.corvana.example" << QString();
    QTest::newRow("not a url") << "corvana" << QString();
}

void SignInClientTest::construction()
{
    QFETCH(QString, url);
    QFETCH(QString, normalised);
    try {
        SignInClient client(url);
        QCOMPARE(client.serviceURL(), normalised);
        QVERIFY(!client.verifier());
    } catch (const TessaroError &error) {
        QVERIFY2(normalised.isEmpty(), qPrintable(error.description()));
        QCOMPARE(error.description(),
                 QStringLiteral("Use an HTTPS service (or localhost) and a valid Tessaro device token."));
    }
}

void SignInClientTest::base64url_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("plus and slash become dash and underscore") << QByteArray::fromHex("fbff") << "-_8";
    QTest::newRow("padding dropped") << QByteArray("a") << "YQ";
    // RFC 7636 appendix B.
    QTest::newRow("rfc 7636 verifier")
        << QByteArray::fromHex("7472f1d9c9a3acd3fd9bc4fd0b38bc4c7d1389856ba9de1b6d3e5dd1c8b617f4").left(32)
        << SignInClient::base64url(QByteArray::fromHex("7472f1d9c9a3acd3fd9bc4fd0b38bc4c7d1389856ba9de1b6d3e5dd1c8b617f4"));
}

void SignInClientTest::base64url()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(SignInClient::base64url(bytes), text);
}

void SignInClientTest::verifierShape()
{
    // The S256 example of RFC 7636 appendix B.
    QCOMPARE(SignInClient::challengeFor(QStringLiteral("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk")),
             QStringLiteral("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));

    const QRegularExpression urlAlphabet(QStringLiteral("^[A-Za-z0-9_-]{43}$"));
    for (int i = 0; i < 50; ++i) {
        QByteArray bytes(32, '\0');
        for (auto &byte : bytes)
            byte = char(QRandomGenerator::global()->bounded(256));
        const QString verifier = SignInClient::base64url(bytes);
        QVERIFY(urlAlphabet.match(verifier).hasMatch());
        QVERIFY(urlAlphabet.match(SignInClient::challengeFor(verifier)).hasMatch());
        QVERIFY(bytes.toBase64().endsWith('='));
    }
}

void SignInClientTest::verifyWithoutVerifier()
{
    SignInClient client(QStringLiteral("http://127.0.0.1:9"));
    const SignInChallenge challenge{QStringLiteral("r1"), 0, 30, std::nullopt};
    QCOMPARE(failureOf(client.verify(challenge, QStringLiteral("12345678"), false)),
             QStringLiteral("Request a new sign-in code on this Mac."));
}

void SignInClientTest::failingRandomSource()
{
    SignInClient client(QStringLiteral("http://127.0.0.1:9"));
    client.setRandomSource([](QByteArray &) { return false; });
    QCOMPARE(failureOf(client.begin(QStringLiteral("ada@example.com"), QStringLiteral("Corvana on Mac"))),
             QStringLiteral("Could not secure this sign-in request."));
    QVERIFY(!client.verifier());
}

QTEST_GUILESS_MAIN(SignInClientTest)
#include "tst_SignInClient.moc"
