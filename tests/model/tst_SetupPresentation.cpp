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

FakePlatform platformWith(QVariantMap information)
{
    FakePlatform platform;
    platform.informationDictionary = std::move(information);
    return platform;
}

// A model on fake platform services, loaded when asked, and the presentations of the
// setup, knowledge and onboarding screens.
struct Screens {
    explicit Screens(QVariantMap information = {}, bool load = false)
        : platform(platformWith(std::move(information)))
    {
        if (load)
            runTask(model.load());
    }

    FakePlatform platform;
    SessionModel model{platform.bundle()};
    SetupPresentation setup{model, QString()};
    KnowledgePresentation knowledge{model};
    OnboardingPresentation onboarding{model};
};

} // namespace

// What the setup, onboarding, knowledge and About screens show of the model.
class SetupPresentationTest : public QObject {
    Q_OBJECT
private slots:
    void codeStep()
    {
        Screens s;
        // Submitting the address field is refused the same way its button is (the screen
        // suite reads the button).
        s.model.setSignInURL(QStringLiteral("https://service.example"));
        s.model.setSignInEmail(QStringLiteral("ada.example.com"));
        QVERIFY(!s.onboarding.canSendCode());
        s.onboarding.requestSignIn();
        QVERIFY(!s.model.signInMessage() && !s.model.signingIn());
        s.model.setSignInEmail(QStringLiteral("ada@example.com"));

        // The simulated service's code on the page is the screen suite's; a real
        // service sends the code by email only.
        SignInChallenge challenge;
        challenge.requestId = QStringLiteral("r1");
        s.model.setSignInChallenge(challenge);
        QVERIFY(s.onboarding.showCodeStep() && s.onboarding.canSignIn());
        QCOMPARE(s.onboarding.simulatedCodeLine(), QString());

        s.model.setSigningIn(true);
        QVERIFY(!s.onboarding.canSignIn() && !s.onboarding.canSendCode() && !s.onboarding.canEditSignIn());
        // Nothing is cleared under a running request.
        s.onboarding.restartSignIn();
        QVERIFY(s.model.signInChallenge());
        s.model.setSigningIn(false);

        s.model.setSignInCode(QStringLiteral("1234"));
        s.model.setSignInMessage(QStringLiteral("That code is not right. Check it and try again."));
        QCOMPARE(s.onboarding.signInStatus(), QStringLiteral("That code is not right. Check it and try again."));
        s.onboarding.restartSignIn();
        QVERIFY(!s.model.signInChallenge() && !s.onboarding.showCodeStep() && !s.model.signInMessage());
        QCOMPARE(s.model.signInCode(), QString());
        // The address stays for the resend.
        QCOMPARE(s.model.signInEmail(), QStringLiteral("ada@example.com"));

        QVERIFY(!s.onboarding.showRecoveryWarning());
        s.model.setRecoveringAccount(true);
        QVERIFY(s.onboarding.showRecoveryWarning());

        // The account panel is read in the screen suite; an id it does not know removes
        // nothing and sends nothing.
        s.model.setAccount(accountWith(1'000'000, false));
        s.model.setDevices({AccountDevice{QStringLiteral("d1"), QStringLiteral("Corvana on Ada’s laptop"), 1, 2, true}});
        s.onboarding.removeDevice(QStringLiteral("gone"));
        QVERIFY(s.model.devices().size() == 1 && !s.model.accountMessage());
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
        QCOMPARE(s.onboarding.allowanceLine(), QString());
        QVERIFY(!s.onboarding.showFundingNote());
        s.model.setAccount(accountWith(balance, simulated));
        QTEST(s.onboarding.allowanceLine(), "line");
        QTEST(s.onboarding.showFundingNote(), "fundingNote");
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
        s.model.setOnboardingStep(step);
        RowListModel &rows = *s.onboarding.pageRows();
        QCOMPARE(rows.count(), 3);
        QCOMPARE(s.onboarding.page(), step);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(rows.value(i, QStringLiteral("passed")).toBool(), passed[i]);
            QCOMPARE(rows.value(i, QStringLiteral("current")).toBool(), i == step);
            QVERIFY(!rows.value(i, QStringLiteral("title")).toString().isEmpty());
        }
        QCOMPARE(s.onboarding.showBack(), step > 0);

        // "Back" goes one page lower and never below the first.
        s.onboarding.back();
        QCOMPARE(s.model.onboardingStep(), std::max(0, step - 1));
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
        s.model.setOnboarding(true);
        s.model.setOnboardingStep(1);
        s.model.setDomain(domain);
        QCOMPARE(s.onboarding.canContinue(), continues);
        s.onboarding.continueToAudio();
        QCOMPARE(s.model.onboardingStep(), continues ? 2 : 1);

