#include "model/SetupPresentation.h"

#include "model/AnswerSources.h"
#include "model/KnowledgePresentation.h"
#include "model/OnboardingPresentation.h"
#include "model/SessionPresentation.h"

#include "AnswerFixtures.h"
#include "FakePlatform.h"
#include "ModelHarness.h"
#include "RunTask.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

// Designated initializers here leave the other members at their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

const QString removedLine = QStringLiteral("Imported copy removed; this quote remains only in the current session.");

KnowledgeDocument documentOf(const QString &id, const QString &domain, bool enabled = true)
{
    const KnowledgePassage passage{id + QStringLiteral("-p1"), id, QStringLiteral("Notes"), QStringLiteral("Section 1"),
                                   QStringLiteral("Full text of ") + id};
    return KnowledgeDocument{.id = id, .title = QStringLiteral("Document ") + id,
                             .domainKey = PrivateKnowledge::domainKey(domain), .enabled = enabled, .fingerprint = id,
                             .passages = {passage}};
}

DocumentCitation citationOf(const QString &documentId, const QString &passageId)
{
    return DocumentCitation{passageId, documentId, QStringLiteral("Notes"), QStringLiteral("Section 1"),
                            QStringLiteral("a quoted sentence")};
}

Account accountWith(qint64 balanceMicros, bool simulatedWallet, const QString &mode = QStringLiteral("live"))
{
    Account account;
    account.health.mode = mode;
    account.wallet.balanceMicros = balanceMicros;
    account.wallet.simulated = simulatedWallet;
    account.profile = AccountProfile{QStringLiteral("ada@example.com"), QStringLiteral("d1"), 0};
    return account;
}

// A model on fake platform services, loaded when asked, and the presentations of the
// setup, knowledge and onboarding screens.
struct Screens {
    explicit Screens(QVariantMap information = {}, bool load = false)
    {
        platform.informationDictionary = std::move(information);
        model = std::make_unique<SessionModel>(platform.bundle());
        if (load)
            runTask(model->load());
        setup = std::make_unique<SetupPresentation>(*model, QString());
        knowledge = std::make_unique<KnowledgePresentation>(*model);
        onboarding = std::make_unique<OnboardingPresentation>(*model);
    }

    FakePlatform platform;
    std::unique_ptr<SessionModel> model;
    std::unique_ptr<SetupPresentation> setup;
    std::unique_ptr<KnowledgePresentation> knowledge;
    std::unique_ptr<OnboardingPresentation> onboarding;
};

} // namespace

// What the setup, onboarding, knowledge and About screens show of the model.
class SetupPresentationTest : public QObject {
    Q_OBJECT
private slots:
    void codeStep()
    {
        Screens s;
        SessionModel &model = *s.model;
        OnboardingPresentation &shown = *s.onboarding;
        // Submitting the address field is refused the same way its button is (the OnboardingScreen
        // suite reads the button).
        model.setSignInURL(QStringLiteral("https://service.example"));
        model.setSignInEmail(QStringLiteral("ada.example.com"));
        QVERIFY(!shown.canSendCode());
        shown.requestSignIn();
        QVERIFY(!model.signInMessage() && !model.signingIn());
        model.setSignInEmail(QStringLiteral("ada@example.com"));
        model.setSigningIn(true);
        QVERIFY(!shown.canSendCode() && !shown.canEditSignIn());
        model.setSigningIn(false);
        QVERIFY(shown.canSendCode() && shown.canEditSignIn());

        // The simulated service's code on the page is the OnboardingScreen suite's; a real
        // service sends the code by email only.
        QVERIFY(!shown.showCodeStep() && !shown.canSignIn());
        SignInChallenge challenge;
        challenge.requestId = QStringLiteral("r1");
        model.setSignInChallenge(challenge);
        QVERIFY(shown.showCodeStep() && shown.canSignIn());
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
        shown.restartSignIn();
        QVERIFY(!model.signInChallenge() && !shown.showCodeStep() && !model.signInMessage());
        QCOMPARE(model.signInCode(), QString());
        QCOMPARE(shown.signInStatus(), QString());
        // The address stays for the resend.
        QCOMPARE(model.signInEmail(), QStringLiteral("ada@example.com"));

        QVERIFY(!shown.showRecoveryWarning());
        model.setRecoveringAccount(true);
        QVERIFY(shown.showRecoveryWarning());
    }

