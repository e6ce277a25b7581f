// The first-run pages and the account panel over the real QML and a real simulated
// development service, used through the accessibility tree as a person (or a screen
// reader) uses them.
#include "AccessibleTree.h"
#include "RunTask.h"
#include "ScreenApp.h"
#include "ServiceLog.h"
#include "model/SessionModel.h"

#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(CorvanaPlugin)

namespace {

const QString noService = QStringLiteral(
    "This development build has no beta service configured. Use the free development launcher, or install a "
    "configured beta release.");

} // namespace

class OnboardingScreenTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void firstRunWithTheSimulatedCode();
    void accountPanelSignsThisComputerOut_data();
    void accountPanelSignsThisComputerOut();

private:
    ScreenApp m_screen;
};

void OnboardingScreenTest::init()
{
    // A fresh profile: no stored credential, onboarding never completed.
    const QString failed = m_screen.start({"--simulated"}, false);
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    QTRY_VERIFY_WITH_TIMEOUT(m_screen.app->model().loaded() && m_screen.app->model().onboarding(), 10'000);
    QVERIFY(!m_screen.app->model().client());
}

void OnboardingScreenTest::cleanup()
{
    m_screen.stop();
}

void OnboardingScreenTest::firstRunWithTheSimulatedCode()
{
    SessionModel &model = m_screen.app->model();
    AccessibleTree main(m_screen.main);
    QTRY_VERIFY(main.has(QStringLiteral("WELCOME")));

    // This build names no beta service (the development service is plain http on
    // loopback, which the configuration never accepts): only a development connection.
    QVERIFY(main.has(noService));
    QVERIFY(main.has(QStringLiteral("Development connection…")));
    QVERIFY(!main.has(QStringLiteral("Sign-in email address")));
    QVERIFY(!main.has(QStringLiteral("Back")));

    model.setSignInURL(m_screen.service->baseUrl());
    QTRY_VERIFY(main.has(QStringLiteral("Sign-in email address")));
    QVERIFY(!main.has(noService));
    QVERIFY(!main.enabled(QStringLiteral("Send sign-in code")));
    QVERIFY(main.type(QStringLiteral("Sign-in email address"), QStringLiteral("ada.example.com")));
    QTRY_COMPARE(model.signInEmail(), QStringLiteral("ada.example.com"));
    QVERIFY(!main.enabled(QStringLiteral("Send sign-in code")));
    QVERIFY(main.type(QStringLiteral("Sign-in email address"), QStringLiteral("ada@example.com")));
    QTRY_VERIFY(main.enabled(QStringLiteral("Send sign-in code")));
    QVERIFY(main.press(QStringLiteral("Send sign-in code")));

    // The simulated service shows its code on the page; no email is involved.
    QTRY_VERIFY_WITH_TIMEOUT(!main.namesContaining(QStringLiteral(" · no email sent")).isEmpty(), 10'000);
    const QString line = main.namesContaining(QStringLiteral(" · no email sent")).first();
    const QRegularExpressionMatch code = QRegularExpression(QStringLiteral("(\\d{4})(\\d{4})")).match(line);
    QVERIFY2(code.hasMatch(), qPrintable(line));
    QVERIFY(main.has(
        QStringLiteral("If this address is invited, a code is on its way. Check your inbox and spam folder.")));
    QVERIFY(!main.has(QStringLiteral("Sign-in email address")));

    // Typed as it reads in an email, with a space between the groups.
    const QString typed = code.captured(1) + QLatin1Char(' ') + code.captured(2);
    QVERIFY(main.type(QStringLiteral("Email sign-in code"), typed));
    QTRY_COMPARE(model.signInCode(), typed);
    QTRY_VERIFY(main.enabled(QStringLiteral("Sign in")));
    QVERIFY(main.press(QStringLiteral("Sign in")));
    QTRY_VERIFY_WITH_TIMEOUT(main.has(QStringLiteral("Give the conversation context.")), 10'000);
    QVERIFY(model.account());
    QCOMPARE(model.account()->profile->email, QStringLiteral("ada@example.com"));
    QVERIFY(main.has(QStringLiteral("YOUR EXPERTISE")));
    QVERIFY(main.has(QStringLiteral("Back")));

    QTRY_VERIFY(main.enabled(QStringLiteral("Continue")));
    QVERIFY(main.press(QStringLiteral("Continue")));
    QTRY_VERIFY(main.has(QStringLiteral("Listen where the conversation is.")));
    QVERIFY(main.has(QStringLiteral("Simulated allowance · no provider credits")));
    QVERIFY(main.has(QStringLiteral("Show companion   Ctrl+Alt+Space")));

    // "Back" returns to the domain page with what was typed.
    QVERIFY(main.press(QStringLiteral("Back")));
    QTRY_VERIFY(main.has(QStringLiteral("Give the conversation context.")));
    QTRY_VERIFY(main.enabled(QStringLiteral("Continue")));
    QVERIFY(main.press(QStringLiteral("Continue")));
    QTRY_VERIFY(main.has(QStringLiteral("Open Corvana")));

    QTRY_VERIFY(main.enabled(QStringLiteral("Open Corvana")));
    QVERIFY(main.press(QStringLiteral("Open Corvana")));
    QTRY_VERIFY(!model.onboarding());
    QTRY_VERIFY(main.has(QStringLiteral("Answers, already in reach.")));
    QVERIFY(m_screen.platform->preferences->boolean(QStringLiteral("onboardingComplete")).value_or(false));
}

void OnboardingScreenTest::accountPanelSignsThisComputerOut_data()
{
    QTest::addColumn<bool>("throughTheRow");
    QTest::newRow("Remove access on this computer") << true;
    QTest::newRow("Sign out after the confirmation") << false;
}

void OnboardingScreenTest::accountPanelSignsThisComputerOut()
{
    QFETCH(bool, throughTheRow);
    SessionModel &model = m_screen.app->model();
    model.setSignInURL(m_screen.service->baseUrl());
    model.setSignInEmail(QStringLiteral("lin@example.com"));
    runTask(model.requestSignIn());
    QVERIFY(model.signInChallenge() && model.signInChallenge()->simulatedCode);
    model.setSignInCode(*model.signInChallenge()->simulatedCode);
    runTask(model.completeSignIn());
    QVERIFY2(model.account(), qPrintable(model.signInMessage().value_or(QString())));
    model.setOnboardingStep(2);
    model.finishOnboarding();
    QVERIFY(!model.onboarding());

    // The panel as the Setup window holds it, in a window of its own width.
    QQmlComponent component(m_screen.app->engine());
    component.setData("import QtQuick\nimport Corvana\n"
                      "DesignWindow { width: 580; height: 520\n"
                      "  AccountAccessView { x: 20; y: 20; width: parent.width - 40 } }",
                      QUrl(QStringLiteral("qrc:/tests/AccountWindow.qml")));
    std::unique_ptr<QObject> created(component.create());
    auto *window = qobject_cast<QQuickWindow *>(created.get());
    QVERIFY2(window, qPrintable(component.errorString()));
    const int fetchesBefore = requestsTo(*m_screen.service, QStringLiteral("/v1/devices"));
    window->show();
    AccessibleTree panel(window);
    QTRY_VERIFY(panel.has(QStringLiteral("YOUR ACCOUNT")));
    // Showing the panel fetched the devices once.
    QTRY_VERIFY_WITH_TIMEOUT(panel.has(QStringLiteral("this computer")), 10'000);
    QCOMPARE(requestsTo(*m_screen.service, QStringLiteral("/v1/devices")), fetchesBefore + 1);
    QVERIFY(panel.has(QStringLiteral("Corvana on Ada’s laptop")));
    QVERIFY(panel.has(QStringLiteral("Simulated development account · no provider credits")));
    QVERIFY(!panel.has(QStringLiteral("Sign in to access your beta allowance.")));

    if (throughTheRow) {
        QVERIFY(panel.press(QStringLiteral("Remove access")));
    } else {
        const QString warning = QStringLiteral(
            "Audio will stop and conversation memory will be cleared. Your local reference library and preferences "
            "remain.");
        QVERIFY(!panel.has(warning));
        QVERIFY(panel.press(QStringLiteral("Sign out")));
        QTRY_VERIFY(panel.has(warning));
        QVERIFY(panel.press(QStringLiteral("Cancel")));
        QTRY_VERIFY(!panel.has(warning));
        QVERIFY(model.account());
        QVERIFY(panel.press(QStringLiteral("Sign out")));
        QTRY_VERIFY(panel.has(warning));
        // The confirmation's own "Sign out" replaces the first one.
        QCOMPARE(panel.names().count(QStringLiteral("Sign out")), 1);
        QVERIFY(panel.press(QStringLiteral("Sign out")));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!model.account(), 10'000);
    QVERIFY(model.onboarding());
    QCOMPARE(model.onboardingStep(), 0);
    QVERIFY(m_screen.platform->secrets->items.isEmpty());
    QCOMPARE(requestsTo(*m_screen.service, QStringLiteral("/v1/auth/signout")), 1);
    QTRY_VERIFY(panel.has(QStringLiteral("Sign in to access your beta allowance.")));
    QVERIFY(!panel.has(QStringLiteral("this computer")));
    // The main window is back at the first page.
    AccessibleTree main(m_screen.main);
    QTRY_VERIFY(main.has(QStringLiteral("WELCOME")));
    QVERIFY(main.has(QStringLiteral("Sign-in email address")));
}

QTEST_MAIN(OnboardingScreenTest)
#include "tst_OnboardingScreen.moc"
