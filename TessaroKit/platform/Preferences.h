#pragma once

#include <QString>

#include <optional>

// The per-user key-value store of the application's settings. Readers get a value only
// when the stored one has the asked-for kind; anything else reads as missing.
class Preferences {
public:
    virtual ~Preferences() = default;

    virtual std::optional<QString> string(const QString &key) const = 0;
    virtual std::optional<qint64> integer(const QString &key) const = 0;
    virtual std::optional<bool> boolean(const QString &key) const = 0;

    virtual void setString(const QString &key, const QString &value) = 0;
    virtual void setInteger(const QString &key, qint64 value) = 0;
    virtual void setBoolean(const QString &key, bool value) = 0;
};
