#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A per-user store of secret items, each identified by a service and an account name.
// Every operation reports a status instead of throwing, so callers can tell a missing
// item from a store that refused (typically because it is locked).
class SecretStore {
public:
    enum class Status { Success, NotFound, Failure };

    struct Item {
        Status status = Status::Failure;
        std::optional<QByteArray> data;
    };

    virtual ~SecretStore() = default;

    // Replaces the data of an existing item; NotFound when there is none.
    virtual Status update(const QString &service, const QString &account, const QByteArray &data) = 0;
    // Creates the item, readable only by this user on this machine.
    virtual Status add(const QString &service, const QString &account, const QByteArray &data) = 0;
    virtual Item copy(const QString &service, const QString &account) = 0;
    virtual Status remove(const QString &service, const QString &account) = 0;
};
