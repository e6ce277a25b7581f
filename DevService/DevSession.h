#pragma once

#include "DemoScript.h"
#include "LiveMode.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QWebSocket>

class DevService;

// The event channel of one service session: "ready", acknowledged commands, audio
// frames (answered by the live mode), the scripted conversation of the simulated mode
// and range preparation.
class DevSession : public QObject {
    Q_OBJECT

public:
    DevSession(DevService &service, QString sessionID, QWebSocket *socket, QObject *parent = nullptr);
    ~DevSession() override;

    // Ends the channel from the service's side.
    void close(QWebSocketProtocol::CloseCode code = QWebSocketProtocol::CloseCodeNormal);
    // Sends a snapshot of the session with the given state and reason.
    void sendSnapshot(const QString &type);

private:
    void command(const QString &text);
    void audio(const QByteArray &message);
    void acknowledge(const QString &commandId, const QString &type, const std::optional<QString> &error);
    void send(const ServerEvent &event);
    void sendRaw(const QByteArray &json);
    void runScript();
    void nextStep();
    // Makes the next round of the sample the script; false when the sample is over.
    bool nextRound();
    // Sends one step of the script; false once the session limit stops it.
    bool play(DemoScript::Step step);
    // Pays for work from the session's budget and the service wallet. When the budget
    // cannot pay, the session ends "limited" and nothing is paid.
    bool charge(qint64 micros);
    // Ends the work of the session's modes: the script and the live mode.
    void haltWork();
    LiveMode::Host liveHost();
    // Takes a scripted bank: answers keep the place they first had, typed questions'
    // answers stay, and answers given feedback stay hidden.
    void takeBank(const QList<PreparedAnswer> &scripted);
    void prepareRange(double fromMs, double toMs, bool follow);
    void feedback(const QString &answerId);
    void assist(const QString &question);
    // Sends the whole bank with the session snapshot.
    void sendBank();

    DevService &m_service;
    QString m_sessionID;
    QPointer<QWebSocket> m_socket;
    LiveMode *m_live = nullptr;              // without --simulated
    QList<DemoScript::Step> m_script;        // the round of the sample being played
    qsizetype m_next = 0;
    int m_round = 0;                         // of m_rounds
    int m_rounds = 1;
    double m_timeScale = 1.0;
    QTimer m_stepTimer;
    QElapsedTimer m_scriptClock;             // started by "sample.start"
    QList<PreparedAnswer> m_bank;
    QSet<QString> m_reactedTo;               // answers given feedback
    QList<Transcript> m_heard;               // final segments
    int m_assists = 0;
    bool m_limited = false;
};
