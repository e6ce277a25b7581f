#include "FakeHotKeys.h"

int FakeHotKeys::installHandler(std::function<void()> pressed)
{
    log->append(QStringLiteral("installHandler"));
    if (handlerStatus == 0)
        m_pressed = std::move(pressed);
    return handlerStatus;
}

int FakeHotKeys::registerHotKey()
{
    log->append(QStringLiteral("registerHotKey"));
    m_registered = registrationStatus == 0;
    return registrationStatus;
}

void FakeHotKeys::unregisterHotKey()
{
    log->append(QStringLiteral("unregisterHotKey"));
    m_registered = false;
}

void FakeHotKeys::removeHandler()
{
    log->append(QStringLiteral("removeHandler"));
    m_pressed = {};
}

void FakeHotKeys::press()
{
    if (m_pressed && m_registered)
        m_pressed();
}
