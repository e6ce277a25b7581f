#include "TessaroApp.h"

#include "model/QmlInstances.h"

#include "AppDelegate.h"
#include "AppUpdates.h"
#include "DesktopColorScheme.h"
#include "QmlFilePicker.h"
#include "access/BundleInfo.h"
#include "model/SessionModel.h"
#include "model/SessionPresentation.h"
#include "model/KnowledgePresentation.h"
#include "model/SetupPresentation.h"
#include "model/OnboardingPresentation.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>
#include <QQmlApplicationEngine>
#include <QHash>
#include <QSettings>

#include <xcb/xcb.h>

#include <array>
#include <cstring>

namespace {

const QString appearanceKey = QStringLiteral("appearance");

QString knownAppearance(const QString &value)
{
    if (value == QLatin1String("light") || value == QLatin1String("dark"))
        return value;
    return QStringLiteral("system");
}

} // namespace

TessaroApp::TessaroApp(Platform platform, std::shared_ptr<QmlFilePicker> filePicker, std::shared_ptr<HotKeys> hotKeys,
                       QObject *parent)
    : QObject(parent)
    , m_filePicker(std::move(filePicker))
{
    m_updates = std::make_unique<AppUpdates>(platform.informationDictionary);
    m_delegate = std::make_unique<AppDelegate>(std::move(hotKeys));
    m_delegate->toggleCompanion = [this] { toggleWindow(QStringLiteral("companion")); };
    m_model = std::make_unique<SessionModel>(std::move(platform));
    m_presentation = std::make_unique<SessionPresentation>(*m_model);
    m_setupPresentation = std::make_unique<SetupPresentation>(*m_model, version());
    m_knowledgePresentation = std::make_unique<KnowledgePresentation>(*m_model);
    m_onboardingPresentation = std::make_unique<OnboardingPresentation>(*m_model);
    // The delegate ends the session at quit and opens the companion on the hot key; an update
    // in progress blocks starting a conversation.
    m_delegate->setModel(m_model.get());
    m_delegate->showCompanion = [this] { openWindow(QStringLiteral("companion")); };
    connect(m_updates.get(), &AppUpdates::inProgressChanged, m_model.get(),
            [this] { m_model->setUpdating(m_updates->inProgress()); });
    m_appearance = knownAppearance(QSettings().value(appearanceKey).toString());
    m_desktopScheme = std::make_unique<DesktopColorScheme>();
    connect(m_desktopScheme.get(), &DesktopColorScheme::changed, this, [this] {
        if (m_appearance == QLatin1String("system"))
            emit appearanceChanged();
    });
}

TessaroApp::~TessaroApp()
{
    // The windows go before the objects they bind to.
    m_engine.reset();
}

bool TessaroApp::loadWindows()
{
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
    QmlInstances::provide(m_engine.get(), this);
    QmlInstances::provide(m_engine.get(), m_model.get());
    QmlInstances::provide(m_engine.get(), m_presentation.get());
    QmlInstances::provide(m_engine.get(), m_setupPresentation.get());
    QmlInstances::provide(m_engine.get(), m_knowledgePresentation.get());
    QmlInstances::provide(m_engine.get(), m_onboardingPresentation.get());
    QmlInstances::provide(m_engine.get(), m_filePicker.get());
    QmlInstances::provide(m_engine.get(), m_updates.get());
    QmlInstances::provide(m_engine.get(), m_delegate.get());
    m_engine->load(QUrl(QStringLiteral("qrc:/qt/qml/Corvana/AppShell/AppShell.qml")));
    return !m_engine->rootObjects().isEmpty();
}

void TessaroApp::setAppearance(const QString &value)
{
    m_appearance = knownAppearance(value);
    QSettings().setValue(appearanceKey, m_appearance);
    emit appearanceChanged();
}

bool TessaroApp::darkScheme() const
{
    if (m_appearance == QLatin1String("system"))
        return m_desktopScheme->prefersDark();
    return m_appearance == QLatin1String("dark");
}

QString TessaroApp::version()
{
    return AppUpdates::applicationVersion();
}

QString TessaroApp::iconName()
{
    return BundleInfo::bundleIdentifier();
}

void TessaroApp::openWindow(const QString &id)
{
    emit windowRequested(id);
}

QWindow *TessaroApp::window(const QString &id) const
{
    static const QHash<QString, const char *> properties = {
        {QStringLiteral("main"), "mainWindow"},
        {QStringLiteral("companion"), "companionWindow"},
        {QStringLiteral("settings"), "setupWindow"},
        {QStringLiteral("about"), "aboutWindow"},
    };
    const char *property = properties.value(id);
    if (!m_engine || !property)
        return nullptr;
    for (QObject *root : m_engine->rootObjects()) {
        if (auto *found = qobject_cast<QWindow *>(root->property(property).value<QObject *>()))
            return found;
    }
    return nullptr;
}

void TessaroApp::toggleWindow(const QString &id)
{
    QWindow *found = window(id);
    if (found && found->isVisible() && found->visibility() != QWindow::Minimized)
        found->hide();
    else
        openWindow(id);
}

namespace {

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply
        = xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t found = reply ? reply->atom : XCB_ATOM_NONE;
    free(reply);
    return found;
}

// Asks the window manager, as the EWMH says, to change a mapped window's state.
void sendToRoot(xcb_connection_t *connection, xcb_window_t root, xcb_window_t window, xcb_atom_t type,
                std::array<uint32_t, 5> data)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    std::copy(data.begin(), data.end(), event.data.data32);
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
}

} // namespace

void TessaroApp::floatOnEveryWorkspace(QWindow *window)
{
    if (!window)
        return;
    window->setFlag(Qt::WindowStaysOnTopHint, true);
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t *connection = x11->connection();
    const auto apply = [connection, window] {
        if (!window->isVisible())
            return;
        const xcb_window_t id = xcb_window_t(window->winId());
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        const xcb_atom_t desktop = atom(connection, "_NET_WM_DESKTOP");
        const xcb_atom_t state = atom(connection, "_NET_WM_STATE");
        const xcb_atom_t sticky = atom(connection, "_NET_WM_STATE_STICKY");
        const uint32_t everyDesktop = 0xFFFFFFFF;
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1, &everyDesktop);
        sendToRoot(connection, screen->root, id, desktop, {everyDesktop, 1, 0, 0, 0});
        sendToRoot(connection, screen->root, id, state, {1 /* add */, sticky, 0, 1, 0});
        xcb_flush(connection);
    };
    connect(window, &QWindow::visibleChanged, this, apply);
    apply();
}

void TessaroApp::quit()
{
    QCoreApplication::quit();
}

TessaroApp *TessaroApp::create(QQmlEngine *engine, QJSEngine *)
{
    return QmlInstances::take<TessaroApp>(engine);
}
