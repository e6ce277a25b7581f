#include "FakePreferences.h"

namespace {

// Records the read and answers the stored value when it is of one of the kinds, else an
// invalid value.
QVariant readOfKind(const FakePreferences &preferences, const QString &key, std::initializer_list<int> kinds)
{
    preferences.reads.append(key);
    const QVariant value = preferences.values.value(key);
    return std::find(kinds.begin(), kinds.end(), value.typeId()) == kinds.end() ? QVariant() : value;
}

} // namespace

std::optional<QString> FakePreferences::string(const QString &key) const
{
    const QVariant value = readOfKind(*this, key, {QMetaType::QString});
    return value.isValid() ? std::optional(value.toString()) : std::nullopt;
}

std::optional<qint64> FakePreferences::integer(const QString &key) const
{
    const QVariant value = readOfKind(*this, key, {QMetaType::LongLong, QMetaType::Int});
    return value.isValid() ? std::optional(value.toLongLong()) : std::nullopt;
}

std::optional<bool> FakePreferences::boolean(const QString &key) const
{
    const QVariant value = readOfKind(*this, key, {QMetaType::Bool});
    return value.isValid() ? std::optional(value.toBool()) : std::nullopt;
}
