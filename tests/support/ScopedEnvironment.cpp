#include "ScopedEnvironment.h"

#include <QtGlobal>

ScopedEnvironment::~ScopedEnvironment()
{
    for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it) {
        if (it->second)
            qputenv(it->first.constData(), *it->second);
        else
            qunsetenv(it->first.constData());
    }
}

void ScopedEnvironment::remember(const char *name)
{
    std::optional<QByteArray> previous;
    if (qEnvironmentVariableIsSet(name))
        previous = qgetenv(name);
    m_saved.append({QByteArray(name), previous});
}

void ScopedEnvironment::set(const char *name, const QByteArray &value)
{
    remember(name);
    qputenv(name, value);
}

void ScopedEnvironment::unset(const char *name)
{
    remember(name);
    qunsetenv(name);
}
