#pragma once

#include "platform/SecretStore.h"

#include <QHash>
#include <QPair>

// Secret items in memory, with switches that make each operation fail as a locked
// store would.
class FakeSecretStore : public SecretStore {
public:
    Status update(const QString &service, const QString &account, const QByteArray &data) override;
    Status add(const QString &service, const QString &account, const QByteArray &data) override;
    Item copy(const QString &service, const QString &account) override;
    Status remove(const QString &service, const QString &account) override;

    QHash<QPair<QString, QString>, QByteArray> items;
    bool failUpdate = false;
    bool failAdd = false;
    bool failCopy = false;
    bool copyWithoutData = false;
    bool failRemove = false;
};
