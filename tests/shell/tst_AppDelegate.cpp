#include "shell/AppDelegate.h"

#include "FakeHotKeys.h"
#include "FakePlatform.h"
#include "model/SessionModel.h"

#include <QTest>
#include <QThread>

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

} // namespace

class AppDelegateTest : public QObject {
    Q_OBJECT
private slots:
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
            // Launching twice installs once.
            delegate.applicationDidFinishLaunching();
            delegate.applicationDidFinishLaunching();
            QCOMPARE(*hotKeys->log, (QStringList{"installHandler", "registerHotKey"}));
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
