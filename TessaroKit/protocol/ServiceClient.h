#pragma once

#include "audio/PCMRecording.h"
#include "protocol/Account.h"
#include "protocol/AccountDevice.h"
#include "protocol/Connection.h"
#include "protocol/ServerEvent.h"
#include "protocol/ServiceTiming.h"
#include "protocol/SessionInput.h"
#include "protocol/SessionSnapshot.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QWebSocket>

#include <QCoro/QCoroTask>

#include <functional>
#include <memory>
#include <optional>

class HttpExchange;
class TaskHandle;

// The client of one service connection: the plain HTTP requests and the session event
// channel (one WebSocket per service session) with its ready handshake, heartbeat,
// acknowledged commands and audio. Lives on the main thread. Loops and timers remember
// the socket they were started for and stop silently once it is no longer current.
class ServiceClient : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 maximumReplyBytes = 512'000;
    static constexpr qint64 maximumEventBytes = 8 * 1024 * 1024;
    static constexpr qsizetype maximumAudioBytes = 32'000;

    explicit ServiceClient(Connection connection, ServiceTiming timing = {}, QObject *parent = nullptr);
    ~ServiceClient() override;

    const Connection &connection() const { return m_connection; }
    const std::optional<QString> &sessionID() const { return m_sessionID; }
    bool ready() const { return m_ready; }
    bool hasSocket() const { return m_socket != nullptr; }

    // Called for every decoded event, "ready" and "command.ack" included.
    std::function<void(const ServerEvent &)> onEvent;
    // Called once when the socket fails on its own (not after stop() or disconnect()).
    std::function<void()> onDisconnect;

    QCoro::Task<Account> account();
    QCoro::Task<QList<AccountDevice>> devices();
    QCoro::Task<void> revokeDevice(QString id);
    QCoro::Task<void> signOut();
    QCoro::Task<SessionSnapshot> snapshot(QString id);
    QCoro::Task<void> endSession(QString id);

    // Creates a service session and returns once its channel is ready.
    QCoro::Task<void> start(SessionInput input);
    // Returns when the service acknowledges the command.
    QCoro::Task<void> command(QString type, std::optional<QString> channel = std::nullopt,
                              std::optional<QString> answerID = std::nullopt,
                              std::optional<QString> action = std::nullopt,
                              std::optional<QString> question = std::nullopt,
                              std::optional<QString> style = std::nullopt);
    QCoro::Task<void> prepareRange(double fromMs, double toMs, bool follow);
    QCoro::Task<void> sendAudio(QByteArray data, QString channel);

    // Cancels a replay before its next frame; replay() then throws ReplayCancelled and
    // sends no "audio.finish".
    class ReplayControl {
    public:
        void cancel() { m_cancelled = true; }
        bool cancelled() const { return m_cancelled; }

    private:
        bool m_cancelled = false;
    };
    QCoro::Task<void> replay(PCMRecording recording, std::function<void(double)> progress,
                             std::shared_ptr<ReplayControl> control = nullptr);

    // Ends the service session and closes the channel; never throws.
    QCoro::Task<void> stop();
    // Closes everything at once and sends nothing; the client is not used again.
    void disconnect();

    static bool isUUID(const QString &text);

private:
    struct Pending;

    QCoro::Task<QByteArray> api(QString path, QByteArray method, std::optional<QByteArray> body);
    QCoro::Task<void> sendCommand(QString id, QByteArray text);
    void closeSocket();
    void socketFailed(QWebSocket *socket);
    void handleMessage(QWebSocket *socket, const QByteArray &message);
    void completePending(const QString &id, std::optional<QString> failure);
    void startHeartbeat(QWebSocket *socket);

    Connection m_connection;
    ServiceTiming m_timing;
    HttpExchange *m_http;
    QPointer<QWebSocket> m_socket;
    std::optional<QString> m_sessionID;
    bool m_ready = false;
    std::shared_ptr<TaskHandle> m_heartbeat;
    QHash<QString, std::shared_ptr<Pending>> m_acknowledgements;
};
