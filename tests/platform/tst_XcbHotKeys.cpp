#include "platform/linux/XcbHotKeys.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <memory>

#include <csignal>
#include <sys/prctl.h>

// Grabs the key on a private Xvfb display (the walkthrough of the real app presses it).
class XcbHotKeysTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            return;
        // Xvfb picks a free display number and writes it to the descriptor given; -noreset
        // keeps it from resetting (and refusing connections) each time the last client leaves.
        m_server = std::make_unique<QProcess>();
        m_server->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // A test that crashes must not leave its display running; one that ends kills it.
        m_server->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_server->start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                               QStringLiteral("tcp"), QStringLiteral("-noreset"), QStringLiteral("-screen"), QStringLiteral("0"),
                               QStringLiteral("640x480x24")});
        QVERIFY(m_server->waitForStarted(10'000));
        QTRY_VERIFY_WITH_TIMEOUT(m_server->canReadLine() || m_server->state() == QProcess::NotRunning, 20'000);
        const QByteArray number = m_server->readLine().trimmed();
        QVERIFY2(!number.isEmpty(), "Xvfb did not report its display");
        m_display = ":" + number;
    }

    void releasedKeyCanBeGrabbedAgain()
    {
        requireDisplay();
        const auto grab = [](XcbHotKeys &keys) { return keys.installHandler([] {}) == 0 ? keys.registerHotKey() : -1; };
        {
            XcbHotKeys first(m_display);
            QCOMPARE(grab(first), 0);
            XcbHotKeys refused(m_display);
            QCOMPARE(grab(refused), 10);
            // The refused one held nothing, so releasing it leaves the first one's grab.
            refused.removeHandler();
            XcbHotKeys third(m_display);
            QCOMPARE(grab(third), 10);
            first.unregisterHotKey();
            QCOMPARE(third.registerHotKey(), 0);
        }
        // Destruction released every grab.
        XcbHotKeys again(m_display);
        QCOMPARE(grab(again), 0);
    }

    void withoutX11_data()
    {
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<int>("status");
        QTest::newRow("no DISPLAY") << QByteArray() << XcbHotKeys::noDisplay;
        QTest::newRow("no server there") << QByteArray(":65000") << XcbHotKeys::connectionFailed;
    }

    void withoutX11()
    {
        QFETCH(QByteArray, display);
        QFETCH(int, status);
        XcbHotKeys hotKeys(display);
        QCOMPARE(hotKeys.installHandler([] {}), status);
        QCOMPARE(hotKeys.registerHotKey(), status);
        hotKeys.unregisterHotKey();
        hotKeys.removeHandler();
    }

private:
    void requireDisplay()
    {
        if (m_display.isEmpty())
            QSKIP("Xvfb is not installed.");
    }


    std::unique_ptr<QProcess> m_server;
    QByteArray m_display;
};

QTEST_GUILESS_MAIN(XcbHotKeysTest)
#include "tst_XcbHotKeys.moc"
