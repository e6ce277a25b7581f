#include "AppDelegate.h"

#include "model/QmlInstances.h"

#include "platform/HotKeys.h"

const QString AppDelegate::noShortcutLine = QStringLiteral(
    "No companion shortcut is available here. To summon the companion with a key, bind the command "
    "\u201ccorvana --companion\u201d to a key in your desktop\u2019s keyboard settings.");

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
                QMetaObject::invokeMethod(self.data(), &AppDelegate::hotKeyPressed);
        });
        m_hotKeys->setBindingChanged([self] {
            if (self)
                emit self->shortcutLineChanged();
        });
        m_handlerInstalled = handlerStatus == 0;
        registrationStatus = m_hotKeys->registerHotKey();
        m_hotKeyRegistered = registrationStatus == 0;
        emit shortcutLineChanged();
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

void AppDelegate::hotKeyPressed()
{
    if (m_hotKeys && m_hotKeys->binding().way == HotKeys::Way::desktopShortcut && toggleCompanion)
        toggleCompanion();
    else
        showCompanionNow();
}

QString AppDelegate::shortcutLine() const
{
    const HotKeys::Binding binding = m_hotKeys ? m_hotKeys->binding() : HotKeys::Binding{};
    QString line;
    switch (binding.way) {
    case HotKeys::Way::none:
        line = noShortcutLine;
        break;
    case HotKeys::Way::pending:
        line = QStringLiteral("Waiting for your desktop to confirm %1 as the companion shortcut.").arg(binding.keys);
        break;
    case HotKeys::Way::keyGrab:
        line = QStringLiteral("%1 brings the companion forward (a key grab on this X11 desktop).").arg(binding.keys);
        break;
    case HotKeys::Way::desktopShortcut:
        line = QStringLiteral("%1 shows or hides the companion (a global shortcut of your desktop; change it in "
                              "its keyboard settings).")
                   .arg(binding.keys);
        break;
    }
    if (compositorPlacesWindows)
        line += QStringLiteral(" On Wayland your desktop decides whether the companion stays above other windows.");
    return line;
}

void AppDelegate::releaseHotKey()
{
    if (!m_hotKeys)
        return;
    m_hotKeys->setBindingChanged({});
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
