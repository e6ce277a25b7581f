#pragma once

#include "platform/Preferences.h"

#include <QSettings>

#include <memory>

// Preferences kept in the user's settings file (~/.config/Tessaro/Corvana.conf), or in
// a given file. The file keeps no value kinds, so integers and Booleans are also read
// back from their text; a text that is not one reads as missing.
class SettingsPreferences : public Preferences {
public:
    SettingsPreferences();
    explicit SettingsPreferences(const QString &filePath);
    ~SettingsPreferences() override;

    std::optional<QString> string(const QString &key) const override;
    std::optional<qint64> integer(const QString &key) const override;
    std::optional<bool> boolean(const QString &key) const override;

    void setString(const QString &key, const QString &value) override;
    void setInteger(const QString &key, qint64 value) override;
    void setBoolean(const QString &key, bool value) override;

private:
    std::unique_ptr<QSettings> m_settings;
};
