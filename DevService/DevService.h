#pragma once

#include "DevScenario.h"
#include "HttpMessage.h"
#include "protocol/SessionInput.h"
#include "protocol/SessionSnapshot.h"

#include <QHash>
#include <QJsonArray>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QWebSocketServer>

#include <optional>

class DevSession;
class QTcpSocket;

// The local development service: the service's HTTP API, email-code sign-in and the
// session event channel on loopback, with everything in memory. Tests steer it through
// the loopback-only "/dev/" endpoints.
class DevService : public QObject {
    Q_OBJECT

public:
    struct Options {
        quint16 port = 4318;
        bool simulated = false;
        QString token;                       // empty: a random one
        std::optional<qint64> maxSessionMinutes;
        qint64 balanceMicros = 5'000'000;
        double timeScale = 1.0;              // of the simulated sample; scenarios may change it
        int sampleRounds = 1;                // times the sample plays back to back; likewise
        bool freeSample = false;             // the simulated sample spends nothing
        // The live mode: where its words come from, and whether its answers are the
        // script's rather than the library's passages.
        enum class Words { PocketSphinx, Script };
        Words words = Words::PocketSphinx;
        QString speechModel;                 // PocketSphinx's model folder; empty: the installed one
        bool scriptedAnswers = false;
    };

    struct Device {
        QString id;
        QString name;
        QString token;
        QString email;                       // empty for the development device
        double createdAt = 0;
        double expiresAt = 0;
        bool revoked = false;
    };

    struct Session {
        QString id;
        QString deviceId;
        SessionInput input;
        SessionSnapshot snapshot;
        QPointer<DevSession> channel;
        bool deleted = false;
    };

    struct SignInRequest {
        QString requestId;
        QString email;
        QString deviceName;
        QString challenge;
        QString code;
        double expiresAt = 0;
        bool used = false;
    };

    explicit DevService(Options options, QObject *parent = nullptr);
    ~DevService() override;

    bool listen(QString *error);
    quint16 port() const;
    QString baseUrl() const;
    QString token() const { return m_options.token; }
    bool simulated() const { return m_options.simulated; }
    bool freeSample() const { return m_options.freeSample; }
    const Options &options() const { return m_options; }

    const DevScenario &scenario() const { return m_scenario; }
    Session *session(const QString &id);
    void logCommand(const QString &session, const QJsonObject &command);
    void logAudio(const QString &session, qsizetype size, int tag);
    void spend(qint64 micros);
    void sessionStopped(const QString &id);

    static double nowSeconds();
    static QString newID();

private:
    void accept();
    void readRequests(QTcpSocket *socket);
    bool upgrade(QTcpSocket *socket, const HttpMessage &request);
    QByteArray respond(const HttpMessage &request);
    QByteArray route(const HttpMessage &request, Device *device);
    QByteArray auth(const HttpMessage &request);
    QByteArray control(const HttpMessage &request);
    Device *deviceFor(const HttpMessage &request);
    QByteArray accountJson(const Device &device) const;
    void revokeOthers(const QString &email, const QString &keepDeviceId);

    Options m_options;
    QTcpServer m_server;
    QWebSocketServer m_sockets;
    QHash<QString, Device> m_devices;        // by id
    QHash<QString, Session> m_sessions;      // by id
    QHash<QString, SignInRequest> m_signIns; // by request id
    qint64 m_spentMicros = 0;
    DevScenario m_scenario;
    QJsonArray m_commandLog;
    QJsonArray m_audioLog;
    QJsonArray m_requestLog;
    QJsonArray m_deletedLog;
    QJsonArray m_stoppedLog;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};
