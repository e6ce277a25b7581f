#pragma once

#include "platform/SecretStore.h"

// Secret items in the desktop's Secret Service (GNOME Keyring, KWallet, KeePassXC)
// through libsecret, stored in the default collection and found by their "service" and
// "account" attributes. A locked collection or a missing service is a Failure.
class LibsecretStore : public SecretStore {
public:
    Status update(const QString &service, const QString &account, const QByteArray &data) override;
    Status add(const QString &service, const QString &account, const QByteArray &data) override;
    Item copy(const QString &service, const QString &account) override;
    Status remove(const QString &service, const QString &account) override;
};
