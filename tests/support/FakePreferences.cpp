#include "FakePreferences.h"

std::optional<QString> FakePreferences::string(const QString &key) const
{
    reads.append(key);
    const QVariant value = values.value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<qint64> FakePreferences::integer(const QString &key) const
{
    reads.append(key);
    const QVariant value = values.value(key);
    if (value.typeId() != QMetaType::LongLong && value.typeId() != QMetaType::Int)
        return std::nullopt;
    return value.toLongLong();
}

std::optional<bool> FakePreferences::boolean(const QString &key) const
{
    reads.append(key);
    const QVariant value = values.value(key);
    if (value.typeId() != QMetaType::Bool)
        return std::nullopt;
    return value.toBool();
}

void FakePreferences::setString(const QString &key, const QString &value)
{
    values.insert(key, value);
    ++writes;
}

void FakePreferences::setInteger(const QString &key, qint64 value)
{
    values.insert(key, value);
    ++writes;
}

void FakePreferences::setBoolean(const QString &key, bool value)
{
    values.insert(key, value);
    ++writes;
}
