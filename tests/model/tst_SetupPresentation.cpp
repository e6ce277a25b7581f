#include "model/SetupPresentation.h"

#include "model/AnswerSources.h"
#include "model/KnowledgePresentation.h"
#include "model/OnboardingPresentation.h"

#include "AnswerFixtures.h"
#include "FakePlatform.h"
#include "ModelHarness.h"
#include "RunTask.h"
#include "model/SessionPresentation.h"
#include "protocol/Connection.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const QString saved = QStringLiteral("Preferences saved.");
const QString removedLine = QStringLiteral("Imported copy removed; this quote remains only in the current session.");

// A family of four as one user-perceived character: seven code points, eleven UTF-16
// units.
QString family(int count)
{
    return QString::fromUtf8("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7\xE2\x80\x8D"
                             "\xF0\x9F\x91\xA6")
        .repeated(count);
}

KnowledgePassage passageOf(const QString &documentId, const QString &id, const QString &text)
{
    return KnowledgePassage{id, documentId, QStringLiteral("Notes"), QStringLiteral("Section 1"), text};
}

KnowledgeDocument documentOf(const QString &id, const QString &domain, bool enabled = true)
{
    KnowledgeDocument document;
    document.id = id;
    document.title = QStringLiteral("Document ") + id;
    document.domainKey = PrivateKnowledge::domainKey(domain);
    document.enabled = enabled;
    document.fingerprint = id;
    document.passages = {passageOf(id, id + QStringLiteral("-p1"), QStringLiteral("Full text of ") + id)};
    return document;
}

LearnedPreference preferenceOf(const QString &id, const QString &domain, const QString &topic)
{
    return LearnedPreference{id, PrivateKnowledge::domainKey(domain), topic, QStringLiteral("known"),
                             QStringLiteral("Cue"), 0};
}

DocumentCitation citationOf(const QString &documentId, const QString &passageId)
{
    return DocumentCitation{passageId, documentId, QStringLiteral("Notes"), QStringLiteral("Section 1"),
                            QStringLiteral("a quoted sentence")};
}

// A loaded model on fake platform services, its library in a folder of its own.
struct Rig {
    Rig()
    {
        model = std::make_unique<SessionModel>(platform.bundle());
        runTask(model->load());
        screen = std::make_unique<SetupPresentation>(*model, QString());
        knowledge = std::make_unique<KnowledgePresentation>(*model);
    }

    FakePlatform platform;
    std::unique_ptr<SessionModel> model;
    std::unique_ptr<SetupPresentation> screen;
    std::unique_ptr<KnowledgePresentation> knowledge;
};

QStringList labels(const QVariantList &choices)
{
    QStringList list;
    for (const QVariant &choice : choices)
        list.append(choice.toMap().value(QStringLiteral("label")).toString());
    return list;
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

// What the setup, onboarding, knowledge and About screens show of the model.
class SetupPresentationTest : public QObject {
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
    void save_data();
    void save();
    void lockedWhileASessionRuns();
    void lengthChoices();
    void connectShowsTheOutcome_data();
    void connectShowsTheOutcome();
    void failedConnectKeepsTheService();
    void aboutLines_data();
    void aboutLines();
    void documentsCountDisabledOnes();
    void learningOffKeepsPreferencesEditable();
    void citationLines_data();
    void citationLines();
    void removingACitedDocument();
};

void SetupPresentationTest::save_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("familiarity");
    QTest::addColumn<QString>("budget");
    QTest::addColumn<QString>("message");

    const QString domain = QStringLiteral("Cardiology for clinical trial reviews");
    // One row per message; the rules themselves are SessionSetup's.
    QTest::newRow("budget of 25") << "Heart" << domain << "" << "25" << "Enter a session limit between $0.01 and $20.";
    QTest::newRow("domain of spaces around two characters") << "Heart" << "  AI \n" << "" << "1.00"
                                                            << "Describe your domain in 3–2,000 characters.";
    QTest::newRow("familiarity over 1,500 characters")
        << "Heart" << domain << QString(1501, QLatin1Char('f')) << "1.00"
        << "Keep familiarity to 1,500 characters or fewer.";
    QTest::newRow("81 emoji in the name") << family(81) << domain << "" << "1.00"
                                         << "Keep the domain name to 80 characters or fewer.";
    // Name and domain trimmed, familiarity as typed.
    QTest::newRow("accepted") << "  Cardiology \n" << "\n Heart rhythm and trial design  \n" << "  I run trials \n"
                              << "2.50" << saved;
}

