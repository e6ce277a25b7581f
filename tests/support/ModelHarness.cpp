#include "ModelHarness.h"

#include "RunTask.h"
#include "TestFiles.h"

ServiceTiming ModelHarness::quickTiming()
{
    ServiceTiming timing;
    timing.readyWait = std::chrono::milliseconds(3000);
    timing.commandTimeout = std::chrono::milliseconds(3000);
    timing.heartbeat = std::chrono::milliseconds(60'000);
    timing.replayFrame = std::chrono::milliseconds(5);
    return timing;
}

ModelHarness::ModelHarness(QStringList arguments)
    : service(std::move(arguments))
{
    model = std::make_unique<SessionModel>(platform.bundle());
    model->setServiceTiming(quickTiming());
}

bool ModelHarness::useRecording(const QByteArray &wav)
{
    const QString path = files.filePath(QStringLiteral("recording.wav"));
    if (!writeFile(path, wav))
        return false;
    model->setSource(QStringLiteral("recording"));
    model->useRecordingFile(path);
    return true;
}

bool ModelHarness::connect()
{
    if (!service.started())
        return false;
    try {
        runTask(model->connect(service.connection(), false));
    } catch (const std::exception &) {
        return false;
    }
    return model->client() != nullptr;
}
