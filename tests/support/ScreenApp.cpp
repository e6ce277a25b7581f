#include "ScreenApp.h"

#include "FakeHotKeys.h"
#include "TestFiles.h"
#include "model/SessionModel.h"
#include "protocol/WireCoding.h"
#include "shell/QmlFilePicker.h"

#include <QQmlApplicationEngine>
#include <QQuickWindow>

QString ScreenApp::start(const QStringList &serviceArguments, bool connected)
{
    service = std::make_unique<DevServiceProcess>(serviceArguments);
    if (!service->started())
        return service->errorText();
    folder = std::make_unique<QTemporaryDir>();
    platform = std::make_unique<FakePlatform>();
    if (connected) {
        const QString bootstrap = folder->filePath(QStringLiteral("connection.json"));
        if (!writeFile(bootstrap, wire::encode(service->connection())))
            return QStringLiteral("the bootstrap file could not be written");
        platform->environment->insert(QStringLiteral("TESSARO_NATIVE_BOOTSTRAP"), bootstrap);
        platform->preferences->setBoolean(QStringLiteral("onboardingComplete"), true);
    }
    auto picker = std::make_shared<QmlFilePicker>(nullptr);
    Platform bundle = platform->bundle();
    bundle.filePicker = picker;
    app = std::make_unique<TessaroApp>(std::move(bundle), picker, std::make_shared<FakeHotKeys>());
    if (!app->loadWindows())
        return QStringLiteral("the windows could not be loaded");
    main = window("mainWindow");
    return main ? QString() : QStringLiteral("there is no main window");
}

QQuickWindow *ScreenApp::window(const char *name) const
{
    QObject *root = app ? app->engine()->rootObjects().value(0) : nullptr;
    return root ? root->property(name).value<QQuickWindow *>() : nullptr;
}

void ScreenApp::stop()
{
    if (app)
        app->model().terminate();
    app.reset();
    platform.reset();
    service.reset();
}
