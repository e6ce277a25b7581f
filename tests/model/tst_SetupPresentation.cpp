#include "model/SetupPresentation.h"

#include "model/AnswerSources.h"
#include "model/KnowledgePresentation.h"

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

} // namespace

class SetupPresentationTest : public QObject {
    Q_OBJECT
private slots:
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

QTEST_GUILESS_MAIN(SetupPresentationTest)
#include "tst_SetupPresentation.moc"
