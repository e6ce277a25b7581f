#include "devmodes/CaptureCheck.h"

#include "devmodes/DevModeConfiguration.h"
#include "devmodes/EvidenceFile.h"
#include "protocol/TaskHandle.h"
#include "protocol/TessaroError.h"

#include <QJsonArray>

namespace {

// Frames and highest level of one channel.
struct ChannelTally {
    qint64 frames = 0;
    double peak = 0;
};

QCoro::Task<void> consume(std::shared_ptr<CapturedAudioStream> stream, std::shared_ptr<QHash<QString, ChannelTally>> tally,
                          std::shared_ptr<std::optional<QString>> failure, std::shared_ptr<TaskHandle> wait,
                          LiveAudioCapture *capture)
{
    try {
        while (const std::optional<CapturedAudio> frame = co_await stream->next()) {
            ChannelTally &channel = (*tally)[frame->channel];
            channel.frames += 1;
            channel.peak = std::max(channel.peak, double(frame->level));
        }
    } catch (const std::exception &error) {
        *failure = describeFailure(error);
    }
    if (*failure) {
        capture->stop();
        // No reason to wait out the planned time once capture has failed.
        wait->cancel();
    }
}

} // namespace

CaptureCheck::CaptureCheck(Environment environment) : m_environment(std::move(environment)) {}

CaptureCheck::Config CaptureCheck::readConfig(const QString &path)
{
    const DevModeConfiguration file(path, QStringLiteral("capture check"));
    Config config;
    config.output = file.requiredString(QStringLiteral("output"));
    config.source = file.requiredString(QStringLiteral("source"));
    config.seconds = file.requiredNumber(QStringLiteral("seconds"));
    config.bundle = file.optionalString(QStringLiteral("bundle"));
    config.playFile = file.optionalString(QStringLiteral("playFile"));
    config.playerOnly = file.optionalBool(QStringLiteral("playerOnly"), false);
    return config;
}

void CaptureCheck::writeEvidence(const QString &path, const QJsonObject &evidence)
{
    EvidenceFile::write(path, evidence);
}

QCoro::Task<std::optional<QList<quint32>>> CaptureCheck::playerProcesses(LiveAudioCapture &capture, qint64 pid)
{
    const auto handle = TaskHandle::make();
    const auto deadline = std::chrono::steady_clock::now() + m_environment.playerWait;
    while (true) {
        try {
            co_return QList<quint32>{capture.processObject(qint32(pid))};
        } catch (const TessaroError &) {
        }
        if (std::chrono::steady_clock::now() >= deadline)
            throw TessaroError::message(QStringLiteral("Fixture player not available."));
        co_await handle->sleep(m_environment.playerPoll);
    }
}

QCoro::Task<void> CaptureCheck::capture(const Config &config, QJsonObject &evidence,
                                        std::unique_ptr<LiveAudioCapture> &capture)
{
    if (config.seconds < 1.0 || config.seconds > 45.0)
        throw TessaroError::message(QStringLiteral("Use a short capture check."));

    capture = m_environment.makeCapture();
    const QList<AudioSource> sources = capture->sources();
    QJsonArray available;
    for (const AudioSource &source : sources) {
        QJsonArray processes;
        for (quint32 process : source.processIDs)
            processes.append(qint64(process));
        available.append(QJsonObject{{QStringLiteral("bundle"), source.id}, {QStringLiteral("processes"), processes}});
    }
    evidence.insert(QStringLiteral("availableSources"), available);

    std::optional<QList<quint32>> processes;
    if (config.bundle) {
        processes = QList<quint32>();
        for (const AudioSource &source : sources) {
            if (source.id == *config.bundle) {
                processes = source.processIDs;
                break;
            }
        }
    }

    bool launched = false;
    if (config.playerOnly && config.playFile) {
        const qint64 pid = m_environment.player->play(*config.playFile);
        launched = true;
        if (!processes)
            processes = co_await playerProcesses(*capture, pid);
    }

    const std::shared_ptr<CapturedAudioStream> stream = co_await capture->start(config.source, processes);
    evidence.insert(QStringLiteral("captureStartedAt"), m_environment.epochMilliseconds() / 1000.0);
    writeEvidence(config.output, evidence);

    auto tally = std::make_shared<QHash<QString, ChannelTally>>();
    auto failure = std::make_shared<std::optional<QString>>();
    const auto wait = TaskHandle::make();
    QCoro::Task<void> consumer = consume(stream, tally, failure, wait, capture.get());

    if (!launched && config.playFile)
        m_environment.player->play(*config.playFile);

    co_await wait->sleep(std::chrono::milliseconds(qint64(config.seconds * 1000)));
    capture->stop();
    co_await std::move(consumer);
    if (*failure)
        throw TessaroError::message(**failure);

    QJsonObject frames;
    QJsonObject peak;
    for (auto channel = tally->cbegin(); channel != tally->cend(); ++channel) {
        frames.insert(channel.key(), channel->frames);
        peak.insert(channel.key(), channel->peak);
    }
    const QStringList required = config.source == QLatin1String("both")
                                     ? QStringList{QStringLiteral("system"), QStringLiteral("microphone")}
                                     : QStringList{config.source};
    bool success = true;
    for (const QString &channel : required)
        success = success && tally->value(channel).frames > 0;
    evidence.insert(QStringLiteral("routeRestarts"), capture->routeRestarts());
    evidence.insert(QStringLiteral("frames"), frames);
    evidence.insert(QStringLiteral("peak"), peak);
    evidence.insert(QStringLiteral("source"), config.source);
    evidence.insert(QStringLiteral("success"), success);
    evidence.insert(QStringLiteral("stopped"), true);
}

QCoro::Task<void> CaptureCheck::run(QString path)
{
    QJsonObject evidence{{QStringLiteral("mode"), QStringLiteral("local-capture-only")},
                         {QStringLiteral("providerCalls"), 0}};
    std::unique_ptr<LiveAudioCapture> controller;
    std::optional<QString> failure;
    std::optional<QString> output;
    try {
        const Config config = readConfig(path);
        output = config.output;
        co_await capture(config, evidence, controller);
    } catch (const std::exception &error) {
        failure = describeFailure(error);
    }

    if (failure) {
        evidence.insert(QStringLiteral("stopped"), true);
        evidence.insert(QStringLiteral("success"), false);
        evidence.insert(QStringLiteral("error"), *failure);
        if (controller)
            controller->stop();
        // The output path comes from the configuration as it reads now.
        output.reset();
        try {
            output = readConfig(path).output;
        } catch (const std::exception &) {
        }
    }
    if (m_environment.player)
        m_environment.player->terminate();
    if (output) {
        try {
            writeEvidence(*output, evidence);
        } catch (const std::exception &) {
            // Nowhere left to report it; the application quits all the same.
        }
    }
    if (controller)
        controller->stop();
    if (m_environment.quit)
        m_environment.quit();
}
