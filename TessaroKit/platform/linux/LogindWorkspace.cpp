#include "LogindWorkspace.h"

#include "RunningApplications.h"

#include <QDBusConnection>

LogindWorkspace::LogindWorkspace(QObject *parent)
    : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected()) {
        bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                    this, SLOT(prepareForSleep(bool)));
    }
}

Workspace::ObserverToken LogindWorkspace::addSleepObserver(std::function<void()> handler)
{
    const ObserverToken token = m_nextToken++;
    m_observers.insert(token, std::move(handler));
    return token;
}

void LogindWorkspace::removeSleepObserver(ObserverToken token)
{
    m_observers.remove(token);
}

void LogindWorkspace::prepareForSleep(bool start)
{
    if (!start)
        return;
    // A handler may remove observers; call a copy.
    const auto observers = m_observers;
    for (const auto &handler : observers)
        handler();
}

QSet<QString> LogindWorkspace::regularApplications()
{
    return RunningApplications::scan();
}