void SetupPresentationTest::save()
{
    QFETCH(QString, name);
    QFETCH(QString, domain);
    QFETCH(QString, familiarity);
    QFETCH(QString, budget);
    QFETCH(QString, message);
    const bool accepted = message == saved;

    FakePlatform platform;
    SessionModel model(platform.bundle());
    SetupPresentation screen(model, QString());
    if (accepted) {
        // A refusal before leaves its message; the accepted save replaces it.
        screen.save(name, domain, familiarity, QStringLiteral("25"));
        QVERIFY(screen.failed());
    }
    QSignalSpy changed(&screen, &SetupPresentation::messageChanged);

    const QVariantMap result = screen.save(name, domain, familiarity, budget);
    QCOMPARE(result.value(QStringLiteral("message")).toString(), message);
    QCOMPARE(result.value(QStringLiteral("failed")).toBool(), !accepted);
    QCOMPARE(screen.message(), message);
    QCOMPARE(screen.failed(), !accepted);
    QVERIFY(changed.count() > 0);

    // A refused save changes nothing; an accepted one writes every setup key.
    const FakePreferences &stored = *platform.preferences;
    QCOMPARE(model.domainName(), accepted ? name.trimmed() : QStringLiteral("ML & AI"));
    QCOMPARE(model.domain().startsWith(QStringLiteral("Machine learning")), !accepted);
    QCOMPARE(model.familiarity(), accepted ? familiarity : QString());
    QCOMPARE(model.budget(), accepted ? budget : QStringLiteral("1.00"));
    QCOMPARE(stored.writes > 0, accepted);
    if (!accepted)
        return;
    QCOMPARE(model.domain(), domain.trimmed());
    QCOMPARE(stored.string(QStringLiteral("domainName")), std::optional<QString>(name.trimmed()));
    QCOMPARE(stored.string(QStringLiteral("domain")), std::optional<QString>(domain.trimmed()));
    QCOMPARE(stored.string(QStringLiteral("familiarity")), std::optional<QString>(familiarity));
    QCOMPARE(stored.string(QStringLiteral("budget")), std::optional<QString>(budget));
    QCOMPARE(stored.integer(QStringLiteral("durationMinutes")), std::optional<qint64>(60));
}

void SetupPresentationTest::lockedWhileASessionRuns()
{
    FakePlatform platform;
    SessionModel model(platform.bundle());
    SetupPresentation screen(model, QString());
    QVERIFY(!screen.locked());
    QCOMPARE(screen.lockedNote(), QString());

    QSignalSpy changed(&screen, &SetupPresentation::sessionChanged);
    model.setActive(true);
    QVERIFY(changed.count() > 0);
    QVERIFY(screen.locked());
    QCOMPARE(screen.lockedNote(), QStringLiteral("End your session to change its setup."));
    QVERIFY(!KnowledgePresentation(model).canImport());

    model.setActive(false);
    QVERIFY(!screen.locked());
    QCOMPARE(screen.lockedNote(), QString());
}

void SetupPresentationTest::lengthChoices()
{
    FakePlatform platform;
    SessionModel model(platform.bundle());
    SetupPresentation screen(model, QString());
    Account account;
    account.health.mode = QStringLiteral("live");
    account.health.maxSessionMinutes = 45;
    model.setAccount(account);
    model.setDurationMinutes(45);
    QCOMPARE(::labels(screen.durationChoices()), (QStringList{"15 minutes", "30 minutes", "45 minutes"}));
    QCOMPARE(screen.durationText(), QStringLiteral("45 minutes"));
}

void SetupPresentationTest::connectShowsTheOutcome_data()
{
    QTest::addColumn<QStringList>("serviceArguments");
    QTest::addColumn<bool>("release");
    QTest::addColumn<QString>("tokenOverride");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("status");

    const QString connected = QStringLiteral("Service connected. Save your domain preferences when ready.");
    const QString invalid = QStringLiteral("Use an HTTPS service (or localhost) and a valid Tessaro device token.");
    QTest::newRow("simulated service") << QStringList{"--simulated"} << false << "" << connected << "Simulated service";
    QTest::newRow("live service") << QStringList{} << false << "" << connected << "Connected";
    QTest::newRow("short token") << QStringList{"--simulated"} << false << "too-short" << invalid << "Not connected";
    QTest::newRow("release build") << QStringList{"--simulated"} << true << ""
                                   << "This release only connects to the Corvana service." << "Not connected";
}

