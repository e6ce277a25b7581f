#pragma once

#include <QByteArray>
#include <QList>
#include <optional>
#include <utility>

// Sets or removes environment variables for the life of the object and restores the
// previous values afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;
    ~ScopedEnvironment();

    void set(const char *name, const QByteArray &value);
    void unset(const char *name);

private:
    void remember(const char *name);
    QList<std::pair<QByteArray, std::optional<QByteArray>>> m_saved;
};
