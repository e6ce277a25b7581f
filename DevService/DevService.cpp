#include "DevService.h"

#include "DevSession.h"
#include "protocol/Account.h"
#include "protocol/AccountDevice.h"
#include "protocol/Failure.h"
#include "protocol/WireCoding.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QUuid>

namespace {

QByteArray failure(int status, const QString &message)
{
    return HttpMessage::reply(status, wire::encode(Failure{message}));
}

QByteArray json(const QJsonObject &object)
{
    return HttpMessage::reply(200, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString randomToken()
{
    QByteArray bytes(32, '\0');
    for (char &byte : bytes)
        byte = char(QRandomGenerator::system()->bounded(256));
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString base64urlSha256(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256)
                                   .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

const QRegularExpression sessionPath(QStringLiteral("^/v1/sessions/([^/]+)$"));
const QRegularExpression eventsPath(QStringLiteral("^/v1/sessions/([^/]+)/events$"));
const QRegularExpression devicePath(QStringLiteral("^/v1/devices/([^/]+)$"));

} // namespace

DevService::DevService(Options options, QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_sockets(QStringLiteral("corvana-devservice"), QWebSocketServer::NonSecureMode)
{
    if (m_options.token.isEmpty())
        m_options.token = randomToken();
    Device development;
    development.id = newID();
    development.name = QStringLiteral("Development device");
    development.token = m_options.token;
    development.createdAt = nowSeconds();
    development.expiresAt = development.createdAt + 365 * 86400.0;
    m_devices.insert(development.id, development);
    m_scenario.timeScale = m_options.timeScale;
    m_scenario.sampleRounds = m_options.sampleRounds;
    m_sockets.setMaxPendingConnections(64);
    connect(&m_server, &QTcpServer::newConnection, this, &DevService::accept);
    connect(&m_sockets, &QWebSocketServer::newConnection, this, [this] {
        while (QWebSocket *socket = m_sockets.nextPendingConnection()) {
            const QRegularExpressionMatch match = eventsPath.match(socket->requestUrl().path());
            Session *held = match.hasMatch() ? session(match.captured(1)) : nullptr;
            if (!held) {
                socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
                socket->deleteLater();
                continue;
            }
            if (held->channel)
                held->channel->close(QWebSocketProtocol::CloseCodeGoingAway);
            held->channel = new DevSession(*this, held->id, socket, this);
        }
    });
}

DevService::~DevService() = default;

bool DevService::listen(QString *error)
{
    if (!m_server.listen(QHostAddress::LocalHost, m_options.port)) {
        if (error)
            *error = m_server.errorString();
        return false;
    }
    return true;
}

quint16 DevService::port() const
{
    return m_server.serverPort();
}

QString DevService::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

double DevService::nowSeconds()
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

QString DevService::newID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

DevService::Session *DevService::session(const QString &id)
{
    auto found = m_sessions.find(id);
    if (found == m_sessions.end() || found->deleted)
        return nullptr;
    return &*found;
}

void DevService::logCommand(const QString &session, const QJsonObject &command)
{
    QJsonObject entry = command;
    entry.insert(QStringLiteral("session"), session);
    m_commandLog.append(entry);
}

void DevService::logAudio(const QString &session, qsizetype size, int tag)
{
    m_audioLog.append(QJsonObject{{"session", session}, {"size", qint64(size)}, {"tag", tag}});
}

void DevService::spend(qint64 micros)
{
    m_spentMicros += micros;
}

void DevService::sessionStopped(const QString &id)
{
    m_stoppedLog.append(id);
}

void DevService::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_buffers.insert(socket, QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequests(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void DevService::readRequests(QTcpSocket *socket)
{
    if (!m_buffers.contains(socket))
        return;
    // A WebSocket handshake is left unread for the WebSocket server.
    if (m_buffers[socket].isEmpty()) {
        const QByteArray peeked = socket->peek(64 * 1024);
        HttpMessage request;
        qsizetype consumed = 0;
        if (HttpMessage::parse(peeked, request, consumed) == HttpMessage::Parse::Complete && request.isUpgrade()) {
            if (upgrade(socket, request))
                return;
        }
    }
    m_buffers[socket] += socket->readAll();
    while (true) {
        QByteArray &buffer = m_buffers[socket];
        HttpMessage request;
        qsizetype consumed = 0;
        const HttpMessage::Parse state = HttpMessage::parse(buffer, request, consumed);
        if (state == HttpMessage::Parse::Incomplete)
            return;
        if (state == HttpMessage::Parse::Malformed) {
            socket->write(HttpMessage::reply(400, wire::encode(Failure{QStringLiteral("Malformed request.")})));
            socket->disconnectFromHost();
            return;
        }
        buffer.remove(0, consumed);
        socket->write(respond(request));
    }
}

bool DevService::upgrade(QTcpSocket *socket, const HttpMessage &request)
{
    const QRegularExpressionMatch match = eventsPath.match(request.path);
    Device *device = deviceFor(request);
    QByteArray refusal;
    if (!match.hasMatch())
        refusal = failure(404, QStringLiteral("Not found."));
    else if (!device)
        refusal = failure(401, QStringLiteral("Sign in again."));
    else if (!session(match.captured(1)))
        refusal = failure(404, QStringLiteral("This session does not exist."));
    if (!refusal.isEmpty()) {
        socket->readAll();
        socket->write(refusal);
        socket->disconnectFromHost();
        return true;
    }
    disconnect(socket, nullptr, this, nullptr);
    m_buffers.remove(socket);
    m_sockets.handleConnection(socket);
    return true;
}

DevService::Device *DevService::deviceFor(const HttpMessage &request)
{
    const QByteArray authorization = request.header("authorization");
    if (!authorization.startsWith("Bearer "))
        return nullptr;
    const QString token = QString::fromUtf8(authorization.mid(7));
    for (Device &device : m_devices) {
        if (!device.revoked && device.token == token)
            return &device;
    }
    return nullptr;
}

QByteArray DevService::respond(const HttpMessage &request)
{
    if (request.path.startsWith(QLatin1String("/dev/")))
        return control(request);

    m_requestLog.append(QJsonObject{
        {"method", QString::fromUtf8(request.method)},
        {"path", request.path},
        {"contentType", request.headers.contains("content-type") ? QJsonValue(QString::fromUtf8(request.header("content-type")))
                                                                  : QJsonValue()},
        {"authorization", QString::fromUtf8(request.header("authorization"))}});

    if (m_scenario.http && m_scenario.http->method == request.method && m_scenario.http->path == request.path) {
        const DevScenario::HttpOverride reply = *m_scenario.http;
        if (!reply.repeat)
            m_scenario.http.reset();
        QList<std::pair<QByteArray, QByteArray>> headers;
        if (!reply.location.isEmpty())
            headers.append({"Location", reply.location});
        return HttpMessage::reply(reply.status, reply.body, reply.contentType, headers);
    }

    if (request.path.startsWith(QLatin1String("/v1/auth/start")) || request.path.startsWith(QLatin1String("/v1/auth/verify")))
        return auth(request);
    Device *device = deviceFor(request);
    if (!device)
        return failure(401, QStringLiteral("Sign in again."));
    return route(request, device);
}

QByteArray DevService::accountJson(const Device &device) const
{
    Account account;
    account.health.mode = m_options.simulated ? QStringLiteral("demo") : QStringLiteral("live");
    account.health.liveReady = true;
    account.health.pricingVersion = QStringLiteral("dev-2026");
    account.health.maxSessionMinutes = m_options.maxSessionMinutes;
    account.wallet.balanceMicros = std::max<qint64>(0, m_options.balanceMicros - m_spentMicros);
    account.wallet.spentMicros = m_spentMicros;
    account.wallet.simulated = m_options.simulated;
    if (!device.email.isEmpty())
        account.profile = AccountProfile{device.email, device.id, device.expiresAt};
    return wire::encode(account);
}

QByteArray DevService::route(const HttpMessage &request, Device *device)
{
    const QString &path = request.path;
    const QByteArray &method = request.method;
    if (path == QLatin1String("/v1/account") && method == "GET")
        return HttpMessage::reply(200, accountJson(*device));
    if (path == QLatin1String("/v1/devices") && method == "GET") {
        QList<AccountDevice> list;
        for (const Device &held : std::as_const(m_devices)) {
            if (held.revoked || held.email != device->email)
                continue;
            list.append(AccountDevice{held.id, held.name, held.createdAt, held.expiresAt, held.id == device->id});
        }
        std::sort(list.begin(), list.end(), [](const AccountDevice &a, const AccountDevice &b) { return a.createdAt < b.createdAt; });
        QByteArray body = "{\"devices\":[";
        for (qsizetype i = 0; i < list.size(); ++i)
            body += (i ? "," : "") + wire::encode(list[i]);
        body += "]}";
        return HttpMessage::reply(200, body);
    }
    if (const QRegularExpressionMatch match = devicePath.match(path); match.hasMatch() && method == "DELETE") {
        auto found = m_devices.find(match.captured(1));
        if (found == m_devices.end() || found->revoked || found->email != device->email)
            return failure(404, QStringLiteral("This device is not on your account."));
        found->revoked = true;
        return HttpMessage::reply(204, QByteArray(), QByteArray());
    }
    if (path == QLatin1String("/v1/auth/signout") && method == "POST") {
        device->revoked = true;
        return HttpMessage::reply(200, "{}");
    }
    if (path == QLatin1String("/v1/sessions") && method == "POST") {
        SessionInput input;
        try {
            input = wire::decode<SessionInput>(request.body);
        } catch (const std::exception &) {
            return failure(400, QStringLiteral("The session request is not valid."));
        }
        if (input.budgetMicros < 10'000)
            return failure(400, QStringLiteral("The session limit is below $0.01."));
        Session created;
        created.id = newID();
        created.deviceId = device->id;
        created.input = input;
        created.snapshot.id = created.id;
        created.snapshot.state = QStringLiteral("active");
        created.snapshot.budgetMicros = input.budgetMicros;
        created.snapshot.startedAt = nowSeconds();
        if (input.durationMinutes)
            created.snapshot.timeLimitSeconds = *input.durationMinutes * 60;
        m_sessions.insert(created.id, created);
        return json(QJsonObject{{"id", created.id}});
    }
    if (const QRegularExpressionMatch match = sessionPath.match(path); match.hasMatch()) {
        Session *held = session(match.captured(1));
        if (!held)
            return failure(404, QStringLiteral("This session does not exist."));
        if (method == "GET")
            return HttpMessage::reply(200, wire::encode(held->snapshot));
        if (method == "DELETE") {
            if (held->channel)
                held->channel->close();
            held->snapshot.state = QStringLiteral("stopped");
            m_deletedLog.append(held->id);
            // The record stays readable for final snapshots; only its channel ends.
            return HttpMessage::reply(204, QByteArray(), QByteArray());
        }
    }
    return failure(404, QStringLiteral("Not found."));
}

QByteArray DevService::auth(const HttpMessage &request)
{
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    if (request.method != "POST")
        return failure(405, QStringLiteral("Use POST."));
    if (request.path == QLatin1String("/v1/auth/start")) {
        const QString email = body.value("email").toString();
        const QString challenge = body.value("challenge").toString();
        if (!email.contains(QLatin1Char('@')) || challenge.size() != 43)
            return failure(400, QStringLiteral("Enter the email address you were invited with."));
        SignInRequest pending;
        pending.requestId = newID();
        pending.email = email.toLower();
        pending.deviceName = body.value("deviceName").toString();
        pending.challenge = challenge;
        pending.code = QStringLiteral("%1").arg(QRandomGenerator::system()->bounded(100'000'000), 8, 10, QLatin1Char('0'));
        pending.expiresAt = nowSeconds() + 600;
        m_signIns.insert(pending.requestId, pending);
        QJsonObject reply{{"requestId", pending.requestId}, {"expiresAt", pending.expiresAt}, {"retryAfterSeconds", 30}};
        if (m_options.simulated)
            reply.insert("simulatedCode", pending.code);
        return json(reply);
    }
    auto found = m_signIns.find(body.value("requestId").toString());
    if (found == m_signIns.end() || found->used || found->expiresAt < nowSeconds())
        return failure(400, QStringLiteral("This code has expired. Request a new one."));
    if (base64urlSha256(body.value("verifier").toString()) != found->challenge)
        return failure(400, QStringLiteral("This code was requested on another device."));
    if (body.value("code").toString() != found->code)
        return failure(400, QStringLiteral("That code is not right. Check it and try again."));
    found->used = true;
    Device device;
    device.id = newID();
    device.name = found->deviceName;
    device.token = randomToken();
    device.email = found->email;
    device.createdAt = nowSeconds();
    device.expiresAt = device.createdAt + 90 * 86400.0;
    m_devices.insert(device.id, device);
    if (body.value("recover").toBool(false))
        revokeOthers(device.email, device.id);
    return json(QJsonObject{{"token", device.token}, {"expiresAt", device.expiresAt}, {"deviceId", device.id}});
}

void DevService::revokeOthers(const QString &email, const QString &keepDeviceId)
{
    for (Device &device : m_devices) {
        if (device.email != email || device.id == keepDeviceId || device.revoked)
            continue;
        device.revoked = true;
        for (Session &held : m_sessions) {
            if (held.deviceId != device.id || held.deleted)
                continue;
            held.snapshot.state = QStringLiteral("stopped");
            held.snapshot.reason = QStringLiteral("This device was signed out by account recovery.");
            if (held.channel) {
                held.channel->sendSnapshot(QStringLiteral("session"));
                held.channel->close();
            }
        }
    }
}

QByteArray DevService::control(const HttpMessage &request)
{
    if (request.path == QLatin1String("/dev/scenario") && request.method == "POST") {
        const QJsonDocument document = QJsonDocument::fromJson(request.body);
        if (!document.isObject())
            return failure(400, QStringLiteral("A scenario is one JSON object."));
        QString error;
        const std::optional<DevScenario> scenario = DevScenario::fromJson(document.object(), m_options.timeScale,
                                                                              m_options.sampleRounds, error);
        if (!scenario)
            return failure(400, error);
        m_scenario = *scenario;
        return json(QJsonObject{{"ok", true}});
    }
    if (request.path == QLatin1String("/dev/reset") && request.method == "POST") {
        m_scenario = DevScenario();
        m_scenario.timeScale = m_options.timeScale;
        m_scenario.sampleRounds = m_options.sampleRounds;
        for (Device &device : m_devices) {
            if (device.token == m_options.token)
                device.revoked = false;
        }
        m_commandLog = {};
        m_audioLog = {};
        m_requestLog = {};
        m_deletedLog = {};
        m_stoppedLog = {};
        return json(QJsonObject{{"ok", true}});
    }
    if (request.path == QLatin1String("/dev/log") && request.method == "GET") {
        return json(QJsonObject{{"commands", m_commandLog},
                                {"audio", m_audioLog},
                                {"requests", m_requestLog},
                                {"deletedSessions", m_deletedLog},
                                {"stoppedSessions", m_stoppedLog}});
    }
    return failure(404, QStringLiteral("Not found."));
}
