#include "DevScenario.h"

#include <cmath>

bool DevScenario::validTimeScale(double scale)
{
    return std::isfinite(scale) && scale > 0 && scale <= 100;
}

bool DevScenario::validSampleRounds(double rounds)
{
    return std::isfinite(rounds) && rounds >= 1 && rounds <= 1000 && std::trunc(rounds) == rounds;
}

std::optional<DevScenario> DevScenario::fromJson(const QJsonObject &object, double defaultTimeScale,
                                                 int defaultSampleRounds, QString &error)
{
    DevScenario scenario;
    scenario.timeScale = defaultTimeScale;
    scenario.sampleRounds = defaultSampleRounds;
    if (object.contains("sampleRounds")) {
        const QJsonValue rounds = object.value("sampleRounds");
        if (!rounds.isDouble() || !validSampleRounds(rounds.toDouble())) {
            error = QStringLiteral("sampleRounds needs a whole number from 1 to 1000.");
            return std::nullopt;
        }
        scenario.sampleRounds = int(rounds.toDouble());
    }
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
    const QJsonValue oversize = object.value("sendOversize");
    if (oversize.isBool()) {
        scenario.oversizeBytes = oversize.toBool() ? 9 * 1024 * 1024 : 0;
    } else if (!oversize.isUndefined()) {
        // At least what the event's own envelope takes, at most 64 MiB.
        const double bytes = oversize.toDouble(-1);
        if (!oversize.isDouble() || std::trunc(bytes) != bytes || bytes < 32 || bytes > 64.0 * 1024 * 1024) {
            error = QStringLiteral("sendOversize needs true, false or a byte count from 32 to 67108864.");
            return std::nullopt;
        }
        scenario.oversizeBytes = qint64(bytes);
    }
    const QJsonValue feedbackCost = object.value("feedbackCostMicros");
    if (!feedbackCost.isUndefined()) {
        const double micros = feedbackCost.toDouble(-1);
        if (!feedbackCost.isDouble() || std::trunc(micros) != micros || micros < 0 || micros > 1e12) {
            error = QStringLiteral("feedbackCostMicros needs a whole number of micro-dollars.");
            return std::nullopt;
        }
        scenario.feedbackCostMicros = qint64(micros);
    }
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
