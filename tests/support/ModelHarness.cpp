#include "ModelHarness.h"

#include "RunTask.h"

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
