#pragma once

#include "devmodes/LiveEvaluationObserver.h"
#include "platform/AudioHardware.h"
#include "platform/FixturePlayer.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QJsonObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class SessionModel;

// A scripted end-to-end run against a funded live service: a public recording plays
// through the fixture player, only the player's own audio is captured as meeting audio,
// a real session with a small spend limit transcribes and prepares it, the answer
// controls are exercised through the session model as a user would, and the evidence
// (including proof that the controls cost nothing) is written before the app quits.
class LiveEvaluation {
public:
    struct Config {
        QString output;
        QString clip;
        qint64 budgetMicros = 0;
    };

    struct Environment {
        std::shared_ptr<AudioHardware> hardware;
        std::shared_ptr<FixturePlayer> player;
        // Wall clock in milliseconds since 1970.
        std::function<double()> epochMilliseconds;
        // Writes one line to standard output.
        std::function<void(const QString &line)> print;
        // Ends the application; called once at the very end.
        std::function<void()> quit;

        std::chrono::milliseconds playerPoll{50};
        std::chrono::milliseconds playerWait{3'000};
        std::chrono::milliseconds modelPoll{400};
        // The fixture starts with 8 s of silence; capture must be running before it ends.
        std::chrono::milliseconds readyLimit{7'500};
        std::chrono::milliseconds settlePoll{100};
        std::chrono::milliseconds settleLimit{60'000};
        // How long the finished run stays before quitting.
        std::chrono::milliseconds linger{12'000};
    };

    static constexpr qint64 minimumBudgetMicros = 10'000;
    static constexpr qint64 maximumBudgetMicros = 100'000;
    static constexpr double maximumClipSeconds = 30.0;
    static constexpr qsizetype silenceBytes = 256'000;
    // Silence after the recording, so the last utterance ends and is recognised while the
    // player still plays, not after the run has settled.
    static constexpr qsizetype trailingSilenceBytes = 96'000;

    LiveEvaluation(SessionModel &model, Environment environment);

    // Runs the evaluation described by the configuration file; never throws. Every way it
    // ends quits the application.
    QCoro::Task<void> run(QString path);

    // Reads and decodes a configuration file. Throws with a readable text.
    static Config readConfig(const QString &path);
    // A 16 kHz mono 16-bit WAV file: 8 seconds of silence, then the samples.
    static QByteArray fixture(const QByteArray &pcm);
    // The budget as the setup screen writes it: micro-dollars as a decimal dollar amount.
    static QString budgetText(qint64 micros);

private:
    struct ControlResults {
        bool prepared = false;
        bool known = false;
        bool reveal = false;
        bool dismiss = false;
    };

    QCoro::Task<void> evaluate(const QString &path);
    QCoro::Task<QJsonObject> drive(const Config &config, double recordingSeconds, bool &sessionStarted);
    QCoro::Task<quint32> playerProcess(qint64 pid);
    QCoro::Task<ControlResults> exerciseControls(QString answerID);
    QCoro::Task<qint64> spentMicros();
    bool markedHidden(const QString &answerID) const;
    void cleanUp();

    SessionModel &m_model;
    Environment m_environment;
    std::unique_ptr<LiveEvaluationObserver> m_observer;
    std::optional<QString> m_fixturePath;
};
