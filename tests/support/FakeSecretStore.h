#pragma once

#include "platform/SecretStore.h"

#include <QHash>
#include <QPair>

// Secret items in memory. The operation named in `failing` ("add", "update", "copy",
// "remove") fails as a locked store would; "nodata" finds items without their data.
class FakeSecretStore : public SecretStore {
public:
    Status update(const QString &service, const QString &account, const QByteArray &data) override;
    Status add(const QString &service, const QString &account, const QByteArray &data) override;
    Item copy(const QString &service, const QString &account) override;
    Status remove(const QString &service, const QString &account) override;

    QHash<QPair<QString, QString>, QByteArray> items;
    QString failing;
};