void SetupPresentationTest::connectShowsTheOutcome()
{
    QFETCH(QStringList, serviceArguments);
    QFETCH(bool, release);
    QFETCH(QString, tokenOverride);
    QFETCH(QString, message);
    QFETCH(QString, status);

    DevServiceProcess service(serviceArguments);
    QVERIFY2(service.started(), qPrintable(service.errorText()));
    FakePlatform platform;
    if (release) {
        platform.informationDictionary.insert(QStringLiteral("CVNReleaseBuild"), true);
        platform.informationDictionary.insert(QStringLiteral("CVNServiceURL"), QStringLiteral("https://corvana.example"));
    }
    SessionModel model(platform.bundle());
    SetupPresentation screen(model, QString());
    QCOMPARE(screen.offersServiceConnection(), !release);
    QCOMPARE(screen.connectionStatus(), QStringLiteral("Not connected"));

    const QString token = tokenOverride.isEmpty() ? service.token() : tokenOverride;
    QList<bool> connecting;
    QObject::connect(&screen, &SetupPresentation::messageChanged, &screen,
                     [&] { connecting.append(screen.connecting()); });
    runTask(screen.connectTo(service.baseUrl(), token));

    QVERIFY(connecting.contains(true));
    QVERIFY(!screen.connecting());
    QCOMPARE(screen.message(), message);
    const bool succeeded = status != QLatin1String("Not connected");
    QCOMPARE(screen.failed(), !succeeded);
    QCOMPARE(screen.connectionStatus(), status);
    QCOMPARE(screen.connectionTone(), !succeeded ? "neutral" : status == "Simulated service" ? "caution" : "ready");
    // Persisted only on success: the device token goes to the secret store.
    QCOMPARE(platform.secrets->items.isEmpty(), !succeeded);
    if (succeeded)
        QCOMPARE(model.serviceURL(), service.baseUrl());
}

void SetupPresentationTest::failedConnectKeepsTheService()
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

void SetupPresentationTest::aboutLines_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("release");
    QTest::addColumn<QString>("versionLine");
    QTest::addColumn<QString>("buildLine");

    QTest::newRow("development build without a version") << "" << false << "Version 0.4.0" << "Development build";
    QTest::newRow("release build") << "1.2.0" << true << "Version 1.2.0" << "Private beta";
    QTest::newRow("blank version") << "  " << true << "Version 0.4.0" << "Private beta";
}

void SetupPresentationTest::aboutLines()
{
    QFETCH(QString, version);
    QFETCH(bool, release);
    QFETCH(QString, versionLine);
    QFETCH(QString, buildLine);

    FakePlatform platform;
    if (release)
        platform.informationDictionary.insert(QStringLiteral("CVNReleaseBuild"), true);
    SessionModel model(platform.bundle());
    SetupPresentation screen(model, version);
    QCOMPARE(screen.versionLine(), versionLine);
    QCOMPARE(screen.buildLine(), buildLine);
    // The publisher's logo is not bundled, so the credits are left out.
    QVERIFY(!screen.showsPublisherLogo());
    QVERIFY(!screen.showsCredits());
}

