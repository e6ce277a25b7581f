#include "model/OnboardingPresentation.h"

#include "FakePlatform.h"
#include "model/SessionModel.h"

#include <QSignalSpy>
#include <QTest>

namespace {

Account accountWith(qint64 balanceMicros, bool simulatedWallet, const QString &mode = QStringLiteral("live"))
{
    Account account;
    account.health.mode = mode;
    account.wallet.balanceMicros = balanceMicros;
    account.wallet.simulated = simulatedWallet;
    account.profile = AccountProfile{QStringLiteral("ada@example.com"), QStringLiteral("d1"), 0};
    return account;
}

SignInChallenge challengeWith(std::optional<QString> simulatedCode)
{
    SignInChallenge challenge;
    challenge.requestId = QStringLiteral("r1");
    challenge.simulatedCode = std::move(simulatedCode);
    return challenge;
}

struct Screen {
    explicit Screen(QVariantMap information = {})
    {
        platform.informationDictionary = std::move(information);
        model = std::make_unique<SessionModel>(platform.bundle());
        presentation = std::make_unique<OnboardingPresentation>(*model);
    }
    FakePlatform platform;
    std::unique_ptr<SessionModel> model;
    std::unique_ptr<OnboardingPresentation> presentation;
};

} // namespace

class OnboardingPresentationTest : public QObject {
    Q_OBJECT
private slots:
    void sendCode_data();
    void sendCode();
    void codeStep();
    void allowance_data();
    void allowance();
    void pageMarks_data();
    void pageMarks();
    void domainPage_data();
    void domainPage();
    void footerLinks_data();
    void footerLinks();
    void accountPanel();
};

void OnboardingPresentationTest::sendCode_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<bool>("service");
    QTest::addColumn<bool>("signingIn");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("no @") << "ada.example.com" << true << false << false;
    QTest::newRow("empty") << "" << true << false << false;
    QTest::newRow("@ without a service") << "ada@example.com" << false << false << false;
    QTest::newRow("@ with a service") << "ada@example.com" << true << false << true;
    QTest::newRow("while signing in") << "ada@example.com" << true << true << false;
}

void OnboardingPresentationTest::sendCode()
{
    QFETCH(QString, email);
    QFETCH(bool, service);
    QFETCH(bool, signingIn);
    QFETCH(bool, enabled);
    Screen screen;
    SessionModel &model = *screen.model;
    OnboardingPresentation &shown = *screen.presentation;
    QSignalSpy changes(&shown, &OnboardingPresentation::signInChanged);
    model.setSignInURL(service ? std::optional<QString>(QStringLiteral("https://service.example")) : std::nullopt);
    model.setSignInEmail(email);
    model.setSigningIn(signingIn);
    QVERIFY(changes.count() > 0);
    QCOMPARE(shown.canSendCode(), enabled);
    // Without a service the email form gives way to the development connection.
    QCOMPARE(shown.serviceAvailable(), service);
    QCOMPARE(shown.canEditSignIn(), !signingIn);
    if (!enabled) {
        // Submitting the field is refused the same way the button is.
        shown.requestSignIn();
        QCOMPARE(model.signInMessage(), std::nullopt);
        QCOMPARE(model.signingIn(), signingIn);
    }
}

