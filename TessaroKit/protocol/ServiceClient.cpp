#include "ServiceClient.h"

#include "protocol/HttpExchange.h"
#include "protocol/TaskHandle.h"
#include "protocol/TessaroError.h"
#include "protocol/TransportError.h"
#include "protocol/WireCoding.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QUuid>

namespace {

constexpr qsizetype maximumMessageLength = 1000;

const QString genericFailure =
    QStringLiteral("The service could not complete this request. Check the connection and allowance.");

struct Created {
    QString id;
    static constexpr auto wireFields() { return std::tuple{wire::field("id", &Created::id)}; }
};

struct DeviceList {
    QList<AccountDevice> devices;
    static constexpr auto wireFields() { return std::tuple{wire::field("devices", &DeviceList::devices)}; }
};

struct RangeRequest {
    QString type;
    QString commandId;
    double fromMs = 0;
    double toMs = 0;
    bool follow = false;
    static constexpr auto wireFields()
    {
        return std::tuple{wire::field("type", &RangeRequest::type), wire::field("commandId", &RangeRequest::commandId),
                          wire::field("fromMs", &RangeRequest::fromMs), wire::field("toMs", &RangeRequest::toMs),
                          wire::field("follow", &RangeRequest::follow)};
    }
};

struct CommandMessage {
    QString type;
    QString commandId;
    std::optional<QString> channel;
    std::optional<QString> answerId;
    std::optional<QString> action;
    std::optional<QString> question;
    std::optional<QString> style;
    static constexpr auto wireFields()
    {
        return std::tuple{wire::field("type", &CommandMessage::type),
                          wire::field("commandId", &CommandMessage::commandId),
                          wire::field("channel", &CommandMessage::channel),
                          wire::field("answerId", &CommandMessage::answerId),
                          wire::field("action", &CommandMessage::action),
                          wire::field("question", &CommandMessage::question),
                          wire::field("style", &CommandMessage::style)};
    }
};

QString freshCommandID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
}

} // namespace

struct ServiceClient::Pending {
    std::shared_ptr<TaskHandle> done = TaskHandle::make();
    std::shared_ptr<TaskHandle> timer = TaskHandle::make();
    std::optional<QString> failure;
};

ServiceClient::ServiceClient(Connection connection, ServiceTiming timing, QObject *parent)
    : QObject(parent)
    , m_connection(std::move(connection))
    , m_timing(timing)
    , m_http(new HttpExchange(this))
{
}

ServiceClient::~ServiceClient()
{
    onDisconnect = nullptr;
    closeSocket();
}

