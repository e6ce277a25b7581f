#pragma once

#include "platform/HotKeys.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>

class QDBusArgument;
class QDBusMessage;

// The hot key through the desktop's own shortcut service, the GlobalShortcuts portal
// (org.freedesktop.portal.GlobalShortcuts, xdg-desktop-portal 1.17 and later), for
// sessions where the application cannot grab keys itself (Wayland). Registration creates
// a portal session and binds one shortcut, "companion", with the preferred trigger
// Ctrl+Alt+Space; the desktop may ask the user and may choose other keys. Each
// Activated signal of that session is one press.
//
// The portal answers through Request objects: every call returns at once and the
// outcome arrives later as a Response signal, so registration reports only that the
// request went out (0), and binding() tells what the desktop decided: pending until it
// answers, then desktopShortcut with the keys it describes, or none when it refused.
//
// Status values: 0 on success; noBus without a session bus; noPortal when the bus
// offers no GlobalShortcuts portal; requestFailed when a call was refused outright.
class PortalHotKeys : public QObject, public HotKeys {
    Q_OBJECT

public:
    static constexpr int noBus = -5;
    static constexpr int noPortal = -6;
    static constexpr int requestFailed = -7;
    // The one shortcut's id at the portal.
    static const QString shortcutId;

    explicit PortalHotKeys(QDBusConnection bus, QObject *parent = nullptr);
    ~PortalHotKeys() override;

    int installHandler(std::function<void()> pressed) override;
    int registerHotKey() override;
    void unregisterHotKey() override;
    void removeHandler() override;
    Binding binding() const override { return m_binding; }

private slots:
    void sessionCreated(uint response, const QVariantMap &results);
    void shortcutsBound(uint response, const QVariantMap &results);
    void activated(const QDBusMessage &signal);
    void shortcutsChanged(const QDBusMessage &signal);

private:
    // Calls a portal method whose outcome arrives on a Request; `slot` receives it.
    bool request(const QString &method, QList<QVariant> arguments, const char *slot);
    void bind();
    void setBinding(Binding binding);
    void takeKeys(const QDBusArgument &shortcuts);
    void closeSession();

    QDBusConnection m_bus;
    std::function<void()> m_pressed;
    bool m_installed = false;
    bool m_registered = false;
    QString m_session;
    Binding m_binding;
    int m_tokens = 0;
};
