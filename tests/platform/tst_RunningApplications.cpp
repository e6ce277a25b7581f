#include "platform/linux/RunningApplications.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

void write(const QString &path, const QByteArray &content)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()) && writeFile(path, content));
}

// One fake /proc/<pid>: owner, program and cgroup.
void process(const QString &root, int pid, uint uid, const QString &program, const QByteArray &cgroup = {})
{
    const QString base = root + QStringLiteral("/%1").arg(pid);
    write(base + QStringLiteral("/status"), "Name:\tx\nUid:\t" + QByteArray::number(uid) + "\t0\t0\t0\n");
    write(base + QStringLiteral("/comm"), program.toUtf8() + "\n");
    write(base + QStringLiteral("/cgroup"), cgroup.isEmpty() ? QByteArray("0::/user.slice\n") : cgroup);
}

} // namespace

class tst_RunningApplications : public QObject {
    Q_OBJECT

private slots:
    void program_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QString>("program");
        QTest::newRow("plain") << "firefox-esr %u" << "firefox-esr";
        QTest::newRow("path") << "/usr/lib/chromium/chromium --flag" << "chromium";
        QTest::newRow("quoted") << "\"/opt/Meet App/meet\" %U" << "meet";
        QTest::newRow("env") << "env GDK_BACKEND=x11 -u FOO zoom %U" << "zoom";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("env only") << "env A=1" << "";
    }

    void program()
    {
        QFETCH(QString, exec);
        QFETCH(QString, program);
        QCOMPARE(RunningApplications::program(exec), program);
    }

    void scopeIdentifier_data()
    {
        QTest::addColumn<QString>("cgroup");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<bool>("flatpak");
        QTest::newRow("flatpak") << "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                                    "app-flatpak-us.zoom.Zoom-123456.scope\n"
                                 << "us.zoom.Zoom" << true;
        QTest::newRow("escaped dash") << "0::/user.slice/app.slice/app-gnome-firefox\\x2desr-4821.scope"
                                      << "firefox-esr" << false;
        QTest::newRow("service") << "0::/app.slice/app-gnome-org.gnome.Maps@f3a1.service" << "org.gnome.Maps"
                                 << false;
        QTest::newRow("no app unit") << "0::/user.slice/user-1000.slice/session-2.scope" << "" << false;
    }

    void scopeIdentifier()
    {
        QFETCH(QString, cgroup);
        QFETCH(QString, identifier);
        QFETCH(bool, flatpak);
        bool isFlatpak = !flatpak;
        QCOMPARE(RunningApplications::scopeIdentifier(cgroup, &isFlatpak), identifier);
        QCOMPARE(isFlatpak, flatpak);
    }

    void scanKeepsTheUsersDesktopApplications()
    {
        QTemporaryDir dir;
        const QString proc = dir.filePath(QStringLiteral("proc"));
        const QString data = dir.filePath(QStringLiteral("share"));
        write(data + QStringLiteral("/applications/meet.desktop"),
              "[Desktop Entry]\nType=Application\nName=Meet\nExec=/opt/meet/meet-app %U\n");
        write(data + QStringLiteral("/applications/hidden.desktop"),
              "[Desktop Entry]\nType=Application\nExec=helperd\nNoDisplay=true\n");
        write(data + QStringLiteral("/applications/removed.desktop"),
              "[Desktop Entry]\nType=Application\nExec=pulse-daemon\nHidden=true\n");
        write(data + QStringLiteral("/applications/org/example.Notes.desktop"),
              "[Desktop Entry]\nType=Application\nExec=notes\n[Desktop Action new]\nExec=other\n");
        const uint me = ::getuid();
        process(proc, 100, me, QStringLiteral("meet-app"));
        process(proc, 101, me, QStringLiteral("helperd"));
        process(proc, 102, me, QStringLiteral("pulse-daemon"));
        process(proc, 103, me + 1, QStringLiteral("notes"));
        process(proc, 104, me, QStringLiteral("bwrap"),
                "0::/user.slice/app.slice/app-flatpak-com.example.Chat-99.scope\n");
        process(proc, 105, me, QStringLiteral("notes"), "0::/app.slice/app-gnome-org\\x2dexample.Notes-77.scope\n");
        process(proc, 106, me, QStringLiteral("other"));
        write(proc + QStringLiteral("/self/status"), "Uid:\t0\n");

        const QSet<QString> found = RunningApplications::scan(proc, {data});
        QCOMPARE(found, (QSet<QString>{"meet-app", "com.example.Chat", "notes", "org-example.Notes"}));
    }
};

QTEST_GUILESS_MAIN(tst_RunningApplications)
#include "tst_RunningApplications.moc"
