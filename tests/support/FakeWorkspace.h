#pragma once

#include "platform/Workspace.h"

#include <QMap>

// A workspace whose running applications the test sets and whose sleep observers it counts.
class FakeWorkspace : public Workspace {
public:
    ObserverToken addSleepObserver(std::function<void()> handler) override;
    void removeSleepObserver(ObserverToken token) override;
    QSet<QString> regularApplications() override { return applications; }

    // What regularApplications() answers.
    QSet<QString> applications;

    int observerCount() const { return int(m_observers.size()); }

private:
    QMap<ObserverToken, std::function<void()>> m_observers;
    ObserverToken m_next = 1;
};
