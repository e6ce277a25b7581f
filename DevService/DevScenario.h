#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// How tests want the development service to misbehave. Each scenario replaces the
// previous one whole; the default is a well-behaved service.
struct DevScenario {
    int readyDelayMs = 0;
    bool withholdReady = false;
    bool withholdAcks = false;
    bool duplicateAcks = false;
    QString ackErrorType;
    QString ackErrorText;
    QString closeAfterCommand;
    bool sendUndecodable = false;
    // Right after "ready", one text event of this many bytes (0: none); `true` in the
    // scenario sends 9 MiB.
    qint64 oversizeBytes = 0;
    // What each "feedback" command costs: a service that bills a control.
    qint64 feedbackCostMicros = 0;
    // Multiplies every wait of the simulated sample, and its conversation times with them:
    // 0.02 plays the two-and-a-half-minute sample in about three seconds.
    double timeScale = 1.0;
    // How many times "sample.start" plays the simulated sample back to back, each round
    // following on from the previous one with ids of its own (1 to 1000).
    int sampleRounds = 1;

    // One HTTP reply to replace.
    struct HttpOverride {
        QByteArray method;
        QString path;
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        QByteArray location;
        bool repeat = false;
    };
    std::optional<HttpOverride> http;

    // The scenario described by a control request, or nothing with the reason in `error`.
    // Without "timeScale" or "sampleRounds" it keeps `defaultTimeScale` and
    // `defaultSampleRounds`, the ones the service was started with.
    static std::optional<DevScenario> fromJson(const QJsonObject &object, double defaultTimeScale,
                                               int defaultSampleRounds, QString &error);

    // A time scale above 0 and at most 100.
    static bool validTimeScale(double scale);
    // A whole number of rounds from 1 to 1000.
    static bool validSampleRounds(double rounds);
};
