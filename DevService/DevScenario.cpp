#include "DevScenario.h"

#include <cmath>

bool DevScenario::validTimeScale(double scale)
{
    return std::isfinite(scale) && scale > 0 && scale <= 100;
}

std::optional<DevScenario> DevScenario::fromJson(const QJsonObject &object, double defaultTimeScale, QString &error)
{
    DevScenario scenario;
    scenario.timeScale = defaultTimeScale;
    if (object.contains("timeScale")) {
        const QJsonValue scale = object.value("timeScale");
        if (!scale.isDouble() || !validTimeScale(scale.toDouble())) {
            error = QStringLiteral("timeScale needs a number above 0 and at most 100.");
            return std::nullopt;
        }
        scenario.timeScale = scale.toDouble();
    }
    scenario.readyDelayMs = object.value("readyDelayMs").toInt(0);
    scenario.withholdReady = object.value("withholdReady").toBool(false);
    scenario.withholdAcks = object.value("withholdAcks").toBool(false);
    scenario.duplicateAcks = object.value("duplicateAcks").toBool(false);
    const QJsonObject ackError = object.value("ackError").toObject();
    scenario.ackErrorType = ackError.value("type").toString();
    scenario.ackErrorText = ackError.value("error").toString();
    scenario.closeAfterCommand = object.value("closeAfterCommand").toString();
    scenario.sendUndecodable = object.value("sendUndecodable").toBool(false);
    scenario.sendOversize = object.value("sendOversize").toBool(false);
    if (object.contains("http")) {
        const QJsonObject http = object.value("http").toObject();
        HttpOverride reply;
        reply.method = http.value("method").toString("GET").toUtf8();
        reply.path = http.value("path").toString();
        reply.status = http.value("status").toInt(200);
        reply.body = http.value("body").toString().toUtf8();
        if (http.contains("bodySize")) {
            // Filler that is still one valid JSON value: a long string.
            const qsizetype size = std::max<qsizetype>(2, http.value("bodySize").toInteger());
            reply.body = '"' + QByteArray(size - 2, 'x') + '"';
        }
        if (http.contains("contentType"))
            reply.contentType = http.value("contentType").toString().toUtf8();
        reply.location = http.value("location").toString().toUtf8();
        reply.repeat = http.value("repeat").toBool(false);
        scenario.http = reply;
    }
    return scenario;
}
