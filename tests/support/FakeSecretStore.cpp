#include "FakeSecretStore.h"

SecretStore::Status FakeSecretStore::update(const QString &service, const QString &account, const QByteArray &data)
{
    if (failing == QLatin1String("update"))
        return Status::Failure;
    const auto found = items.find({service, account});
    if (found == items.end())
        return Status::NotFound;
    *found = data;
    return Status::Success;
}

SecretStore::Status FakeSecretStore::add(const QString &service, const QString &account, const QByteArray &data)
{
    if (failing == QLatin1String("add"))
        return Status::Failure;
    items.insert({service, account}, data);
    return Status::Success;
}

SecretStore::Item FakeSecretStore::copy(const QString &service, const QString &account)
{
    if (failing == QLatin1String("copy"))
        return {Status::Failure, std::nullopt};
    const auto found = items.constFind({service, account});
    if (found == items.constEnd())
        return {Status::NotFound, std::nullopt};
    return {Status::Success, failing == QLatin1String("nodata") ? std::nullopt : std::optional(*found)};
}

SecretStore::Status FakeSecretStore::remove(const QString &service, const QString &account)
{
    if (failing == QLatin1String("remove"))
        return Status::Failure;
    return items.remove({service, account}) ? Status::Success : Status::NotFound;
}
