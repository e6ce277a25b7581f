// HTTP reply handling of ServiceClient and SignInClient: status, headers and body size
// limits, on the real clients and the real network stack. The harness serves the fuzzed
// reply from a loopback server in this process; every connection gets one reply and is
// then closed.
//
// Input: [operation] [status, 2 bytes big-endian, modulo 1000] [body repeat] [header lines,
// separated by line feeds] 0x00 [body]. A repeat byte of 0xC0 or more sends the body
// (repeat - 0xBF) * 1024 times (at most about 1 MB in all), to reach the size limits.

#include "FuzzSupport.h"

#include "RunTask.h"
#include "access/SignInClient.h"
#include "protocol/ServiceClient.h"
#include "protocol/TessaroError.h"
#include "protocol/TransportError.h"
#include "text/UnicodeText.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>
#include <memory>

namespace {

constexpr qsizetype largestBody = 1'100'000;
const QString serviceFailure =
    QStringLiteral("The service could not complete this request. Check the connection and allowance.");
const QString signInFailure = QStringLiteral("The sign-in service did not respond correctly.");
const QString signInUnavailable = QStringLiteral("Sign-in is unavailable. Please try again shortly.");
const QString uuid = QStringLiteral("0b6e1f7c-2f3e-4c1a-9d1f-3c2b1a0f9e8d");

QTcpServer *server = nullptr;
ServiceClient *service = nullptr;
SignInClient *signIn = nullptr;
// The reply every request gets until it is changed; the network stack may send a request
// again on a new connection, and then gets the same reply.
QByteArray current;
// CORVANA_FUZZ_VERBOSE=1 prints what each request ended with.
const bool verbose = qEnvironmentVariableIntValue("CORVANA_FUZZ_VERBOSE") == 1;

// Answers one request read from `socket` with the current reply, then closes the connection.
void serve(QTcpSocket *socket)
{
    auto received = std::make_shared<QByteArray>();
    auto answered = std::make_shared<bool>(false);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, received, answered] {
        received->append(socket->readAll());
        if (*answered)
            return;
        const qsizetype headerEnd = received->indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        qint64 length = 0;
        for (const QByteArray &line : received->left(headerEnd).split('\n')) {
            const QByteArray field = line.trimmed().toLower();
            if (field.startsWith("content-length:"))
                length = field.mid(15).trimmed().toLongLong();
        }
        if (received->size() < headerEnd + 4 + length)
            return;
        *answered = true;
        socket->write(current);
        socket->disconnectFromHost();
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

struct Reply {
    int status = 0;
    QByteArray headers;
    QByteArray body;
    QByteArray wire;
};

Reply render(const uint8_t *data, size_t size)
{
    Reply reply;
    reply.status = ((data[0] << 8) | data[1]) % 1000;
    const uint8_t repeat = data[2];
    const QByteArray rest = fuzz::bytes(data + 3, size - 3);
    const qsizetype split = rest.indexOf('\0');
    reply.headers = split >= 0 ? rest.left(split) : rest;
    const QByteArray body = split >= 0 ? rest.mid(split + 1) : QByteArray();
    reply.body = body;
    if (repeat >= 0xC0 && !body.isEmpty())
        reply.body = body.repeated(std::min<qsizetype>((repeat - 0xBF) * 1024, largestBody / body.size() + 1));

    reply.wire = "HTTP/1.1 " + QByteArray::number(reply.status).rightJustified(3, '0') + " Reply\r\n";
    reply.wire += "Connection: close\r\n";
    for (const QByteArray &line : reply.headers.split('\n')) {
        if (!line.isEmpty())
            reply.wire += line + "\r\n";
    }
    reply.wire += "\r\n" + reply.body;
    return reply;
}

QByteArray ok(const QByteArray &json)
{
    return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: application/json\r\nContent-Length: "
        + QByteArray::number(json.size()) + "\r\n\r\n" + json;
}

template <class T>
void run(QCoro::Task<T> task)
{
    runTask(std::move(task));
}

// What a failed request may carry: `limit` is the longest service text passed on,
// `generic` the text for a reply without a usable one, `bad` the text for a reply that
// is not acceptable at all.
void checkFailure(const TessaroError &error, const Reply &reply, qsizetype limit, const QString &generic,
                  const QString &bad, bool signingIn)
{
    if (error.kind() == TessaroError::Kind::Service) {
        FUZZ_CHECK(error.code() == reply.status, QString::number(error.code()));
        FUZZ_CHECK(error.code() < 200 || error.code() > 299, QString::number(error.code()));
        FUZZ_CHECK(error.description() == generic || UnicodeText::graphemeCount(error.description()) <= limit,
                   QString::number(error.description().size()));
        return;
    }
    FUZZ_CHECK(error.description() == bad || (signingIn && error.description() == Connection::invalidMessage),
               error.description());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::startApplication();
    server = new QTcpServer;
    if (!server->listen(QHostAddress::LocalHost))
        fuzz::broken("the loopback server listens", server->errorString());
    QObject::connect(server, &QTcpServer::newConnection, server, [] {
        while (QTcpSocket *socket = server->nextPendingConnection())
            serve(socket);
    });
    const QString address = QStringLiteral("http://127.0.0.1:%1").arg(server->serverPort());
    service = new ServiceClient(Connection(address, QString(32, u'x')));
    signIn = new SignInClient(address);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const int operation = data[0] % 8;
    const Reply reply = render(data + 1, size - 1);
    const bool signingIn = operation >= 6;
    const qsizetype cap = signingIn ? 32'000 : ServiceClient::maximumReplyBytes;

    // verify needs the verifier of a request for a code, made with a reply that works.
    current = operation == 7 ? ok(R"({"requestId":"r1","expiresAt":1790000000.5,"retryAfterSeconds":30})")
                             : reply.wire;

    bool succeeded = false;
    QString outcome = QStringLiteral("succeeded");
    try {
        switch (operation) {
        case 0: run(service->account()); break;
        case 1: run(service->devices()); break;
        case 2: run(service->revokeDevice(uuid)); break;
        case 3: run(service->signOut()); break;
        case 4: run(service->snapshot(uuid)); break;
        case 5: run(service->endSession(uuid)); break;
        case 6: run(signIn->begin(QStringLiteral(" ada@example.com\n"), QStringLiteral("Corvana on Linux"))); break;
        case 7: {
            const SignInChallenge challenge =
                runTask(signIn->begin(QStringLiteral("ada@example.com"), QStringLiteral("Corvana on Linux")));
            current = reply.wire;
            run(signIn->verify(challenge, QStringLiteral("12345678"), false));
            break;
        }
        }
        succeeded = true;
    } catch (const TessaroError &error) {
        outcome = QStringLiteral("TessaroError %1: %2").arg(error.code()).arg(error.description().left(80));
        if (signingIn)
            checkFailure(error, reply, 999, signInUnavailable, signInFailure, true);
        else
            checkFailure(error, reply, 1000, serviceFailure, serviceFailure, false);
    } catch (const TransportError &error) {
        outcome = QStringLiteral("TransportError: ") + QString::fromUtf8(error.what());
    } catch (const WireFormatError &error) {
        outcome = QStringLiteral("WireFormatError: ") + QString::fromUtf8(error.what());
    } catch (const std::exception &failure) {
        fuzz::broken("a request fails with the library's errors", QString::fromUtf8(failure.what()));
    }

    if (verbose)
        std::fprintf(stderr, "operation %d, status %d, body %lld bytes: %s\n", operation, reply.status,
                     static_cast<long long>(reply.body.size()), qPrintable(outcome));

    // A plain reply (no header of its own, so the body arrives as sent) over the size limit
    // never succeeds.
    const bool plain = reply.headers.trimmed().isEmpty() && reply.status >= 200 && reply.status <= 299
        && reply.status != 204;
    FUZZ_CHECK(!(plain && succeeded && reply.body.size() > cap), QString::number(reply.body.size()));

    // A reply whose only header promises more body than arrives before the connection
    // closes is cut short: it never succeeds.
    const QByteArray lengthField = reply.headers.trimmed().toLower();
    if (lengthField.startsWith("content-length:") && !lengthField.contains('\n')) {
        bool number = false;
        const qint64 promised = lengthField.mid(15).trimmed().toLongLong(&number);
        FUZZ_CHECK(!(number && succeeded && promised > reply.body.size() && reply.status >= 200 && reply.status <= 299
                     && reply.status != 204),
                   QString::number(promised));
    }

    // Sockets and replies of this request are deleted before the next one.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
