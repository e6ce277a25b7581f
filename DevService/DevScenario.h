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
    bool sendOversize = false;
    // Multiplies every wait of the simulated sample, and its conversation times with them:
    // 0.02 plays the two-and-a-half-minute sample in about three seconds.
    double timeScale = 1.0;

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
    // Without "timeScale" it keeps `defaultTimeScale`, the one the service was started with.
    static std::optional<DevScenario> fromJson(const QJsonObject &object, double defaultTimeScale, QString &error);

    // A time scale above 0 and at most 100.
    static bool validTimeScale(double scale);
};
