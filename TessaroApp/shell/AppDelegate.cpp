#include "AppDelegate.h"

#include "model/QmlInstances.h"

#include "platform/HotKeys.h"

AppDelegate::AppDelegate(std::shared_ptr<HotKeys> hotKeys, QObject *parent, std::FILE *output)
    : QObject(parent), m_hotKeys(std::move(hotKeys)), m_output(output)
{
}

AppDelegate::~AppDelegate()
{
    // The handler captures this object; it must not outlive it.
    releaseHotKey();
}

void AppDelegate::setModel(SessionModel *model)
{
    m_model = model;
    emit modelChanged();
}

void AppDelegate::setCompanionOpener(const QJSValue &opener)
{
    if (!opener.isCallable()) {
        showCompanion = nullptr;
        return;
    }
    showCompanion = [opener]() mutable { opener.call(); };
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (m_launched)
        return;
    m_launched = true;

    int handlerStatus = -1;
    int registrationStatus = -1;
    if (m_hotKeys) {
        // Presses may come from another thread; the opener runs on this object's thread.
        QPointer<AppDelegate> self(this);
        handlerStatus = m_hotKeys->installHandler([self] {
            if (self)
                QMetaObject::invokeMethod(self.data(), &AppDelegate::showCompanionNow);
        });
        m_handlerInstalled = handlerStatus == 0;
        registrationStatus = m_hotKeys->registerHotKey();
        m_hotKeyRegistered = registrationStatus == 0;
    }
    if (m_output) {
        std::fprintf(m_output, "Corvana companion shortcut status: %d, %d\n", handlerStatus, registrationStatus);
        std::fflush(m_output);
    }
}

void AppDelegate::applicationWillTerminate()
{
    if (m_model)
        m_model->terminate();
    releaseHotKey();
}

void AppDelegate::showCompanionNow()
{
    if (showCompanion)
        showCompanion();
}

void AppDelegate::releaseHotKey()
{
    if (!m_hotKeys)
        return;
    if (m_hotKeyRegistered)
        m_hotKeys->unregisterHotKey();
    m_hotKeyRegistered = false;
    if (m_handlerInstalled)
        m_hotKeys->removeHandler();
    m_handlerInstalled = false;
}

AppDelegate *AppDelegate::create(QQmlEngine *engine, QJSEngine *)
{
    return QmlInstances::take<AppDelegate>(engine);
}
