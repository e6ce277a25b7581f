#include "DeviceCredential.h"

#include "protocol/TessaroError.h"
#include "protocol/WireCoding.h"

const QString DeviceCredential::accountName = QStringLiteral("connection");

DeviceCredential::DeviceCredential(SecretStore &store, QString bundleIdentifier)
    : m_store(store)
    , m_bundleIdentifier(std::move(bundleIdentifier))
{
}

QString DeviceCredential::serviceName(const QString &bundleIdentifier)
{
    if (bundleIdentifier == QLatin1String("com.quorrel.corvana"))
        return QStringLiteral("com.quorrel.corvana.device");
    return QStringLiteral("com.tessaro.native.device");
}

void DeviceCredential::save(const Connection &connection)
{
    const QByteArray data = wire::encode(connection);
    const QString service = serviceName(m_bundleIdentifier);
    switch (m_store.update(service, accountName, data)) {
    case SecretStore::Status::Success:
        return;
    case SecretStore::Status::NotFound:
        if (m_store.add(service, accountName, data) != SecretStore::Status::Success)
            throw TessaroError::message(QStringLiteral("Could not save the device token in your keyring."));
        return;
    case SecretStore::Status::Failure:
        throw TessaroError::message(QStringLiteral("Could not update the device token in your keyring."));
    }
}

std::optional<Connection> DeviceCredential::load()
{
    const SecretStore::Item item = m_store.copy(serviceName(m_bundleIdentifier), accountName);
    if (item.status == SecretStore::Status::NotFound)
        return std::nullopt;
    if (item.status != SecretStore::Status::Success || !item.data)
        throw TessaroError::message(QStringLiteral("Unlock your keyring to reconnect Corvana."));
    return wire::decode<Connection>(*item.data);
}

void DeviceCredential::remove()
{
    if (m_store.remove(serviceName(m_bundleIdentifier), accountName) == SecretStore::Status::Failure)
        throw TessaroError::message(QStringLiteral("Unlock your keyring to remove this device\u2019s saved sign-in."));
}
