#pragma once

#include "platform/Preferences.h"

#include <QVariantMap>

// In-memory preferences that keep the kind of every stored value, so tests can store
// values of the wrong kind.
class FakePreferences : public Preferences {
public:
    std::optional<QString> string(const QString &key) const override;
    std::optional<qint64> integer(const QString &key) const override;
    std::optional<bool> boolean(const QString &key) const override;

    void setString(const QString &key, const QString &value) override { store(key, value); }
    void setInteger(const QString &key, qint64 value) override { store(key, value); }
    void setBoolean(const QString &key, bool value) override { store(key, value); }

    QVariantMap values;
    // Every key read, in order.
    mutable QStringList reads;
    int writes = 0;

private:
    void store(const QString &key, const QVariant &value)
    {
        values.insert(key, value);
        ++writes;
    }
};
