#include "TessaroApp.h"

#include "AppDelegate.h"
#include "AppUpdates.h"
#include "DesktopColorScheme.h"
#include "QmlFilePicker.h"
#include "model/SessionModel.h"
#include "model/SessionPresentation.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QSettings>

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
    m_model = std::make_unique<SessionModel>(std::move(platform));
    m_presentation = std::make_unique<SessionPresentation>(*m_model);
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
    QQmlContext *context = m_engine->rootContext();
    context->setContextProperty(QStringLiteral("app"), this);
    context->setContextProperty(QStringLiteral("session"), m_model.get());
    context->setContextProperty(QStringLiteral("screen"), m_presentation.get());
    context->setContextProperty(QStringLiteral("filePicker"), m_filePicker.get());
    context->setContextProperty(QStringLiteral("updates"), m_updates.get());
    context->setContextProperty(QStringLiteral("delegate"), m_delegate.get());
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

void TessaroApp::openWindow(const QString &id)
{
    emit windowRequested(id);
}

void TessaroApp::quit()
{
    QCoreApplication::quit();
}