void SetupPresentationTest::documentsCountDisabledOnes()
{
    Rig rig;
    SessionModel &model = *rig.model;
    KnowledgePresentation &screen = *rig.knowledge;
    model.setDomainName(QStringLiteral("Trials"));
    QCOMPARE(screen.documentsTitle(), QStringLiteral("Reference documents · 0"));
    QCOMPARE(screen.documentsEmptyLine(), QStringLiteral("No reference documents yet."));
    QCOMPARE(screen.documentsDomainLine(), QStringLiteral("Reference files for your saved domain: Trials"));

    const QString other = QStringLiteral("Another domain altogether");
    model.updateKnowledge([&](PrivateKnowledge &knowledge) {
        knowledge.documents = {documentOf(QStringLiteral("a"), model.domain()),
                               documentOf(QStringLiteral("b"), other),
                               documentOf(QStringLiteral("c"), model.domain(), false)};
    });
    QCOMPARE(screen.documentsTitle(), QStringLiteral("Reference documents · 2"));
    QCOMPARE(screen.documentsEmptyLine(), QString());
    RowListModel &rows = *screen.documentRows();
    QCOMPARE(rows.count(), 2);
    QCOMPARE(rows.value(0, QStringLiteral("key")).toString(), QStringLiteral("a"));
    QCOMPARE(rows.value(1, QStringLiteral("title")).toString(), QStringLiteral("Document c"));
    QCOMPARE(rows.value(1, QStringLiteral("enabled")).toBool(), false);

    // Turning a document off keeps it counted; only removing it lowers the count.
    screen.setDocumentEnabled(QStringLiteral("a"), false);
    QCOMPARE(rows.value(0, QStringLiteral("enabled")).toBool(), false);
    QCOMPARE(screen.documentsTitle(), QStringLiteral("Reference documents · 2"));
    QVERIFY(model.privateKnowledge().passages(model.domain()).isEmpty());
    screen.setDocumentEnabled(QStringLiteral("c"), true);
    QCOMPARE(model.privateKnowledge().passages(model.domain()).size(), 1);

    screen.removeDocument(QStringLiteral("c"));
    QCOMPARE(screen.documentsTitle(), QStringLiteral("Reference documents · 1"));
    QCOMPARE(model.privateKnowledge().documents.size(), 2);
    // The reader finds documents by id, and nothing for a removed one.
    const QVariantMap content = screen.documentContent(QStringLiteral("a"));
    QVERIFY(content.value(QStringLiteral("found")).toBool());
    QCOMPARE(content.value(QStringLiteral("passages")).toList().first().toMap().value(QStringLiteral("text")).toString(),
             QStringLiteral("Full text of a"));
    QVERIFY(!screen.documentContent(QStringLiteral("c")).value(QStringLiteral("found")).toBool());

    // Another domain text shows another library.
    model.setDomain(other);
    QCOMPARE(screen.documentsTitle(), QStringLiteral("Reference documents · 1"));
    QCOMPARE(rows.value(0, QStringLiteral("key")).toString(), QStringLiteral("b"));
}

void SetupPresentationTest::learningOffKeepsPreferencesEditable()
{
    Rig rig;
    SessionModel &model = *rig.model;
    KnowledgePresentation &screen = *rig.knowledge;
    QCOMPARE(screen.learningTitle(), QStringLiteral("Private learning · off"));
    QCOMPARE(screen.preferencesEmptyLine(), QStringLiteral("No learned preferences for this domain."));

    const QString other = QStringLiteral("Another domain altogether");
    model.updateKnowledge([&](PrivateKnowledge &knowledge) {
        knowledge.preferences = {preferenceOf(QStringLiteral("P1"), model.domain(), QStringLiteral("Calibration")),
                                 preferenceOf(QStringLiteral("P2"), other, QStringLiteral("Drift")),
                                 preferenceOf(QStringLiteral("P3"), model.domain(), QStringLiteral("Model drift"))};
    });
    screen.setLearningEnabled(true);
    QCOMPARE(screen.learningTitle(), QStringLiteral("Private learning · on"));
    screen.setLearningEnabled(false);
    QCOMPARE(screen.learningTitle(), QStringLiteral("Private learning · off"));
    QVERIFY(!model.privateKnowledge().learningEnabled);

    // With learning off, the rows stay and take edits.
    RowListModel &rows = *screen.preferenceRows();
    QCOMPARE(rows.count(), 2);
    QCOMPARE(screen.preferencesEmptyLine(), QString());
    screen.savePreference(QStringLiteral("P1"), QStringLiteral("  Calibration error \n"), QStringLiteral("quiet"),
                          QStringLiteral("ELI5"));
    QCOMPARE(rows.value(0, QStringLiteral("topic")).toString(), QStringLiteral("Calibration error"));
    QCOMPARE(rows.value(0, QStringLiteral("prominence")).toString(), QStringLiteral("quiet"));
    QCOMPARE(rows.value(0, QStringLiteral("style")).toString(), QStringLiteral("ELI5"));

    screen.forgetPreference(QStringLiteral("P3"));
    QCOMPARE(rows.count(), 1);
    screen.forgetDomainPreferences();
    QCOMPARE(rows.count(), 0);
    QCOMPARE(screen.preferencesEmptyLine(), QStringLiteral("No learned preferences for this domain."));
    // Other domains keep theirs.
    QCOMPARE(model.privateKnowledge().preferences.size(), 1);
    QCOMPARE(model.privateKnowledge().preferences.first().id, QStringLiteral("P2"));

    // The edits are saved to the library file.
    model.waitForKnowledgeWrites();
    QCOMPARE(PrivateKnowledgeStore(rig.platform.knowledgeDirectory->filePath(QStringLiteral("knowledge"))).load(), model.privateKnowledge());
}

