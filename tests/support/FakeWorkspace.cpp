#include "FakeWorkspace.h"

Workspace::ObserverToken FakeWorkspace::addSleepObserver(std::function<void()> handler)
{
    const ObserverToken token = m_next++;
    m_observers.insert(token, std::move(handler));
    return token;
}

void FakeWorkspace::removeSleepObserver(ObserverToken token)
{
    m_observers.remove(token);
}