void OnboardingPresentationTest::codeStep()
{
    Screen screen;
    SessionModel &model = *screen.model;
    OnboardingPresentation &shown = *screen.presentation;
    QVERIFY(!shown.showCodeStep());
    QVERIFY(!shown.canSignIn());
    QCOMPARE(shown.simulatedCodeLine(), QString());

    model.setSignInChallenge(challengeWith(QStringLiteral("12345678")));
    QVERIFY(shown.showCodeStep());
    QVERIFY(shown.canSignIn());
    QCOMPARE(shown.simulatedCodeLine(), QStringLiteral("Simulated sign-in code: 12345678 · no email sent"));

    // A real service sends the code by email only.
    model.setSignInChallenge(challengeWith(std::nullopt));
    QVERIFY(shown.showCodeStep());
    QCOMPARE(shown.simulatedCodeLine(), QString());

    model.setSigningIn(true);
    QVERIFY(!shown.canSignIn());
    // Nothing is cleared under a running request.
    shown.restartSignIn();
    QVERIFY(model.signInChallenge());
    model.setSigningIn(false);

    model.setSignInCode(QStringLiteral("1234"));
    model.setSignInMessage(QStringLiteral("That code is not right. Check it and try again."));
    QCOMPARE(shown.signInStatus(), QStringLiteral("That code is not right. Check it and try again."));
    model.setSignInEmail(QStringLiteral("ada@example.com"));
    shown.restartSignIn();
    QVERIFY(!model.signInChallenge());
    QCOMPARE(model.signInCode(), QString());
    QCOMPARE(model.signInMessage(), std::nullopt);
    QCOMPARE(shown.signInStatus(), QString());
    QVERIFY(!shown.showCodeStep());
    // The address stays for the resend.
    QCOMPARE(model.signInEmail(), QStringLiteral("ada@example.com"));

    QVERIFY(!shown.showRecoveryWarning());
    model.setRecoveringAccount(true);
    QVERIFY(shown.showRecoveryWarning());
}

void OnboardingPresentationTest::allowance_data()
{
    QTest::addColumn<qint64>("balance");
    QTest::addColumn<bool>("simulated");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("fundingNote");
    QTest::newRow("9,999 micros") << qint64(9'999) << false << "Beta allowance: $0.0100" << true;
    QTest::newRow("10,000 micros") << qint64(10'000) << false << "Beta allowance: $0.0100" << false;
    QTest::newRow("empty wallet") << qint64(0) << false << "Beta allowance: $0.0000" << true;
    QTest::newRow("funded") << qint64(12'345'678) << false << "Beta allowance: $12.3457" << false;
    QTest::newRow("simulated, empty") << qint64(0) << true << "Simulated allowance · no provider credits" << false;
    QTest::newRow("simulated, funded") << qint64(5'000'000) << true << "Simulated allowance · no provider credits"
                                       << false;
}

void OnboardingPresentationTest::allowance()
{
    QFETCH(qint64, balance);
    QFETCH(bool, simulated);
    QFETCH(QString, line);
    QFETCH(bool, fundingNote);
    Screen screen;
    QCOMPARE(screen.presentation->allowanceLine(), QString());
    QVERIFY(!screen.presentation->showFundingNote());
    screen.model->setAccount(accountWith(balance, simulated));
    QCOMPARE(screen.presentation->allowanceLine(), line);
    QCOMPARE(screen.presentation->showFundingNote(), fundingNote);
}

void OnboardingPresentationTest::pageMarks_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QList<bool>>("passed");
    QTest::addColumn<int>("current");
    QTest::addColumn<bool>("back");
    QTest::newRow("sign-in") << 0 << QList<bool>{false, false, false} << 0 << false;
    QTest::newRow("domain") << 1 << QList<bool>{true, false, false} << 1 << true;
    QTest::newRow("audio") << 2 << QList<bool>{true, true, false} << 2 << true;
}

void OnboardingPresentationTest::pageMarks()
{
    QFETCH(int, step);
    QFETCH(QList<bool>, passed);
    QFETCH(int, current);
    QFETCH(bool, back);
    Screen screen;
    screen.model->setOnboardingStep(step);
    OnboardingPresentation &shown = *screen.presentation;
    RowListModel &rows = *shown.pageRows();
    QCOMPARE(rows.count(), 3);
    QCOMPARE(shown.page(), step);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(rows.value(i, QStringLiteral("passed")).toBool(), passed[i]);
        QCOMPARE(rows.value(i, QStringLiteral("current")).toBool(), i == current);
        QVERIFY(!rows.value(i, QStringLiteral("title")).toString().isEmpty());
    }
    QCOMPARE(shown.showBack(), back);

    // "Back" goes one page lower and never below the first.
    shown.back();
    QCOMPARE(screen.model->onboardingStep(), std::max(0, step - 1));
    QCOMPARE(rows.value(std::max(0, step - 1), QStringLiteral("current")).toBool(), true);
}