        // Opening the app also needs an account; then finishing really finishes and saves the setup.
        QVERIFY(!s.onboarding.canFinish());
        s.onboarding.finish();
        QVERIFY(s.model.onboarding());
        s.model.setAccount(accountWith(0, true, QStringLiteral("demo")));
        QCOMPARE(s.onboarding.canFinish(), continues);
        s.onboarding.finish();
        QCOMPARE(s.model.onboarding(), !continues);
        QCOMPARE(s.platform.preferences->boolean(QStringLiteral("onboardingComplete")).value_or(false), continues);
        QCOMPARE(s.platform.preferences->string(QStringLiteral("domain")),
                 continues ? std::optional<QString>(domain) : std::nullopt);
    }

    void save()
    {
        // The rules behind each refusal are SessionSetup's; the form's own run is the screen suite's.
        Screens s;
        QSignalSpy changed(&s.setup, &SetupPresentation::messageChanged);
        QVariantMap result = s.setup.save(QStringLiteral("Heart"), QStringLiteral("Cardiology trials"), QString(), QStringLiteral("25"));
        QCOMPARE(result, (QVariantMap{{"message", "Enter a session limit between $0.01 and $20."}, {"failed", true}}));
        QVERIFY(s.setup.failed() && changed.count() > 0);
        QCOMPARE(s.model.domainName(), QStringLiteral("ML & AI"));
        QCOMPARE(s.platform.preferences->writes, 0);

        // Name and domain trimmed, familiarity as typed; the accepted save replaces the refusal.
        result = s.setup.save(QStringLiteral("  Cardiology \n"), QStringLiteral("\n Heart rhythm and trial design  \n"),
                             QStringLiteral("  I run trials \n"), QStringLiteral("2.50"));
        QCOMPARE(result, (QVariantMap{{"message", "Preferences saved."}, {"failed", false}}));
        QVERIFY(!s.setup.failed());
        QCOMPARE(s.platform.preferences->values,
                 (QVariantMap{{"domainName", "Cardiology"}, {"domain", "Heart rhythm and trial design"},
                              {"familiarity", "  I run trials \n"}, {"budget", "2.50"}, {"durationMinutes", qint64(60)}}));
        QCOMPARE(s.model.domain(), QStringLiteral("Heart rhythm and trial design"));
    }

    void lengthChoices()
    {
        Screens s;
        // The chosen length's own line is read in the screen suite.
        Account account;
        account.health.maxSessionMinutes = 45;
        s.model.setAccount(account);
        QStringList labels;
        for (const QVariant &choice : s.setup.durationChoices())
            labels.append(choice.toMap().value(QStringLiteral("label")).toString());
        QCOMPARE(labels, (QStringList{"15 minutes", "30 minutes", "45 minutes"}));
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
        QCOMPARE(s.setup.offersServiceConnection(), !release);
        QCOMPARE(s.setup.connectionStatus(), QStringLiteral("Not connected"));

        QList<bool> connecting;
        QObject::connect(&s.setup, &SetupPresentation::messageChanged, &s.setup,
                         [&] { connecting.append(s.setup.connecting()); });
        runTask(s.setup.connectTo(service.baseUrl(), service.token()));

        QVERIFY(connecting.contains(true));
        QVERIFY(!s.setup.connecting());
        QTEST(s.setup.message(), "message");
        QCOMPARE(s.setup.failed(), release);
        QCOMPARE(s.setup.connectionStatus(), status);
        QCOMPARE(s.setup.connectionTone(), release ? "neutral" : status == "Simulated service" ? "caution" : "ready");
        // Persisted only on success: the device token goes to the secret store. A refused
        // service never hears of the device.
        QCOMPARE(s.platform.secrets->items.isEmpty(), release);
        QCOMPARE(s.model.serviceURL() == service.baseUrl(), !release);
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
        Screens s(release ? QVariantMap{{"CVNReleaseBuild", true}} : QVariantMap{});
        SetupPresentation screen(s.model, version);
        QTEST(screen.versionLine(), "versionLine");
        QTEST(screen.buildLine(), "buildLine");
        // The publisher's logo is not bundled, so the credits are left out.
        QVERIFY(!screen.showsPublisherLogo() && !screen.showsCredits());
    }

    void documentsCountDisabledOnes()
    {
        Screens s({}, true);
        // The empty library's lines are read in the screen suite.
        const QString other = QStringLiteral("Another domain altogether");
        s.model.updateKnowledge([&](PrivateKnowledge &knowledge) {
            knowledge.documents = {documentOf(QStringLiteral("a"), s.model.domain()), documentOf(QStringLiteral("b"), other),
                                   documentOf(QStringLiteral("c"), s.model.domain(), false)};
        });
        QCOMPARE(s.knowledge.documentsTitle(), QStringLiteral("Reference documents · 2"));
        QCOMPARE(s.knowledge.documentsEmptyLine(), QString());
        RowListModel &rows = *s.knowledge.documentRows();
        const auto row = [&rows](int i) {
            return QVariantList{rows.value(i, "key"), rows.value(i, "title"), rows.value(i, "enabled")};
        };
        QCOMPARE(rows.count(), 2);
        QCOMPARE(row(1), (QVariantList{"c", "Document c", false}));
        QCOMPARE(s.model.privateKnowledge().passages(s.model.domain()).size(), 1);

        // Switching documents off and reading them is the screen suite's; removing one
        // leaves the others, and the reader finds nothing for it.
        s.knowledge.removeDocument(QStringLiteral("c"));
        QCOMPARE(s.knowledge.documentsTitle(), QStringLiteral("Reference documents · 1"));
        QCOMPARE(s.model.privateKnowledge().documents.size(), 2);
        QVERIFY(s.knowledge.documentContent(QStringLiteral("a")).value(QStringLiteral("found")).toBool());
        QVERIFY(!s.knowledge.documentContent(QStringLiteral("c")).value(QStringLiteral("found")).toBool());

        // Another domain text shows another library.
        s.model.setDomain(other);
        QCOMPARE(row(0).first(), QVariant("b"));
    }

    void preferencesOfThisDomain()
    {
        // Editing through the rows with learning off is the screen suite's.
        Screens s({}, true);
        const auto preference = [](const QString &id, const QString &domain, const QString &topic) {
            return LearnedPreference{id, PrivateKnowledge::domainKey(domain), topic, QStringLiteral("known"),
                                     QStringLiteral("Cue"), 0};
        };
        s.model.updateKnowledge([&](PrivateKnowledge &knowledge) {
            knowledge.preferences = {preference(QStringLiteral("P1"), s.model.domain(), QStringLiteral("Calibration")),
                                     preference(QStringLiteral("P2"), QStringLiteral("Another domain altogether"),
                                                QStringLiteral("Drift")),
                                     preference(QStringLiteral("P3"), s.model.domain(), QStringLiteral("Model drift"))};
        });
        RowListModel &rows = *s.knowledge.preferenceRows();
        QCOMPARE(rows.count(), 2);
        s.knowledge.savePreference(QStringLiteral("P1"), QStringLiteral("  Calibration error \n"), QStringLiteral("quiet"),
                              QStringLiteral("ELI5"));
        QCOMPARE((QVariantList{rows.value(0, "topic"), rows.value(0, "prominence"), rows.value(0, "style")}),
                 (QVariantList{"Calibration error", "quiet", "ELI5"}));
        s.knowledge.forgetDomainPreferences();
        QCOMPARE(rows.count(), 0);
        // Other domains keep theirs.
        QCOMPARE(s.model.privateKnowledge().preferences.size(), 1);
        QCOMPARE(s.model.privateKnowledge().preferences.first().id, QStringLiteral("P2"));
    }

    void citationLines_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("citations");
        QTest::addColumn<std::optional<RetrievalInfo>>("retrieval");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("line");

        const QString otherNote =
            QStringLiteral("Exact quotes from your imported text. The explanation may also include model knowledge.");
        const auto search = [](bool searched, qint64 matched) {
            return std::optional<RetrievalInfo>(RetrievalInfo{searched, matched, 2.0});
        };
        QTest::newRow("search not run") << "service" << 0 << search(false, 4) << "" << "" << "";
        QTest::newRow("search without a match") << "service" << 0 << search(true, 0) << "" << ""
                                                << "No matching document passage · model knowledge";
        QTest::newRow("matches but nothing cited") << "service" << 0 << search(true, 3) << "" << ""
                                                   << "No supporting document citation · model knowledge";
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
        Screens s;
        SessionPresentation main(s.model);
        s.model.setAnswers({answer});
        QCOMPARE((QStringList{main.sourcesTitle(), main.sourcesNote(), main.retrievalNote()}), (QStringList{title, note, line}));
    }

    void removingACitedDocument()
    {
        Screens s({}, true);
        SessionPresentation main(s.model);
        s.model.updateKnowledge([&](PrivateKnowledge &knowledge) {
            knowledge.documents = {documentOf(QStringLiteral("d1"), s.model.domain()),
                                   documentOf(QStringLiteral("d2"), s.model.domain())};
        });
        PreparedAnswer answer = answerFixture(QStringLiteral("a1"));
        answer.citations = QList<DocumentCitation>{citationOf(QStringLiteral("d1"), QStringLiteral("d1-p1")),
                                                   citationOf(QStringLiteral("d2"), QStringLiteral("d2-p1")),
                                                   // A passage the document never had.
                                                   citationOf(QStringLiteral("d2"), QStringLiteral("d2-p9"))};
        s.model.setAnswers({answer});

        RowListModel &citations = *main.citationRows();
        const auto notes = [&] {
            QStringList lines;
            for (int row = 0; row < citations.count(); ++row)
                lines.append(s.knowledge.passageNote(citations.value(row, QStringLiteral("removed")).toBool()));
            return lines;
        };
        QCOMPARE(notes(), (QStringList{QString(), QString(), removedLine}));

        // The quotes stay with the answer.
        s.knowledge.removeDocument(QStringLiteral("d1"));
        QCOMPARE(notes(), (QStringList{removedLine, QString(), removedLine}));
        QCOMPARE(AnswerSources::citedPassage(s.model.privateKnowledge(), answer.citations->at(0)), std::nullopt);
        QCOMPARE(citations.value(0, QStringLiteral("quote")).toString(), QStringLiteral("a quoted sentence"));
    }
};

QTEST_MAIN(SetupPresentationTest)
#include "tst_SetupPresentation.moc"
