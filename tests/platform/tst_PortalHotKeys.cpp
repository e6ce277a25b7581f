#include "platform/linux/PortalHotKeys.h"
#include "shell/AppDelegate.h"

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <memory>

// The companion shortcut through a stand-in GlobalShortcuts portal on a private session
// bus: bound at launch (the real app under Weston shows it toggling the companion); a
// refused binding or a bus without the portal leaves the setup screen's fallback line.
class tst_PortalHotKeys : public QObject {
    Q_OBJECT

private slots:
    void companionShortcut_data()
    {
        QTest::addColumn<bool>("portal");
        QTest::addColumn<int>("bindResponse");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("line");

        const QString bound = QStringLiteral("Ctrl+Alt+Space shows or hides the companion (a global shortcut of your "
                                             "desktop; change it in its keyboard settings).");
        QTest::newRow("bound") << true << 0 << "0, 0" << bound;
        QTest::newRow("binding refused") << true << 2 << "0, 0" << AppDelegate::noShortcutLine;
        QTest::newRow("no portal") << false << 0 << "-6, -6" << AppDelegate::noShortcutLine;
    }

    void companionShortcut()
    {
        QFETCH(bool, portal);
        QFETCH(int, bindResponse);
        QFETCH(QString, status);
        QFETCH(QString, line);

        const QString dbus = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (dbus.isEmpty() || !QFile::exists(QStringLiteral("/usr/bin/python3")))
            QSKIP("dbus-daemon or python3 is not installed");
        QProcess bus;
        bus.start(dbus, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        QVERIFY(bus.waitForStarted(5000) && bus.waitForReadyRead(5000));
        const QString address = QString::fromUtf8(bus.readLine().trimmed());
        QVERIFY(!address.isEmpty());

        QProcess standIn;
        if (portal) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
            standIn.setProcessEnvironment(environment);
            standIn.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            standIn.start(QStringLiteral("/usr/bin/python3"),
                          {QStringLiteral(PORTAL_STANDIN), QStringLiteral("--bind-response"), QString::number(bindResponse)});
            QVERIFY(standIn.waitForStarted(5000) && standIn.waitForReadyRead(10000));
            QCOMPARE(standIn.readLine().trimmed(), QByteArray("ready"));
        }
        const QString connectionName = QStringLiteral("portal-") + QTest::currentDataTag();
        {
            QDBusConnection connection = QDBusConnection::connectToBus(address, connectionName);
            QVERIFY(connection.isConnected());
            auto keys = std::make_shared<PortalHotKeys>(connection);
            char printed[128] = {};
            std::FILE *output = fmemopen(printed, sizeof printed - 1, "w");
            AppDelegate delegate(keys, nullptr, output);
            delegate.applicationDidFinishLaunching();
            std::fclose(output);
            QCOMPARE(QString::fromUtf8(printed), QStringLiteral("Corvana companion shortcut status: %1\n").arg(status));
            QTRY_COMPARE(delegate.shortcutLine(), line);

            delegate.applicationWillTerminate();
        }
        QDBusConnection::disconnectFromBus(connectionName);
        standIn.terminate();
        standIn.waitForFinished(3000);
        bus.terminate();
        bus.waitForFinished(3000);
    }
};

QTEST_GUILESS_MAIN(tst_PortalHotKeys)
#include "tst_PortalHotKeys.moc"