    void allowance_data()
    {
        QTest::addColumn<qint64>("balance");
        QTest::addColumn<bool>("simulated");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("fundingNote");
        QTest::newRow("9,999 micros") << qint64(9'999) << false << "Beta allowance: $0.0100" << true;
        QTest::newRow("10,000 micros") << qint64(10'000) << false << "Beta allowance: $0.0100" << false;
        QTest::newRow("funded") << qint64(12'345'678) << false << "Beta allowance: $12.3457" << false;
        QTest::newRow("simulated, empty") << qint64(0) << true << "Simulated allowance · no provider credits" << false;
    }

    void allowance()
    {
        QFETCH(qint64, balance);
        QFETCH(bool, simulated);
        Screens s;
        QCOMPARE(s.onboarding->allowanceLine(), QString());
        QVERIFY(!s.onboarding->showFundingNote());
        s.model->setAccount(accountWith(balance, simulated));
        QTEST(s.onboarding->allowanceLine(), "line");
        QTEST(s.onboarding->showFundingNote(), "fundingNote");
    }

    void pageMarks_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QList<bool>>("passed");
        QTest::newRow("sign-in") << 0 << QList<bool>{false, false, false};
        QTest::newRow("domain") << 1 << QList<bool>{true, false, false};
        QTest::newRow("audio") << 2 << QList<bool>{true, true, false};
    }

    void pageMarks()
    {
        QFETCH(int, step);
        QFETCH(QList<bool>, passed);
        Screens s;
        s.model->setOnboardingStep(step);
        OnboardingPresentation &shown = *s.onboarding;
        RowListModel &rows = *shown.pageRows();
        QCOMPARE(rows.count(), 3);
        QCOMPARE(shown.page(), step);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(rows.value(i, QStringLiteral("passed")).toBool(), passed[i]);
            QCOMPARE(rows.value(i, QStringLiteral("current")).toBool(), i == step);
            QVERIFY(!rows.value(i, QStringLiteral("title")).toString().isEmpty());
        }
        QCOMPARE(shown.showBack(), step > 0);

        // "Back" goes one page lower and never below the first.
        shown.back();
        QCOMPARE(s.model->onboardingStep(), std::max(0, step - 1));
        QCOMPARE(rows.value(std::max(0, step - 1), QStringLiteral("current")).toBool(), true);
    }

