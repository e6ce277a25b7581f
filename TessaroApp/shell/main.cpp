#include "AppDelegate.h"
#include "AppIcon.h"
#include "QmlFilePicker.h"
#include "SceneGraphChoice.h"
#include "ScreenshotTour.h"
#include "SingleInstance.h"
#include "TerminationSignals.h"
#include "TessaroApp.h"
#include "Walkthrough.h"
#include "model/SessionModel.h"
#include "access/BundleInfo.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/PortalHotKeys.h"
#include "platform/linux/XcbHotKeys.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

#include <cstdio>

Q_IMPORT_QML_PLUGIN(CorvanaPlugin)

int main(int argc, char *argv[])
{
    // Decided before the application object exists: the probe runs in a child of its own.
    SceneGraphChoice::apply(argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tessaro"));
    QApplication::setApplicationName(QStringLiteral("Corvana"));
    QApplication::setApplicationDisplayName(QStringLiteral("Corvana"));
    QApplication::setApplicationVersion(TessaroApp::version());
    // The desktop entry, the icon in the icon theme and the AppStream component all carry
    // the bundle identifier; naming the entry lets the desktop match windows to it.
    QGuiApplication::setDesktopFileName(TessaroApp::iconName());
    QApplication::setWindowIcon(AppIcon::load(TessaroApp::iconName()));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Corvana, a conversation companion"));
    parser.addHelpOption();
    const QCommandLineOption quitAfter(QStringLiteral("quit-after"),
                                       QStringLiteral("Quit after <milliseconds>, printing the status."),
                                       QStringLiteral("milliseconds"));
    parser.addOption(quitAfter);
    const QCommandLineOption walkthrough(
        QStringLiteral("walkthrough"),
        QStringLiteral("Run the simulated sample without a window, printing transcript and answers."));
    parser.addOption(walkthrough);
    const QCommandLineOption screenshots(
        QStringLiteral("screenshots"),
        QStringLiteral("Save pictures of the screens in their main states to <directory>, then quit."),
        QStringLiteral("directory"));
    parser.addOption(screenshots);
    const QCommandLineOption companion(QStringLiteral("companion"),
                                       QStringLiteral("Show the companion, or hide it when it is shown."));
    parser.addOption(companion);
    const QCommandLineOption mainWindow(QStringLiteral("main"), QStringLiteral("Show the main window."));
    parser.addOption(mainWindow);
    parser.process(app);
    const QString action = parser.isSet(companion) ? QStringLiteral("companion")
                           : parser.isSet(mainWindow) ? QStringLiteral("main")
                                                      : QString();

    // One Corvana per session: a later start hands its request to the running one. The
    // developer runs (a walkthrough, screenshots, a timed run, the evaluation modes) are
    // processes of their own that neither take the name nor hand over.
    SingleInstance instance(BundleInfo::bundleIdentifier(), QDBusConnection::sessionBus());
    const bool developerRun = parser.isSet(walkthrough) || parser.isSet(screenshots) || parser.isSet(quitAfter)
                              || qEnvironmentVariableIsSet("TESSARO_CAPTURE_CHECK")
                              || qEnvironmentVariableIsSet("TESSARO_LIVE_EVALUATION");
    if (!developerRun && instance.claim() == SingleInstance::Claim::taken) {
        const QString failure = instance.handOver(action);
        if (failure.isEmpty())
            return 0;
        std::fprintf(stderr, "Corvana is already running but did not answer: %s\n", qPrintable(failure));
        return 1;
    }

    // The session ending, a service manager or Control-C quit the app as the menu does.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app, [] { QCoreApplication::quit(); });

    auto filePicker = std::make_shared<QmlFilePicker>(nullptr);
    Platform platform = LinuxPlatform::make();
    platform.filePicker = filePicker;
    // On X11 the app grabs the key itself; elsewhere (Wayland) the desktop's shortcut
    // portal delivers it, where the session offers one.
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    std::shared_ptr<HotKeys> hotKeys;
    if (wayland)
        hotKeys = std::make_shared<PortalHotKeys>(QDBusConnection::sessionBus());
    else
        hotKeys = std::make_shared<XcbHotKeys>();
    TessaroApp shell(std::move(platform), filePicker, std::move(hotKeys));
    shell.delegate().compositorPlacesWindows = wayland;
    SessionModel &model = shell.model();

    if (parser.isSet(walkthrough)) {
        QObject::connect(&app, &QCoreApplication::aboutToQuit, &model, &SessionModel::terminate);
        Walkthrough run(model);
        run.begin();
        model.beginLoad();
        return app.exec();
    }

    // Closing every window keeps the app running only where a tray icon can bring it back.
    QApplication::setQuitOnLastWindowClosed(!QSystemTrayIcon::isSystemTrayAvailable());
    // Quitting ends the session before the hot key is given back.
    AppDelegate &delegate = shell.delegate();
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    delegate.applicationDidFinishLaunching();
    if (!shell.loadWindows())
        return 1;
    QObject::connect(&instance, &SingleInstance::activated, &shell, [&shell] { shell.openWindow(QStringLiteral("main")); });
    QObject::connect(&instance, &SingleInstance::actionRequested, &shell, [&shell](const QString &requested) {
        if (requested == QLatin1String("companion"))
            shell.toggleWindow(requested);
        else
            shell.openWindow(requested);
    });
    if (action == QLatin1String("companion"))
        shell.openWindow(action);

    if (parser.isSet(screenshots)) {
        auto *tour = new ScreenshotTour(shell, parser.value(screenshots), &shell);
        tour->begin();
    }

    if (parser.isSet(quitAfter)) {
        bool ok = false;
        const int milliseconds = parser.value(quitAfter).toInt(&ok);
        if (!ok || milliseconds < 0) {
            std::fprintf(stderr, "--quit-after needs a number of milliseconds\n");
            return 2;
        }
        QTimer::singleShot(milliseconds, &app, [&model] {
            std::printf("status: %s\n", qPrintable(model.status()));
            if (model.error())
                std::printf("error: %s\n", qPrintable(*model.error()));
            std::fflush(stdout);
            QCoreApplication::quit();
        });
    }
    return app.exec();
}