bool ServiceClient::isUUID(const QString &text)
{
    static const QRegularExpression form(QStringLiteral(
        "^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    return form.match(text).hasMatch();
}

QCoro::Task<QByteArray> ServiceClient::api(QString path, QByteArray method, std::optional<QByteArray> body)
{
    QList<std::pair<QByteArray, QByteArray>> headers;
    headers.append({QByteArrayLiteral("Authorization"), "Bearer " + m_connection.token().toUtf8()});
    if (body)
        headers.append({QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")});
    const HttpExchange::Reply reply =
        co_await m_http->send(QUrl(m_connection.serviceUrl() + path), method, body, headers, maximumReplyBytes);
    if (std::optional<TessaroError> failure = reply.failure(genericFailure, genericFailure, maximumMessageLength))
        throw *failure;
    co_return reply.body;
}

QCoro::Task<Account> ServiceClient::account()
{
    const QByteArray body = co_await api(QStringLiteral("/v1/account"), "GET", std::nullopt);
    co_return wire::decode<Account>(body);
}

QCoro::Task<QList<AccountDevice>> ServiceClient::devices()
{
    const QByteArray body = co_await api(QStringLiteral("/v1/devices"), "GET", std::nullopt);
    co_return wire::decode<DeviceList>(body).devices;
}

QCoro::Task<void> ServiceClient::revokeDevice(QString id)
{
    if (!isUUID(id))
        throw TessaroError::message(QStringLiteral("Invalid device."));
    co_await api(QStringLiteral("/v1/devices/") + id, "DELETE", std::nullopt);
}

QCoro::Task<void> ServiceClient::signOut()
{
    co_await api(QStringLiteral("/v1/auth/signout"), "POST", QByteArrayLiteral("{}"));
}

QCoro::Task<SessionSnapshot> ServiceClient::snapshot(QString id)
{
    if (!isUUID(id))
        throw TessaroError::message(QStringLiteral("Invalid session."));
    const QByteArray body = co_await api(QStringLiteral("/v1/sessions/") + id, "GET", std::nullopt);
    co_return wire::decode<SessionSnapshot>(body);
}

QCoro::Task<void> ServiceClient::endSession(QString id)
{
    if (!isUUID(id))
        throw TessaroError::message(QStringLiteral("Invalid session."));
    co_await api(QStringLiteral("/v1/sessions/") + id, "DELETE", std::nullopt);
}

QCoro::Task<void> ServiceClient::start(SessionInput input)
{
    if (m_sessionID)
        throw TessaroError::message(QStringLiteral("End the current session first."));
    QPointer<ServiceClient> self(this);
    const QByteArray body = co_await api(QStringLiteral("/v1/sessions"), "POST", wire::encode(input));
    const Created created = wire::decode<Created>(body);
    if (!self)
        throw TessaroError::message(QStringLiteral("Session ended."));
    if (!isUUID(created.id))
        throw TessaroError::message(QStringLiteral("The service returned an invalid session."));
    m_sessionID = created.id;
    m_ready = false;

    QUrl url(m_connection.serviceUrl() + QStringLiteral("/v1/sessions/") + created.id + QStringLiteral("/events"));
    url.setScheme(url.scheme() == QLatin1String("https") ? QStringLiteral("wss") : QStringLiteral("ws"));
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", "Bearer " + m_connection.token().toUtf8());
    request.setTransferTimeout(60'000);

    auto *socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    socket->setMaxAllowedIncomingMessageSize(maximumEventBytes);
    // Connected before open(), so that a "ready" sent right after the handshake is seen.
    QObject::connect(socket, &QWebSocket::textMessageReceived, this,
                     [this, socket](const QString &text) { handleMessage(socket, text.toUtf8()); });
    QObject::connect(socket, &QWebSocket::binaryMessageReceived, this,
                     [this, socket](const QByteArray &bytes) { handleMessage(socket, bytes); });
    QObject::connect(socket, &QWebSocket::disconnected, this, [this, socket] { socketFailed(socket); });
    QObject::connect(socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
                     [this, socket](QAbstractSocket::SocketError) { socketFailed(socket); });
    m_socket = socket;
    socket->open(request);

    const QDeadlineTimer deadline(m_timing.readyWait);
    auto poll = TaskHandle::make();
    while (true) {
        if (!self)
            throw TessaroError::message(QStringLiteral("Session ended."));
        if (m_socket == socket && m_ready)
            break;
        if (m_socket != socket || deadline.hasExpired()) {
            co_await stop();
            throw TessaroError::message(QStringLiteral("The session connection did not become ready."));
        }
        co_await poll->sleep(m_timing.readyPoll);
    }
    startHeartbeat(socket);
}

void ServiceClient::handleMessage(QWebSocket *socket, const QByteArray &message)
{
    if (socket != m_socket)
        return;
    std::optional<ServerEvent> event;
    try {
        event = wire::decode<ServerEvent>(message);
    } catch (const std::exception &) {
        socketFailed(socket);
        return;
    }
    if (event->type == QLatin1String("ready"))
        m_ready = true;
    if (event->type == QLatin1String("command.ack") && event->id)
        completePending(*event->id, event->error);
    QPointer<ServiceClient> self(this);
    if (onEvent)
        onEvent(*event);
}

void ServiceClient::socketFailed(QWebSocket *socket)
{
    if (!socket || socket != m_socket)
        return;
    closeSocket();
    m_sessionID.reset();
    if (onDisconnect) {
        const auto notify = onDisconnect;
        notify();
    }
}

void ServiceClient::completePending(const QString &id, std::optional<QString> failure)
{
    const std::shared_ptr<Pending> pending = m_acknowledgements.take(id);
    if (!pending)
        return;
    pending->timer->cancel();
    pending->failure = std::move(failure);
    pending->done->cancel();
}

void ServiceClient::closeSocket()
{
    QPointer<QWebSocket> socket = m_socket;
    m_socket = nullptr;
    m_ready = false;
    if (m_heartbeat) {
        m_heartbeat->cancel();
        m_heartbeat.reset();
    }
    if (socket) {
        QObject::disconnect(socket, nullptr, this, nullptr);
        socket->close(QWebSocketProtocol::CloseCodeGoingAway);
        socket->deleteLater();
    }
    const QStringList ids = m_acknowledgements.keys();
    for (const QString &id : ids)
        completePending(id, QStringLiteral("Session ended."));
}

QCoro::Task<void> ServiceClient::sendCommand(QString id, QByteArray text)
{
    QPointer<QWebSocket> socket = m_socket;
    if (!socket)
        throw TessaroError::message(QStringLiteral("Start a session first."));
    auto pending = std::make_shared<Pending>();
    m_acknowledgements.insert(id, pending);

    QPointer<ServiceClient> self(this);
    [](QPointer<ServiceClient> self, QString id, std::shared_ptr<TaskHandle> timer,
       std::chrono::milliseconds wait) -> QCoro::Task<void> {
        if (!co_await timer->sleep(wait))
            co_return;
        if (self)
            self->completePending(id, QStringLiteral("The session action timed out."));
    }(self, id, pending->timer, m_timing.commandTimeout);

    const QString message = QString::fromUtf8(text);
    const qint64 sent = socket->state() == QAbstractSocket::ConnectedState ? socket->sendTextMessage(message) : -1;
    if (sent != message.size())
        completePending(id, QStringLiteral("The session connection was interrupted."));

    co_await pending->done->untilCancelled();
    if (pending->failure)
        throw TessaroError::message(*pending->failure);
}

QCoro::Task<void> ServiceClient::command(QString type, std::optional<QString> channel, std::optional<QString> answerID,
                                         std::optional<QString> action, std::optional<QString> question,
                                         std::optional<QString> style)
{
    const QString id = freshCommandID();
    const CommandMessage message{type, id, channel, answerID, action, question, style};
    co_await sendCommand(id, wire::encode(message));
}

QCoro::Task<void> ServiceClient::prepareRange(double fromMs, double toMs, bool follow)
{
    const QString id = freshCommandID();
    const RangeRequest request{QStringLiteral("range.start"), id, fromMs, toMs, follow};
    co_await sendCommand(id, wire::encode(request));
}

QCoro::Task<void> ServiceClient::sendAudio(QByteArray data, QString channel)
{
    const bool knownChannel = channel == QLatin1String("microphone") || channel == QLatin1String("system");
    if (!m_socket || !knownChannel || data.isEmpty() || data.size() > maximumAudioBytes || data.size() % 2 != 0)
        throw TessaroError::message(QStringLiteral("The audio connection is not ready."));
    QByteArray message;
    message.reserve(data.size() + 1);
    message.append(channel == QLatin1String("microphone") ? '\x00' : '\x01');
    message.append(data);
    QPointer<QWebSocket> socket = m_socket;
    if (socket->state() != QAbstractSocket::ConnectedState || socket->sendBinaryMessage(message) != message.size())
        throw TransportError(QStringLiteral("The audio could not be sent: ") + socket->errorString());
    co_return;
}

QCoro::Task<void> ServiceClient::replay(PCMRecording recording, std::function<void(double)> progress,
                                        std::shared_ptr<ReplayControl> control)
{
    QPointer<ServiceClient> self(this);
    co_await command(QStringLiteral("audio.start"), QStringLiteral("system"));
    QElapsedTimer clock;
    clock.start();
    const QList<QByteArray> frames = recording.frames();
    auto sleeper = TaskHandle::make();
    for (qsizetype i = 0; i < frames.size(); ++i) {
        if (control && control->cancelled())
            throw TransportError::cancellation(QStringLiteral("The replay was cancelled."));
        if (!self || !m_socket)
            throw TessaroError::message(QStringLiteral("The audio connection ended."));
        const qint64 due = qint64(i) * m_timing.replayFrame.count();
        const qint64 wait = due - clock.elapsed();
        if (wait > 0)
            co_await sleeper->sleep(std::chrono::milliseconds(wait));
        if (control && control->cancelled())
            throw TransportError::cancellation(QStringLiteral("The replay was cancelled."));
        if (!self || !m_socket)
            throw TessaroError::message(QStringLiteral("The audio connection ended."));
        QByteArray message;
        message.reserve(frames[i].size() + 1);
        message.append('\x01');
        message.append(frames[i]);
        QPointer<QWebSocket> socket = m_socket;
        if (socket->sendBinaryMessage(message) != message.size())
            throw TransportError(QStringLiteral("The audio could not be sent: ") + socket->errorString());
        if (progress)
            progress(double(i + 1) / double(frames.size()));
    }
    if (!self)
        throw TessaroError::message(QStringLiteral("The audio connection ended."));
    co_await command(QStringLiteral("audio.finish"), QStringLiteral("system"));
}

void ServiceClient::startHeartbeat(QWebSocket *socket)
{
    if (m_heartbeat)
        m_heartbeat->cancel();
    auto handle = TaskHandle::make();
    m_heartbeat = handle;
    QPointer<ServiceClient> self(this);
    QPointer<QWebSocket> watched(socket);
    [](QPointer<ServiceClient> self, QPointer<QWebSocket> socket, std::shared_ptr<TaskHandle> handle,
       std::chrono::milliseconds interval) -> QCoro::Task<void> {
        while (true) {
            if (!co_await handle->sleep(interval))
                co_return;
            if (!self || !socket || self->m_socket != socket)
                co_return;
            bool failed = false;
            try {
                co_await self->command(QStringLiteral("ping"));
            } catch (const std::exception &) {
                failed = true;
            }
            if (handle->cancelled() || !self)
                co_return;
            if (failed) {
                if (socket && self->m_socket == socket)
                    self->socketFailed(socket);
                co_return;
            }
        }
    }(self, watched, handle, m_timing.heartbeat);
}

QCoro::Task<void> ServiceClient::stop()
{
    QPointer<ServiceClient> self(this);
    const std::optional<QString> id = m_sessionID;
    if (m_socket) {
        try {
            co_await command(QStringLiteral("session.stop"));
        } catch (const std::exception &) {
        }
        if (!self)
            co_return;
    }
    closeSocket();
    m_sessionID.reset();
    if (id) {
        try {
            co_await api(QStringLiteral("/v1/sessions/") + *id, "DELETE", std::nullopt);
        } catch (const std::exception &) {
        }
    }
}

void ServiceClient::disconnect()
{
    closeSocket();
    m_sessionID.reset();
    m_http->invalidate();
}
