#include "SessionModel.h"

// The screens start coroutine operations through these. A dropped task keeps running
// and frees itself when it finishes; every operation reports through the model.

void SessionModel::requestStart(bool resuming, bool reviewing)
{
    [[maybe_unused]] QCoro::Task<void> running = start(resuming, reviewing);
}

void SessionModel::requestStop()
{
    [[maybe_unused]] QCoro::Task<void> running = stop();
}

void SessionModel::requestReconnect()
{
    [[maybe_unused]] QCoro::Task<void> running = reconnect();
}

void SessionModel::requestHide(const QString &action)
{
    [[maybe_unused]] QCoro::Task<void> running = hideSelected(action);
}

void SessionModel::requestAsk()
{
    [[maybe_unused]] QCoro::Task<void> running = ask();
}

void SessionModel::requestRange()
{
    [[maybe_unused]] QCoro::Task<void> running = prepareRange();
}

void SessionModel::selectAnswer(const QString &id)
{
    setSelectedID(id.isEmpty() ? std::nullopt : std::optional<QString>(id));
}

void SessionModel::followConversation()
{
    setSelectedID(std::nullopt);
}
