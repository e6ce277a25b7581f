#include "SettingsPreferences.h"

namespace {

std::optional<qint64> integerFromText(const QString &text)
{
    if (text.isEmpty() || text.trimmed() != text)
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

} // namespace

SettingsPreferences::SettingsPreferences()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QStringLiteral("Tessaro"), QStringLiteral("Corvana")))
{
}

SettingsPreferences::SettingsPreferences(const QString &filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
}

SettingsPreferences::~SettingsPreferences() = default;

std::optional<QString> SettingsPreferences::string(const QString &key) const
{
    const QVariant value = m_settings->value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<qint64> SettingsPreferences::integer(const QString &key) const
{
    const QVariant value = m_settings->value(key);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
        return value.toLongLong();
    case QMetaType::QString:
        return integerFromText(value.toString());
    default:
        return std::nullopt;
    }
}

std::optional<bool> SettingsPreferences::boolean(const QString &key) const
{
    const QVariant value = m_settings->value(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() == QMetaType::QString) {
        if (value.toString() == QLatin1String("true"))
            return true;
        if (value.toString() == QLatin1String("false"))
            return false;
    }
    return std::nullopt;
}

void SettingsPreferences::setString(const QString &key, const QString &value)
{
    m_settings->setValue(key, value);
    m_settings->sync();
}

void SettingsPreferences::setInteger(const QString &key, qint64 value)
{
    m_settings->setValue(key, value);
    m_settings->sync();
}

void SettingsPreferences::setBoolean(const QString &key, bool value)
{
    m_settings->setValue(key, value);
    m_settings->sync();
}
