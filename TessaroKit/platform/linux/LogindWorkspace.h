#pragma once

#include "platform/Workspace.h"

#include <QMap>
#include <QObject>

// The desktop session on Linux: logind's PrepareForSleep signal on the system bus is
// the notice that the machine is about to sleep. Without a system bus the notice
// simply never comes. Running applications come from the process table and the
// desktop entries (RunningApplications).
class LogindWorkspace : public QObject, public Workspace {
    Q_OBJECT

public:
    explicit LogindWorkspace(QObject *parent = nullptr);

    ObserverToken addSleepObserver(std::function<void()> handler) override;
    void removeSleepObserver(ObserverToken token) override;
    QSet<QString> regularApplications() override;

private slots:
    void prepareForSleep(bool start);

private:
    QMap<ObserverToken, std::function<void()>> m_observers;
    ObserverToken m_nextToken = 1;
};
