#include "model/SessionModel.h"

#include "DevServiceProcess.h"
#include "FakePlatform.h"
#include "RunTask.h"
#include "ServiceLog.h"
#include "protocol/ServiceClient.h"
#include "protocol/TessaroError.h"
#include "platform/linux/DevServiceLauncher.h"

#include <QTest>

namespace {

struct SignedOutModel {
    explicit SignedOutModel(DevServiceProcess &service)
    {
        model = std::make_unique<SessionModel>(platform.bundle());
        model->setSignInURL(service.baseUrl());
        model->setOnboarding(true);
    }
    FakePlatform platform;
    std::unique_ptr<SessionModel> model;
};

bool signIn(SessionModel &model, const QString &email, const QString &separator, bool recover = false)
{
    model.setSignInEmail(email);
    runTask(model.requestSignIn());
    if (!model.signInChallenge() || !model.signInChallenge()->simulatedCode)
        return false;
    const QString code = *model.signInChallenge()->simulatedCode;
    model.setSignInCode(code.left(4) + separator + code.mid(4));
    model.setRecoveringAccount(recover);
    runTask(model.completeSignIn());
    return model.account().has_value();
}

} // namespace

class AccountFlowsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_service = std::make_unique<DevServiceProcess>(QStringList{QStringLiteral("--simulated")});
        QVERIFY2(m_service->started(), qPrintable(m_service->errorText()));
    }

    void init()
    {
        QVERIFY(m_service->reset());
    }

    void connectFailureRetriesWithoutVerifying()
    {
        SignedOutModel signedOut(*m_service);
        SessionModel &model = *signedOut.model;
        model.setSignInEmail(QStringLiteral("grace@example.com"));
        runTask(model.requestSignIn());
        const QString code = *model.signInChallenge()->simulatedCode;
        model.setSignInCode(code);
        QVERIFY(m_service->setScenario(QJsonObject{
            {"http", QJsonObject{{"method", "GET"}, {"path", "/v1/account"}, {"status", 503},
                                 {"body", "{\"message\":\"Accounts are resting.\"}"}}}}));
        runTask(model.completeSignIn());
        QCOMPARE(model.signInMessage(), std::optional<QString>(QStringLiteral("Accounts are resting.")));
        QVERIFY(!model.account() && model.signInChallenge());
        runTask(model.completeSignIn());
        QVERIFY2(model.account(), qPrintable(model.signInMessage().value_or(QString())));
        QCOMPARE(requestsTo(*m_service, "/v1/auth/verify"), 1);
    }

    void serviceMessages_data()
    {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<QString>("message");
        QTest::newRow("1000 characters") << QJsonObject{{"status", 429}, {"body", "{\"message\":\"" + QString(1000, 'w') + "\"}"}}
                                         << "Sign-in is unavailable. Please try again shortly.";
        QTest::newRow("32,001-byte success") << QJsonObject{{"status", 200}, {"bodySize", 32001}}
                                             << "The sign-in service did not respond correctly.";
        QTest::newRow("not JSON") << QJsonObject{{"status", 502}, {"body", "Bad gateway"}}
                                  << "Sign-in is unavailable. Please try again shortly.";
    }

    void serviceMessages()
    {
        QFETCH(QJsonObject, reply);
        QFETCH(QString, message);
        reply.insert("method", "POST");
        reply.insert("path", "/v1/auth/start");
        QVERIFY(m_service->setScenario(QJsonObject{{"http", reply}}));
        SignedOutModel signedOut(*m_service);
        signedOut.model->setSignInEmail(QStringLiteral("ada@example.com"));
        runTask(signedOut.model->requestSignIn());
        QCOMPARE(signedOut.model->signInMessage(), std::optional<QString>(message));
        QVERIFY(!signedOut.model->signingIn());
    }

    void withoutSignInService()
    {
        FakePlatform platform;
        SessionModel model(platform.bundle());
        runTask(model.requestSignIn());
        QCOMPARE(model.signInMessage(),
                 std::optional<QString>(QStringLiteral("This build is not connected to the beta service yet.")));
    }

    void signOutFailures_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("401 counts as signed out") << 401 << true;
        QTest::newRow("500 keeps everything") << 500 << false;
    }

    void signOutFailures()
    {
        QFETCH(int, status);
        QFETCH(bool, cleared);
        SignedOutModel signedOut(*m_service);
        SessionModel &model = *signedOut.model;
        // The screen suite signs in through the pages; here the code is typed without a
        // separator and the address with white space around it.
        QVERIFY(signIn(model, QStringLiteral("  kay@example.com\n"), QString()));
        QVERIFY(model.onboarding() && !model.signInChallenge() && model.signInCode().isEmpty());
        QCOMPARE(model.account()->profile->email, QStringLiteral("kay@example.com"));
        const auto stored = signedOut.platform.secrets->items;
        QCOMPARE(stored.size(), 1);
        // A conversation is under way when the user signs out.
        runTask(model.start(false, false));
        QTRY_VERIFY_WITH_TIMEOUT(!model.transcript().isEmpty() && !model.answers().isEmpty(), 20'000);
        QVERIFY(m_service->setScenario(QJsonObject{
            {"http", QJsonObject{{"method", "POST"}, {"path", "/v1/auth/signout"}, {"status", status},
                                 {"body", "{\"message\":\"The service hiccupped.\"}"}}}}));
        runTask(model.signOut());
        const QList<bool> gone{!model.account(), signedOut.platform.secrets->items.isEmpty(), model.transcript().isEmpty(),
                               model.answers().isEmpty()};
        QCOMPARE(gone, QList<bool>(4, cleared));
        if (cleared)
            return;
        QCOMPARE(model.accountMessage(),
                 std::optional<QString>(QStringLiteral("Could not sign out: The service hiccupped. Reconnect and try again, "
                                                       "or use account recovery on another computer to remove this device.")));
        // Nothing was let go: the same stored sign-in, and a connection that still works.
        QCOMPARE(signedOut.platform.secrets->items, stored);
        QVERIFY(model.client());
        runTask(model.refreshDevices());
        QVERIFY(std::any_of(model.devices().cbegin(), model.devices().cend(),
                            [](const AccountDevice &device) { return device.current; }));
        QVERIFY(!model.accountMessage());
    }

    void recoverySignsOtherDevicesOut()
    {
        SignedOutModel first(*m_service);
        QVERIFY(signIn(*first.model, QStringLiteral("ann@example.com"), "-"));
        SignedOutModel second(*m_service);
        QVERIFY(signIn(*second.model, QStringLiteral("ann@example.com"), " ", true));
        QVERIFY(!second.model->recoveringAccount());
        try {
            runTask(first.model->client()->account());
            QFAIL("the first device still has access");
        } catch (const TessaroError &error) {
            QVERIFY(error.requiresSignIn());
        }
        runTask(second.model->refreshDevices());
        QCOMPARE(second.model->devices().size(), 1);
    }

    void serviceOnThisComputer_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("simulated");
        // Empty: connected; else the start of the message the person sees.
        QTest::addColumn<QString>("failure");
        const QString service = QStringLiteral(CORVANA_DEVSERVICE_PATH);
        QTest::newRow("simulated sample") << service << true << QString();
        QTest::newRow("exits with its reason")
            << QStringLiteral("/bin/sh") << false
            << QStringLiteral("The local service could not start: /bin/sh: 0: Illegal option --");
        QTest::newRow("missing") << QStringLiteral("/nonexistent/corvana-devservice") << false
                                 << QStringLiteral("The local service could not start: ");
    }

    void serviceOnThisComputer()
    {
        QFETCH(QString, program);
        QFETCH(bool, simulated);
        QFETCH(QString, failure);
        FakePlatform platform;
        auto launcher = std::make_shared<DevServiceLauncher>(program);
        Platform bundle = platform.bundle();
        bundle.localService = launcher;
        SessionModel model(bundle);
        try {
            runTask(model.connectLocalService(simulated));
            QVERIFY2(failure.isEmpty(), "connected");
        } catch (const TessaroError &error) {
            QVERIFY2(!failure.isEmpty() && error.description().startsWith(failure), qPrintable(error.description()));
            QVERIFY(!model.account() && !launcher->running());
            QCOMPARE(platform.preferences->string(QStringLiteral("localService")), std::nullopt);
            return;
        }
        QVERIFY(model.account() && launcher->running());
        QVERIFY(model.serviceURL().startsWith(QStringLiteral("http://127.0.0.1:")));
        QCOMPARE(model.simulated(), simulated);
        // Its token is never stored: the service makes a new one each time it starts.
        QVERIFY(platform.secrets->items.isEmpty());

        // The next launch starts it again; quitting ends it.
        model.terminate();
        QVERIFY(!launcher->running());
        auto nextLauncher = std::make_shared<DevServiceLauncher>(program);
        bundle.localService = nextLauncher;
        SessionModel next(bundle);
        runTask(next.load());
        QVERIFY2(next.account(), qPrintable(next.error().value_or(QString())));
        QCOMPARE(next.simulated(), simulated);
        QVERIFY(!next.onboarding());
        runTask(next.signOut());
        QVERIFY(!nextLauncher->running());
        QCOMPARE(platform.preferences->string(QStringLiteral("localService")), std::optional<QString>(QString()));
    }

private:
    std::unique_ptr<DevServiceProcess> m_service;
};

QTEST_GUILESS_MAIN(AccountFlowsTest)
#include "tst_AccountFlows.moc"