void OnboardingPresentationTest::domainPage_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<bool>("continues");
    QTest::newRow("two characters") << "ab" << false;
    QTest::newRow("two characters in white space") << "  ab \n" << false;
    QTest::newRow("three characters") << "abc" << true;
    // Four code points, two letters as a person counts them.
    QTest::newRow("two combined letters") << QString::fromUtf8("e\u0301e\u0301") << false;
}

void OnboardingPresentationTest::domainPage()
{
    QFETCH(QString, domain);
    QFETCH(bool, continues);
    Screen screen;
    SessionModel &model = *screen.model;
    OnboardingPresentation &shown = *screen.presentation;
    model.setOnboarding(true);
    model.setOnboardingStep(1);
    model.setDomain(domain);
    QCOMPARE(shown.canContinue(), continues);
    shown.continueToAudio();
    QCOMPARE(model.onboardingStep(), continues ? 2 : 1);

    // Opening the app also needs an account; then finishing really finishes and saves the setup.
    QVERIFY(!shown.canFinish());
    shown.finish();
    QVERIFY(model.onboarding());
    model.setAccount(accountWith(0, true, QStringLiteral("demo")));
    QCOMPARE(shown.canFinish(), continues);
    shown.finish();
    QCOMPARE(model.onboarding(), !continues);
    QCOMPARE(screen.platform.preferences->boolean(QStringLiteral("onboardingComplete")).value_or(false), continues);
    QCOMPARE(screen.platform.preferences->string(QStringLiteral("domain")),
             continues ? std::optional<QString>(domain) : std::nullopt);
}

void OnboardingPresentationTest::footerLinks_data()
{
    QTest::addColumn<QVariantMap>("information");
    QTest::addColumn<QString>("privacy");
    QTest::addColumn<QString>("help");
    QTest::newRow("none configured") << QVariantMap{} << "" << "";
    // Which addresses are acceptable is AppConfiguration's rule.
    QTest::newRow("both") << QVariantMap{{"CVNPrivacyURL", "https://corvana.example/privacy"},
                                         {"CVNSupportURL", "https://corvana.example/help?topic=start"}}
                          << "https://corvana.example/privacy" << "https://corvana.example/help?topic=start";
}

void OnboardingPresentationTest::footerLinks()
{
    QFETCH(QVariantMap, information);
    QFETCH(QString, privacy);
    QFETCH(QString, help);
    Screen screen(information);
    QCOMPARE(screen.presentation->showPrivacy(), !privacy.isEmpty());
    QCOMPARE(screen.presentation->privacyURL(), privacy);
    QCOMPARE(screen.presentation->showHelp(), !help.isEmpty());
    QCOMPARE(screen.presentation->helpURL(), help);
}

void OnboardingPresentationTest::accountPanel()
{
    // The signed-out and simulated notes and the device rows are read through the panel
    // itself in the OnboardingScreen suite; here is what that run does not reach.
    Screen screen;
    SessionModel &model = *screen.model;
    OnboardingPresentation &shown = *screen.presentation;
    model.setAccount(accountWith(1'000'000, false));
    QCOMPARE(shown.signedOutNote(), QString());
    QCOMPARE(shown.simulatedNote(), QString());
    model.setAccountMessage(QStringLiteral("Sign-in is unavailable. Please try again shortly."));
    QCOMPARE(shown.accountMessageText(), QStringLiteral("Sign-in is unavailable. Please try again shortly."));
    model.setAccountMessage(std::nullopt);
    // An unknown id removes nothing and sends nothing.
    model.setDevices({AccountDevice{QStringLiteral("d1"), QStringLiteral("Corvana on Ada’s laptop"), 1, 2, true}});
    shown.removeDevice(QStringLiteral("gone"));
    QCOMPARE(model.devices().size(), 1);
    QVERIFY(!model.accountMessage());
}

QTEST_MAIN(OnboardingPresentationTest)
#include "tst_OnboardingPresentation.moc"
