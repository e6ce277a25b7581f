#include "PortalHotKeys.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QRandomGenerator>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
// The trigger in the shortcut notation of the XDG specifications.
const QString preferredTrigger = QStringLiteral("CTRL+ALT+space");
const QString defaultKeys = QStringLiteral("Ctrl+Alt+Space");
constexpr int portalTimeoutMs = 2000;

// One entry of the portal's a(sa{sv}) list of shortcuts.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(PortalShortcut)

const QString PortalHotKeys::shortcutId = QStringLiteral("companion");

PortalHotKeys::PortalHotKeys(QDBusConnection bus, QObject *parent) : QObject(parent), m_bus(std::move(bus))
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
}

PortalHotKeys::~PortalHotKeys()
{
    removeHandler();
}

int PortalHotKeys::installHandler(std::function<void()> pressed)
{
    if (!m_bus.isConnected())
        return noBus;
    // The portal's version property answers only where the interface is offered.
    QDBusMessage get = QDBusMessage::createMethodCall(portalService, portalPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << shortcutsInterface << QStringLiteral("version");
    if (m_bus.call(get, QDBus::Block, portalTimeoutMs).type() != QDBusMessage::ReplyMessage)
        return noPortal;
    if (!m_installed) {
        m_bus.connect(portalService, portalPath, shortcutsInterface, QStringLiteral("Activated"), this,
                      SLOT(activated(QDBusMessage)));
        m_bus.connect(portalService, portalPath, shortcutsInterface, QStringLiteral("ShortcutsChanged"), this,
                      SLOT(shortcutsChanged(QDBusMessage)));
    }
    m_installed = true;
    m_pressed = std::move(pressed);
    return 0;
}

int PortalHotKeys::registerHotKey()
{
    if (!m_installed)
        return m_bus.isConnected() ? noPortal : noBus;
    if (m_registered)
        return 0;
    QVariantMap options;
    options.insert(QStringLiteral("session_handle_token"),
                   QStringLiteral("corvana%1").arg(QRandomGenerator::system()->generate()));
    if (!request(QStringLiteral("CreateSession"), {options}, SLOT(sessionCreated(uint, QVariantMap))))
        return requestFailed;
    m_registered = true;
    setBinding({Way::pending, defaultKeys});
    return 0;
}

void PortalHotKeys::unregisterHotKey()
{
    closeSession();
    m_registered = false;
    m_binding = {};
}

void PortalHotKeys::removeHandler()
{
    unregisterHotKey();
    if (m_installed) {
        m_bus.disconnect(portalService, portalPath, shortcutsInterface, QStringLiteral("Activated"), this,
                         SLOT(activated(QDBusMessage)));
        m_bus.disconnect(portalService, portalPath, shortcutsInterface, QStringLiteral("ShortcutsChanged"), this,
                         SLOT(shortcutsChanged(QDBusMessage)));
    }
    m_installed = false;
    m_pressed = {};
}

bool PortalHotKeys::request(const QString &method, QList<QVariant> arguments, const char *slot)
{
    // The Response may follow the reply at once: listen on the Request's path, which the
    // handle token and our unique name determine, before calling.
    const QString token = QStringLiteral("corvana%1_%2").arg(QRandomGenerator::system()->generate()).arg(++m_tokens);
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString expected = portalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    m_bus.connect(portalService, expected, requestInterface, QStringLiteral("Response"), this, slot);

    QVariantMap options = arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, portalTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        m_bus.disconnect(portalService, expected, requestInterface, QStringLiteral("Response"), this, slot);
        return false;
    }
    // Older portals may answer on a path of their own choosing.
    const QString handle = qvariant_cast<QDBusObjectPath>(reply.arguments().constFirst()).path();
    if (!handle.isEmpty() && handle != expected) {
        m_bus.disconnect(portalService, expected, requestInterface, QStringLiteral("Response"), this, slot);
        m_bus.connect(portalService, handle, requestInterface, QStringLiteral("Response"), this, slot);
    }
    return true;
}

void PortalHotKeys::sessionCreated(uint response, const QVariantMap &results)
{
    if (!m_registered || !m_session.isEmpty())
        return;
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    m_session = handle.canConvert<QDBusObjectPath>() ? qvariant_cast<QDBusObjectPath>(handle).path()
                                                     : handle.toString();
    if (response != 0 || m_session.isEmpty()) {
        m_session.clear();
        setBinding({});
        return;
    }
    bind();
}

void PortalHotKeys::bind()
{
    QVariantMap properties;
    properties.insert(QStringLiteral("description"), QStringLiteral("Show or hide the Corvana companion"));
    properties.insert(QStringLiteral("preferred_trigger"), preferredTrigger);
    const QList<PortalShortcut> shortcuts{{shortcutId, properties}};
    const QList<QVariant> arguments{QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts),
                                    QString(), QVariantMap()};
    if (!request(QStringLiteral("BindShortcuts"), arguments, SLOT(shortcutsBound(uint, QVariantMap))))
        setBinding({});
}

void PortalHotKeys::shortcutsBound(uint response, const QVariantMap &results)
{
    if (!m_registered)
        return;
    if (response != 0) {
        // Refused or cancelled: the session has no use left.
        closeSession();
        setBinding({});
        return;
    }
    setBinding({Way::desktopShortcut, defaultKeys});
    const QVariant shortcuts = results.value(QStringLiteral("shortcuts"));
    if (shortcuts.canConvert<QDBusArgument>())
        takeKeys(qvariant_cast<QDBusArgument>(shortcuts));
}

void PortalHotKeys::shortcutsChanged(const QDBusMessage &signal)
{
    // ShortcutsChanged(o session_handle, a(sa{sv}) shortcuts)
    const QList<QVariant> arguments = signal.arguments();
    if (arguments.size() < 2 || !arguments.at(1).canConvert<QDBusArgument>())
        return;
    const QString session = qvariant_cast<QDBusObjectPath>(arguments.at(0)).path();
    if (m_registered && session == m_session && m_binding.way == Way::desktopShortcut)
        takeKeys(qvariant_cast<QDBusArgument>(arguments.at(1)));
}

void PortalHotKeys::takeKeys(const QDBusArgument &shortcuts)
{
    QList<PortalShortcut> list;
    shortcuts >> list;
    for (const PortalShortcut &shortcut : std::as_const(list)) {
        const QString keys = shortcut.properties.value(QStringLiteral("trigger_description")).toString().trimmed();
        if (shortcut.id == shortcutId && !keys.isEmpty())
            setBinding({Way::desktopShortcut, keys});
    }
}

void PortalHotKeys::activated(const QDBusMessage &signal)
{
    // Activated(o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QList<QVariant> arguments = signal.arguments();
    if (arguments.size() < 2)
        return;
    const QString session = qvariant_cast<QDBusObjectPath>(arguments.at(0)).path();
    const QString shortcut = arguments.at(1).toString();
    if (!m_registered || session != m_session || shortcut != shortcutId || !m_pressed)
        return;
    const std::function<void()> pressed = m_pressed;
    pressed();
}

void PortalHotKeys::setBinding(Binding binding)
{
    if (binding.way == m_binding.way && binding.keys == m_binding.keys)
        return;
    m_binding = std::move(binding);
    bindingChanged();
}

void PortalHotKeys::closeSession()
{
    if (m_session.isEmpty())
        return;
    // Closing needs no answer; the portal drops the shortcuts with the session.
    m_bus.send(QDBusMessage::createMethodCall(portalService, m_session, QStringLiteral("org.freedesktop.portal.Session"),
                                              QStringLiteral("Close")));
    m_session.clear();
}