    void domainPage_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<bool>("continues");
        QTest::newRow("two characters in white space") << "  ab \n" << false;
        QTest::newRow("three characters") << "abc" << true;
        // Four code points, two letters as a person counts them.
        QTest::newRow("two combined letters") << QString::fromUtf8("e\u0301e\u0301") << false;
    }

    void domainPage()
    {
        QFETCH(QString, domain);
        QFETCH(bool, continues);
        Screens s;
        SessionModel &model = *s.model;
        OnboardingPresentation &shown = *s.onboarding;
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
        QCOMPARE(s.platform.preferences->boolean(QStringLiteral("onboardingComplete")).value_or(false), continues);
        QCOMPARE(s.platform.preferences->string(QStringLiteral("domain")),
                 continues ? std::optional<QString>(domain) : std::nullopt);
    }

    void footerLinks()
    {
        // Which addresses are acceptable is AppConfiguration's rule.
        QCOMPARE(Screens().onboarding->showPrivacy(), false);
        Screens s({{"CVNPrivacyURL", "https://corvana.example/privacy"},
                   {"CVNSupportURL", "https://corvana.example/help?topic=start"}});
        QVERIFY(s.onboarding->showPrivacy() && s.onboarding->showHelp());
        QCOMPARE(s.onboarding->privacyURL(), QStringLiteral("https://corvana.example/privacy"));
        QCOMPARE(s.onboarding->helpURL(), QStringLiteral("https://corvana.example/help?topic=start"));
    }

    void accountPanel()
    {
        // The signed-out and simulated notes and the device rows are read through the panel
        // itself in the OnboardingScreen suite; here is what that run does not reach.
        Screens s;
        SessionModel &model = *s.model;
        OnboardingPresentation &shown = *s.onboarding;
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

    void save()
    {
        // The rules behind each refusal are SessionSetup's; the form's own run is the SetupScreen suite's.
        Screens s;
        SetupPresentation &screen = *s.setup;
        QSignalSpy changed(&screen, &SetupPresentation::messageChanged);
        QVariantMap result = screen.save(QStringLiteral("Heart"), QStringLiteral("Cardiology trials"), QString(), QStringLiteral("25"));
        QCOMPARE(result, (QVariantMap{{"message", "Enter a session limit between $0.01 and $20."}, {"failed", true}}));
        QVERIFY(screen.failed() && changed.count() > 0);
        QCOMPARE(s.model->domainName(), QStringLiteral("ML & AI"));
        QCOMPARE(s.platform.preferences->writes, 0);

        // Name and domain trimmed, familiarity as typed; the accepted save replaces the refusal.
        result = screen.save(QStringLiteral("  Cardiology \n"), QStringLiteral("\n Heart rhythm and trial design  \n"),
                             QStringLiteral("  I run trials \n"), QStringLiteral("2.50"));
        QCOMPARE(result, (QVariantMap{{"message", "Preferences saved."}, {"failed", false}}));
        QCOMPARE(screen.message(), QStringLiteral("Preferences saved."));
        QVERIFY(!screen.failed());
        QCOMPARE(s.platform.preferences->values,
                 (QVariantMap{{"domainName", "Cardiology"}, {"domain", "Heart rhythm and trial design"},
                              {"familiarity", "  I run trials \n"}, {"budget", "2.50"}, {"durationMinutes", qint64(60)}}));
        QCOMPARE(s.model->domain(), QStringLiteral("Heart rhythm and trial design"));
    }

    void lengthChoices()
    {
        Screens s;
        Account account;
        account.health.mode = QStringLiteral("live");
        account.health.maxSessionMinutes = 45;
        s.model->setAccount(account);
        s.model->setDurationMinutes(45);
        QStringList labels;
        for (const QVariant &choice : s.setup->durationChoices())
            labels.append(choice.toMap().value(QStringLiteral("label")).toString());
        QCOMPARE(labels, (QStringList{"15 minutes", "30 minutes", "45 minutes"}));
        QCOMPARE(s.setup->durationText(), QStringLiteral("45 minutes"));
    }

    void connectShowsTheOutcome_data()
    {
        QTest::addColumn<QStringList>("serviceArguments");
        QTest::addColumn<bool>("release");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("status");

        const QString connected = QStringLiteral("Service connected. Save your domain preferences when ready.");
        QTest::newRow("simulated service") << QStringList{"--simulated"} << false << connected << "Simulated service";
        QTest::newRow("live service") << QStringList{} << false << connected << "Connected";
        QTest::newRow("release build") << QStringList{"--simulated"} << true
                                       << "This release only connects to the Corvana service." << "Not connected";
    }

    void connectShowsTheOutcome()
    {
        QFETCH(QStringList, serviceArguments);
        QFETCH(bool, release);
        QFETCH(QString, status);

        DevServiceProcess service(serviceArguments);
        QVERIFY2(service.started(), qPrintable(service.errorText()));
        Screens s(release ? QVariantMap{{"CVNReleaseBuild", true}, {"CVNServiceURL", "https://corvana.example"}} : QVariantMap{});
        SetupPresentation &screen = *s.setup;
        QCOMPARE(screen.offersServiceConnection(), !release);
        QCOMPARE(screen.connectionStatus(), QStringLiteral("Not connected"));

        QList<bool> connecting;
        QObject::connect(&screen, &SetupPresentation::messageChanged, &screen,
                         [&] { connecting.append(screen.connecting()); });
        runTask(screen.connectTo(service.baseUrl(), service.token()));

        QVERIFY(connecting.contains(true));
        QVERIFY(!screen.connecting());
        QTEST(screen.message(), "message");
        QCOMPARE(screen.failed(), release);
        QCOMPARE(screen.connectionStatus(), status);
        QCOMPARE(screen.connectionTone(), release ? "neutral" : status == "Simulated service" ? "caution" : "ready");
        // Persisted only on success: the device token goes to the secret store. A refused
        // service never hears of the device.
        QCOMPARE(s.platform.secrets->items.isEmpty(), release);
        QCOMPARE(s.model->serviceURL() == service.baseUrl(), !release);
        QCOMPARE(service.log().value("requests").toArray().isEmpty(), release);
    }

    void failedConnectKeepsTheService()
    {
        ModelHarness harness;
        QVERIFY(harness.connect());
        SetupPresentation screen(*harness.model, QString());
        const ServiceClient *before = harness.model->client();

        runTask(screen.connectTo(harness.service.baseUrl(), QStringLiteral("a-token-this-service-never-issued")));
        QCOMPARE(screen.message(), QStringLiteral("Sign in again."));
        QVERIFY(screen.failed());
        QVERIFY(!screen.connecting());
        QCOMPARE(harness.model->client(), before);
        QCOMPARE(screen.connectionStatus(), QStringLiteral("Simulated service"));
        QVERIFY(harness.platform.secrets->items.isEmpty());
    }

    void aboutLines_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("release");
        QTest::addColumn<QString>("versionLine");
        QTest::addColumn<QString>("buildLine");

        QTest::newRow("development build without a version") << "" << false << "Version 0.4.0" << "Development build";
        QTest::newRow("release build") << "1.2.0" << true << "Version 1.2.0" << "Private beta";
        QTest::newRow("blank version") << "  " << true << "Version 0.4.0" << "Private beta";
    }

    void aboutLines()
    {
        QFETCH(QString, version);
        QFETCH(bool, release);
        FakePlatform platform;
        if (release)
            platform.informationDictionary.insert(QStringLiteral("CVNReleaseBuild"), true);
        SessionModel model(platform.bundle());
        SetupPresentation screen(model, version);
        QTEST(screen.versionLine(), "versionLine");
        QTEST(screen.buildLine(), "buildLine");
        // The publisher's logo is not bundled, so the credits are left out.
        QVERIFY(!screen.showsPublisherLogo() && !screen.showsCredits());
    }

    void documentsCountDisabledOnes()
    {
        Screens s({}, true);
        SessionModel &model = *s.model;
        KnowledgePresentation &screen = *s.knowledge;
        model.setDomainName(QStringLiteral("Trials"));
        QCOMPARE(screen.documentsTitle(), QStringLiteral("Reference documents · 0"));
        QCOMPARE(screen.documentsEmptyLine(), QStringLiteral("No reference documents yet."));
        QCOMPARE(screen.documentsDomainLine(), QStringLiteral("Reference files for your saved domain: Trials"));

        const QString other = QStringLiteral("Another domain altogether");
        model.updateKnowledge([&](PrivateKnowledge &knowledge) {
            knowledge.documents = {documentOf(QStringLiteral("a"), model.domain()), documentOf(QStringLiteral("b"), other),
                                   documentOf(QStringLiteral("c"), model.domain(), false)};
        });
        QCOMPARE(screen.documentsTitle(), QStringLiteral("Reference documents · 2"));
        QCOMPARE(screen.documentsEmptyLine(), QString());
        RowListModel &rows = *screen.documentRows();
        const auto row = [&rows](int i) {
            return QVariantList{rows.value(i, "key"), rows.value(i, "title"), rows.value(i, "enabled")};
        };
        QCOMPARE(rows.count(), 2);
        QCOMPARE(row(1), (QVariantList{"c", "Document c", false}));
        QCOMPARE(model.privateKnowledge().passages(model.domain()).size(), 1);

        // Switching documents off and reading them is the SetupScreen suite's; removing one
        // leaves the others, and the reader finds nothing for it.
        screen.removeDocument(QStringLiteral("c"));
        QCOMPARE(screen.documentsTitle(), QStringLiteral("Reference documents · 1"));
        QCOMPARE(model.privateKnowledge().documents.size(), 2);
        QVERIFY(screen.documentContent(QStringLiteral("a")).value(QStringLiteral("found")).toBool());
        QVERIFY(!screen.documentContent(QStringLiteral("c")).value(QStringLiteral("found")).toBool());

        // Another domain text shows another library.
        model.setDomain(other);
        QCOMPARE(row(0).first(), QVariant("b"));
    }

    void preferencesOfThisDomain()
    {
        // Editing through the rows with learning off is the SetupScreen suite's.
        Screens s({}, true);
        SessionModel &model = *s.model;
        KnowledgePresentation &screen = *s.knowledge;
        const auto preference = [](const QString &id, const QString &domain, const QString &topic) {
            return LearnedPreference{id, PrivateKnowledge::domainKey(domain), topic, QStringLiteral("known"),
                                     QStringLiteral("Cue"), 0};
        };
        model.updateKnowledge([&](PrivateKnowledge &knowledge) {
            knowledge.preferences = {preference(QStringLiteral("P1"), model.domain(), QStringLiteral("Calibration")),
                                     preference(QStringLiteral("P2"), QStringLiteral("Another domain altogether"),
                                                QStringLiteral("Drift")),
                                     preference(QStringLiteral("P3"), model.domain(), QStringLiteral("Model drift"))};
        });
        RowListModel &rows = *screen.preferenceRows();
        QCOMPARE(rows.count(), 2);
        screen.savePreference(QStringLiteral("P1"), QStringLiteral("  Calibration error \n"), QStringLiteral("quiet"),
                              QStringLiteral("ELI5"));
        QCOMPARE((QVariantList{rows.value(0, "topic"), rows.value(0, "prominence"), rows.value(0, "style")}),
                 (QVariantList{"Calibration error", "quiet", "ELI5"}));
        screen.forgetDomainPreferences();
        QCOMPARE(rows.count(), 0);
        QCOMPARE(screen.preferencesEmptyLine(), QStringLiteral("No learned preferences for this domain."));
        // Other domains keep theirs, on disk as well.
        QCOMPARE(model.privateKnowledge().preferences.size(), 1);
        QCOMPARE(model.privateKnowledge().preferences.first().id, QStringLiteral("P2"));
        model.waitForKnowledgeWrites();
        QCOMPARE(PrivateKnowledgeStore(s.platform.knowledgeDirectory->filePath(QStringLiteral("knowledge"))).load(),
                 model.privateKnowledge());
    }

    void citationLines_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("citations");
        QTest::addColumn<std::optional<RetrievalInfo>>("retrieval");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("line");

        const QString sampleNote = QStringLiteral("Simulated answer · exact quotes from your imported text.");
        const QString otherNote =
            QStringLiteral("Exact quotes from your imported text. The explanation may also include model knowledge.");
        const auto search = [](bool searched, qint64 matched) {
            return std::optional<RetrievalInfo>(RetrievalInfo{searched, matched, 2.0});
        };
        QTest::newRow("no search") << "service" << 0 << std::optional<RetrievalInfo>() << "" << "" << "";
        QTest::newRow("search not run") << "service" << 0 << search(false, 4) << "" << "" << "";
        QTest::newRow("search without a match") << "service" << 0 << search(true, 0) << "" << ""
                                                << "No matching document passage · model knowledge";
        QTest::newRow("matches but nothing cited") << "service" << 0 << search(true, 3) << "" << ""
                                                   << "No supporting document citation · model knowledge";
        QTest::newRow("sample with two citations") << "sample" << 2 << search(true, 2) << "Sources · 2" << sampleNote << "";
        QTest::newRow("service answer with one citation") << "service" << 1 << search(true, 0) << "Sources · 1"
                                                          << otherNote << "";
    }

    void citationLines()
    {
        QFETCH(QString, source);
        QFETCH(int, citations);
        QFETCH(std::optional<RetrievalInfo>, retrieval);
        QFETCH(QString, title);
        QFETCH(QString, note);
        QFETCH(QString, line);

        PreparedAnswer answer = answerFixture(QStringLiteral("a1"));
        answer.source = source;
        answer.retrieval = retrieval;
        if (citations > 0) {
            answer.citations = QList<DocumentCitation>();
            for (int i = 0; i < citations; ++i)
                answer.citations->append(citationOf(QStringLiteral("d"), QStringLiteral("p%1").arg(i)));
        }
        // The lines of the answer in front of the main window.
        FakePlatform platform;
        SessionModel model(platform.bundle());
        SessionPresentation main(model);
        model.setAnswers({answer});
        QCOMPARE((QStringList{main.sourcesTitle(), main.sourcesNote(), main.retrievalNote()}), (QStringList{title, note, line}));
    }

    void removingACitedDocument()
    {
        Screens s({}, true);
        SessionModel &model = *s.model;
        KnowledgePresentation &screen = *s.knowledge;
        SessionPresentation main(model);
        model.updateKnowledge([&](PrivateKnowledge &knowledge) {
            knowledge.documents = {documentOf(QStringLiteral("d1"), model.domain()),
                                   documentOf(QStringLiteral("d2"), model.domain())};
        });
        PreparedAnswer answer = answerFixture(QStringLiteral("a1"));
        answer.citations = QList<DocumentCitation>{citationOf(QStringLiteral("d1"), QStringLiteral("d1-p1")),
                                                   citationOf(QStringLiteral("d2"), QStringLiteral("d2-p1")),
                                                   // A passage the document never had.
                                                   citationOf(QStringLiteral("d2"), QStringLiteral("d2-p9"))};
        model.setAnswers({answer});
        QCOMPARE(screen.quotation(QStringLiteral("a quoted sentence")), QStringLiteral("“a quoted sentence”"));

        RowListModel &citations = *main.citationRows();
        const auto notes = [&] {
            QStringList lines;
            for (int row = 0; row < citations.count(); ++row)
                lines.append(screen.passageNote(citations.value(row, QStringLiteral("removed")).toBool()));
            return lines;
        };
        QCOMPARE(notes(), (QStringList{QString(), QString(), removedLine}));
        QCOMPARE(citations.value(0, QStringLiteral("passage")).toString(), QStringLiteral("Full text of d1"));

        // The quotes stay with the answer.
        screen.removeDocument(QStringLiteral("d1"));
        QCOMPARE(notes(), (QStringList{removedLine, QString(), removedLine}));
        QCOMPARE(AnswerSources::citedPassage(model.privateKnowledge(), answer.citations->at(0)), std::nullopt);
        QCOMPARE(main.sourcesTitle(), QStringLiteral("Sources · 3"));
        QCOMPARE(citations.value(0, QStringLiteral("quote")).toString(), QStringLiteral("a quoted sentence"));
    }
};

QTEST_MAIN(SetupPresentationTest)
#include "tst_SetupPresentation.moc"
