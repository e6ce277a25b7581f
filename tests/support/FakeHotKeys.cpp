#include "FakeHotKeys.h"

int FakeHotKeys::installHandler(std::function<void()> pressed)
{
    log->append(QStringLiteral("installHandler"));
    m_pressed = std::move(pressed);
    return 0;
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
