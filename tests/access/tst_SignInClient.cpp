#include "access/SignInClient.h"

#include "FailureOf.h"
#include "RunTask.h"
#include "protocol/TessaroError.h"
#include "protocol/TransportError.h"

#include <QCoro/QCoroTask>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

// A loopback peer that answers every request with the same raw bytes and then closes the
// connection: replies the development service never sends, such as one cut short.
class RawReplyPeer {
public:
    explicit RawReplyPeer(QByteArray reply)
        : m_reply(std::move(reply))
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QByteArray received = socket->property("received").toByteArray() + socket->readAll();
                    socket->setProperty("received", received);
                    if (!received.contains("\r\n\r\n") || socket->property("answered").toBool())
                        return;
                    socket->setProperty("answered", true);
                    socket->write(m_reply);
                    socket->disconnectFromHost();
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

private:
    QTcpServer m_server;
    QByteArray m_reply;
};

} // namespace

class SignInClientTest : public QObject {
    Q_OBJECT
private slots:
    void construction_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("normalised");
        QTest::newRow("https") << "https://api.corvana.example/" << "https://api.corvana.example";
        QTest::newRow("plain http elsewhere") << "http://api.corvana.example" << QString();
    }

    void construction()
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

    void verifierShape()
    {
        // The S256 example of RFC 7636 appendix B.
        QCOMPARE(SignInClient::challengeFor(QStringLiteral("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk")),
                 QStringLiteral("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));

        // 32 bytes make a verifier of 43 characters, without padding.
        const QString verifier = SignInClient::base64url(QByteArray(32, '\xfb'));
        QVERIFY(QRegularExpression(QStringLiteral("^[A-Za-z0-9_-]{43}$")).match(verifier).hasMatch());
    }

    void verifyWithoutVerifier()
    {
        SignInClient client(QStringLiteral("http://127.0.0.1:9"));
        const SignInChallenge challenge{QStringLiteral("r1"), 0, 30, std::nullopt};
        QCOMPARE(failureOf([&] { runTask(client.verify(challenge, QStringLiteral("12345678"), false)); }),
                 QStringLiteral("Request a new sign-in code on this computer."));
    }

    void failingRandomSource()
    {
        SignInClient client(QStringLiteral("http://127.0.0.1:9"));
        client.setRandomSource([](QByteArray &) { return false; });
        QCOMPARE(failureOf([&] { runTask(client.begin(QStringLiteral("ada@example.com"), QStringLiteral("Corvana"))); }),
                 QStringLiteral("Could not secure this sign-in request."));
        QVERIFY(!client.verifier());
    }

    void replyCutShortIsATransportFailure_data()
    {
        // The connection closes before each reply is whole, though the JSON that arrived is.
        const QByteArray challenge = R"({"requestId":"r1","expiresAt":1790000000.5,"retryAfterSeconds":30})";
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("one byte short")
            << "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(challenge.size() + 1) + "\r\n\r\n" + challenge;
        QTest::newRow("error reply shorter than its length")
            << QByteArray("HTTP/1.1 429 Too Many Requests\r\nContent-Length: 80\r\n\r\n{\"message\":\"Wait.\"}");
    }

    void replyCutShortIsATransportFailure()
    {
        QFETCH(QByteArray, reply);
        RawReplyPeer peer(reply);
        SignInClient client(peer.url());
        QVERIFY_THROWS_EXCEPTION(TransportError,
                                 runTask(client.begin(QStringLiteral("ada@example.com"), QStringLiteral("Corvana"))));
        QVERIFY(client.verifier()); // kept for another try
    }
};

QTEST_GUILESS_MAIN(SignInClientTest)
#include "tst_SignInClient.moc"