void SetupPresentationTest::citationLines_data()
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

void SetupPresentationTest::citationLines()
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
    QCOMPARE(AnswerSources::sourcesTitle(answer), title);
    QCOMPARE(AnswerSources::sourcesNote(answer), note);
    QCOMPARE(AnswerSources::sourcesLine(answer), line);

    // The same lines for the answer in front of the main window.
    FakePlatform platform;
    SessionModel model(platform.bundle());
    SessionPresentation main(model);
    QCOMPARE(main.sourcesTitle(), QString());
    model.setAnswers({answer});
    QCOMPARE(main.sourcesTitle(), title);
    QCOMPARE(main.sourcesNote(), note);
    QCOMPARE(main.retrievalNote(), line);
}

void SetupPresentationTest::removingACitedDocument()
{
    Rig rig;
    SessionModel &model = *rig.model;
    KnowledgePresentation &screen = *rig.knowledge;
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
    QCOMPARE(main.sourcesTitle(), QStringLiteral("Sources · 3"));
    QCOMPARE(screen.quotation(QStringLiteral("a quoted sentence")), QStringLiteral("“a quoted sentence”"));

    RowListModel &citations = *main.citationRows();
    const auto noteOf = [&](int row) {
        return screen.passageNote(citations.value(row, QStringLiteral("removed")).toBool());
    };
    QCOMPARE(citations.count(), 3);
    QCOMPARE(noteOf(0), QString());
    QCOMPARE(citations.value(0, QStringLiteral("passage")).toString(), QStringLiteral("Full text of d1"));
    QCOMPARE(noteOf(1), QString());
    QCOMPARE(noteOf(2), removedLine);
    QCOMPARE(AnswerSources::citedPassage(model.privateKnowledge(), answer.citations->at(0)),
             std::optional<QString>(QStringLiteral("Full text of d1")));

    screen.removeDocument(QStringLiteral("d1"));
    QCOMPARE(noteOf(0), removedLine);
    QCOMPARE(noteOf(1), QString());
    QCOMPARE(AnswerSources::citedPassage(model.privateKnowledge(), answer.citations->at(0)), std::nullopt);
    // The quotes stay with the answer.
    QCOMPARE(main.sourcesTitle(), QStringLiteral("Sources · 3"));
    QCOMPARE(citations.value(0, QStringLiteral("quote")).toString(), QStringLiteral("a quoted sentence"));
}

void SetupPresentationTest::sendCode_data()
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

void SetupPresentationTest::sendCode()
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

void SetupPresentationTest::codeStep()
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

void SetupPresentationTest::allowance_data()
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

void SetupPresentationTest::allowance()
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

void SetupPresentationTest::pageMarks_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QList<bool>>("passed");
    QTest::addColumn<int>("current");
    QTest::addColumn<bool>("back");
    QTest::newRow("sign-in") << 0 << QList<bool>{false, false, false} << 0 << false;
    QTest::newRow("domain") << 1 << QList<bool>{true, false, false} << 1 << true;
    QTest::newRow("audio") << 2 << QList<bool>{true, true, false} << 2 << true;
}

void SetupPresentationTest::pageMarks()
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

void SetupPresentationTest::domainPage_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<bool>("continues");
    QTest::newRow("two characters") << "ab" << false;
    QTest::newRow("two characters in white space") << "  ab \n" << false;
    QTest::newRow("three characters") << "abc" << true;
    // Four code points, two letters as a person counts them.
    QTest::newRow("two combined letters") << QString::fromUtf8("e\u0301e\u0301") << false;
}

void SetupPresentationTest::domainPage()
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

void SetupPresentationTest::footerLinks_data()
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

void SetupPresentationTest::footerLinks()
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

void SetupPresentationTest::accountPanel()
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

QTEST_MAIN(SetupPresentationTest)
#include "tst_SetupPresentation.moc"
