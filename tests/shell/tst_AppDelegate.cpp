#include "shell/AppDelegate.h"

#include "FakeHotKeys.h"
#include "FakePlatform.h"
#include "model/SessionModel.h"

#include <QJSEngine>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <thread>

namespace {

// A capture controller that only notes being stopped, which the model's terminate() does.
class StopRecorder : public AudioCapture {
public:
    explicit StopRecorder(std::shared_ptr<QStringList> log) : m_log(std::move(log)) {}
    QList<AudioSource> sources() override { return {}; }
    QCoro::Task<std::shared_ptr<CapturedAudioStream>> start(QString, std::optional<QList<quint32>>) override
    {
        co_return std::shared_ptr<CapturedAudioStream>();
    }
    void stop() override { m_log->append(QStringLiteral("capture.stop")); }

private:
    std::shared_ptr<QStringList> m_log;
};

// What the delegate writes at launch.
QString launchLine(HotKeys *hotKeys)
{
    std::FILE *file = std::tmpfile();
    {
        AppDelegate delegate(std::shared_ptr<HotKeys>(hotKeys, [](HotKeys *) {}), nullptr, file);
        delegate.applicationDidFinishLaunching();
        delegate.applicationDidFinishLaunching();
    }
    std::rewind(file);
    char buffer[256] = {};
    const size_t size = std::fread(buffer, 1, sizeof buffer - 1, file);
    std::fclose(file);
    return QString::fromUtf8(buffer, qsizetype(size));
}

} // namespace

class AppDelegateTest : public QObject {
    Q_OBJECT
private slots:
    void statusLine_data()
    {
        QTest::addColumn<int>("handler");
        QTest::addColumn<int>("registration");
        QTest::addColumn<QString>("line");
        QTest::newRow("registered") << 0 << 0 << "Corvana companion shortcut status: 0, 0\n";
        QTest::newRow("grab taken") << 0 << 10 << "Corvana companion shortcut status: 0, 10\n";
        QTest::newRow("no X11") << -1 << -1 << "Corvana companion shortcut status: -1, -1\n";
    }

    void statusLine()
    {
        QFETCH(int, handler);
        QFETCH(int, registration);
        QFETCH(QString, line);
        FakeHotKeys hotKeys;
        hotKeys.handlerStatus = handler;
        hotKeys.registrationStatus = registration;
        // Launching twice writes one line and installs once.
        QCOMPARE(launchLine(&hotKeys), line);
        QCOMPARE(hotKeys.log->count(QStringLiteral("installHandler")), 1);
        QCOMPARE(hotKeys.log->count(QStringLiteral("registerHotKey")), 1);
    }

    void pressesShowTheCompanion()
    {
        auto hotKeys = std::make_shared<FakeHotKeys>();
        QList<QThread *> shownOn;
        {
            AppDelegate delegate(hotKeys, nullptr, nullptr);
            delegate.applicationDidFinishLaunching();
            hotKeys->press(); // without an opener nothing happens
            delegate.showCompanion = [&shownOn] { shownOn.append(QThread::currentThread()); };
            // A key grab shows the companion; only a desktop shortcut toggles it.
            delegate.toggleCompanion = [&shownOn] { shownOn.append(nullptr); };
            delegate.showCompanionNow();
            // A press on another thread, as the platform's own may be, opens it on this one.
            std::thread([hotKeys] { hotKeys->press(); }).join();
            QTRY_COMPARE(shownOn, (QList<QThread *>{QThread::currentThread(), QThread::currentThread()}));

            // A JavaScript opener takes its place; anything not callable clears it.
            QJSEngine engine;
            delegate.setCompanionOpener(engine.evaluate(QStringLiteral("var opened = 0; (function () { opened += 1; })")));
            hotKeys->press();
            delegate.setCompanionOpener(QJSValue());
            hotKeys->press();
            QCOMPARE(engine.globalObject().property(QStringLiteral("opened")).toInt(), 1);
            delegate.showCompanion = [&shownOn] { shownOn.append(nullptr); };
        }
        // Destruction releases the key.
        QVERIFY(!hotKeys->installed() && !hotKeys->registered());
        hotKeys->press();
        QCOMPARE(shownOn.size(), 2);
    }

    void terminate_data()
    {
        QTest::addColumn<bool>("withModel");
        QTest::addColumn<int>("registration");
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("the session ends before the key goes")
            << true << 0 << QStringList{"capture.stop", "unregisterHotKey", "removeHandler"};
        // A key that never registered is not unregistered.
        QTest::newRow("no model, key not registered") << false << 10 << QStringList{"removeHandler"};
    }

    void terminate()
    {
        QFETCH(bool, withModel);
        QFETCH(int, registration);
        QFETCH(QStringList, steps);
        auto hotKeys = std::make_shared<FakeHotKeys>();
        hotKeys->registrationStatus = registration;
        FakePlatform fakes;
        Platform platform = fakes.bundle();
        platform.capture = std::make_shared<StopRecorder>(hotKeys->log);
        SessionModel model(std::move(platform));
        {
            AppDelegate delegate(hotKeys, nullptr, nullptr);
            if (withModel)
                delegate.setModel(&model);
            delegate.applicationDidFinishLaunching();
            hotKeys->log->clear();
            delegate.applicationWillTerminate();
            QCOMPARE(*hotKeys->log, steps);
            QVERIFY(!hotKeys->installed() && !hotKeys->registered());
        }
        // Nothing is released twice on destruction.
        QCOMPARE(*hotKeys->log, steps);
    }
};

QTEST_GUILESS_MAIN(AppDelegateTest)
#include "tst_AppDelegate.moc"
