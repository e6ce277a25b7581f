#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

// The JSON configuration file of a developer mode, read once and strictly: every
// problem throws a sentence that names the mode and what is wrong.
class DevModeConfiguration {
public:
    // Reads the file; `mode` names the mode in messages ("capture check"). Throws.
    DevModeConfiguration(const QString &path, const QString &mode);

    QString requiredString(const QString &key) const;
    std::optional<QString> optionalString(const QString &key) const;
    double requiredNumber(const QString &key) const;
    bool optionalBool(const QString &key, bool absent) const;

    // "The <mode> configuration is not valid: <detail>."
    [[noreturn]] void invalid(const QString &detail) const;

private:
    QJsonValue required(const QString &key) const;

    QString m_mode;
    QJsonObject m_object;
};
