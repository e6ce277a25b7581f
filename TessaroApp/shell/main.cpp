#include "QmlFilePicker.h"
#include "Walkthrough.h"
#include "model/SessionModel.h"
#include "platform/linux/LinuxPlatform.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Tessaro"));
    QGuiApplication::setApplicationName(QStringLiteral("Corvana"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Corvana"));

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
    parser.process(app);

    auto filePicker = std::make_shared<QmlFilePicker>();
    Platform platform = LinuxPlatform::make();
    platform.filePicker = filePicker;
    SessionModel model(std::move(platform));
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &model, &SessionModel::terminate);

    if (parser.isSet(walkthrough)) {
        Walkthrough run(model);
        run.begin();
        model.beginLoad();
        return app.exec();
    }

    QQmlApplicationEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("session"), &model);
    engine.rootContext()->setContextProperty(QStringLiteral("filePicker"), filePicker.get());
    QObject::connect(&engine, &QQmlApplicationEngine::objectCreationFailed, &app,
                     [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    engine.load(QUrl(QStringLiteral("qrc:/qml/AppShell.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;

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
