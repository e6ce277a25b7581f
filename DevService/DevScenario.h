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

    static DevScenario fromJson(const QJsonObject &object);
};
