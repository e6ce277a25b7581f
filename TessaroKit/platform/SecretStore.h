#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A per-user store of secret items addressed by (service, account). Failures throw an
// exception whose text is the store's own; a missing item is not a failure.
class SecretStore {
public:
    virtual ~SecretStore() = default;

    virtual std::optional<QByteArray> read(const QString &service, const QString &account) = 0;
    virtual void write(const QString &service, const QString &account, const QByteArray &secret) = 0;
    // Removing a missing item succeeds.
    virtual void remove(const QString &service, const QString &account) = 0;
};
