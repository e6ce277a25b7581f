#include "model/SessionModel.h"

#include "FakePlatform.h"
#include "protocol/TessaroError.h"

#include <QCoro/QCoroTask>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString defaultDomain = QStringLiteral(
    "Machine learning and artificial intelligence. Support accurate discussion of model evaluation, "
    "uncertainty, deployment, and retrieval systems.");

// Records what start-up asked of the seams, in order.
struct SeamLog {
    QStringList calls;
    QList<std::pair<Connection, bool>> connections;
    std::optional<QString> knowledgeDirectory;
    std::optional<Account> accountOnConnect;
    std::optional<QString> connectFailure;
    std::optional<QString> knowledgeFailure;
    std::optional<Connection> storedCredential;
    std::optional<QString> credentialFailure;
};

SessionModelSeams seamsLogging(std::shared_ptr<SeamLog> log)
{
    SessionModelSeams seams;
    seams.captureCheck = [log](SessionModel &, QString argument) -> QCoro::Task<void> {
        log->calls.append(QStringLiteral("captureCheck:") + argument);
        co_return;
    };
    seams.liveEvaluation = [log](SessionModel &, QString argument) -> QCoro::Task<void> {
        log->calls.append(QStringLiteral("liveEvaluation:") + argument);
        co_return;
    };
    seams.openKnowledge = [log](const std::optional<QString> &directory) {
        log->calls.append(QStringLiteral("openKnowledge"));
        log->knowledgeDirectory = directory;
        if (log->knowledgeFailure)
            throw TessaroError::message(*log->knowledgeFailure);
        PrivateKnowledge knowledge;
        knowledge.learningEnabled = true;
        return knowledge;
    };
    seams.refreshAudioSources = [log](SessionModel &model) {
        log->calls.append(QStringLiteral("refreshAudioSources"));
        model.setAudioSources({AudioSource{QStringLiteral("org.example.Meet"), QStringLiteral("org.example.Meet"), {7}}});
    };
    seams.loadCredential = [log]() -> std::optional<Connection> {
        log->calls.append(QStringLiteral("loadCredential"));
        if (log->credentialFailure)
            throw TessaroError::message(*log->credentialFailure);
        return log->storedCredential;
    };
    seams.connect = [log](SessionModel &model, Connection connection, bool persist) -> QCoro::Task<void> {
        log->calls.append(QStringLiteral("connect"));
        log->connections.append({connection, persist});
        if (log->connectFailure)
            throw TessaroError::service(503, *log->connectFailure);
        model.setAccount(log->accountOnConnect);
        co_return;
    };
    return seams;
}

Connection localConnection(const QString &url = QStringLiteral("http://127.0.0.1:4318"))
{
    return Connection(url, QStringLiteral("dev-token-0123456789abcdefghij"));
}

Account signedInAccount()
{
    Account account;
    account.health.mode = QStringLiteral("live");
    account.profile = AccountProfile{QStringLiteral("ada@example.com"), QStringLiteral("d1"), 0};
    return account;
}

} // namespace

class SessionModelTest : public QObject {
    Q_OBJECT
private slots:
    void initialValues();
    void assignmentsNotifyOnlyChanges();
    void storedDuration_data();
    void storedDuration();
    void storedValuesOfTheWrongKind();
    void sessionLimitOverride_data();
    void sessionLimitOverride();
    void startupOrder();
    void captureCheckLoadsNothing();
    void liveEvaluationSkipsLibraryAndPreferences();
    void knowledgeOpenFailure();
    void connectionAcceptance_data();
    void connectionAcceptance();
    void bootstrapFile_data();
    void bootstrapFile();
    void startupFailure_data();
    void startupFailure();
    void unfinishedOnboardingAfterConnect_data();
    void unfinishedOnboardingAfterConnect();
    void loadTwiceRegistersOneObserver();
    void elapsedOrigin();
};

void SessionModelTest::initialValues()
{
    FakePlatform platform;
    SessionModel model(platform.bundle());
    QCOMPARE(model.status(), QStringLiteral("Connect to your Corvana service"));
    QCOMPARE(model.detail(), QStringLiteral("Cue"));
    QCOMPARE(model.serviceURL(), QStringLiteral("http://127.0.0.1:4318"));
    QCOMPARE(model.domainName(), QStringLiteral("ML & AI"));
    QCOMPARE(model.domain(), defaultDomain);
    QCOMPARE(model.budget(), QStringLiteral("1.00"));
    QCOMPARE(model.durationMinutes(), 60);
    QCOMPARE(model.source(), QStringLiteral("system"));
    QCOMPARE(model.sourceApp(), QStringLiteral("all"));
    QCOMPARE(model.windowMode(), QStringLiteral("continue"));
    QCOMPARE(model.category(), QStringLiteral("all"));
    QCOMPARE(model.lookback(), 60.0);
    QCOMPARE(model.clock(), *platform.now);
    QCOMPARE(model.memory().limitMicros(), 0);
    QVERIFY(!model.error());
    QVERIFY(!model.onboarding());
    QVERIFY(!model.simulated());
    QCOMPARE(model.maximumMinutes(), 60);
    QCOMPARE(model.elapsed(), 0.0);
    // Construction reads nothing and registers nothing.
    QVERIFY(platform.preferences->reads.isEmpty());
    QCOMPARE(platform.workspace->observerCount(), 0);
    // What the screens read goes through the meta-object as well.
    QCOMPARE(model.property("status").toString(), model.status());
    QVERIFY(!model.property("error").isValid());
}

void SessionModelTest::assignmentsNotifyOnlyChanges()
{
    FakePlatform platform;
    SessionModel model(platform.bundle());
    const QMetaObject *meta = model.metaObject();
    int checked = 0;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        QVERIFY2(property.hasNotifySignal(), property.name());
        if (!property.isWritable())
            continue;
        QSignalSpy spy(&model, property.notifySignal());
        // The same value again notifies nothing.
        QVERIFY(property.write(&model, property.read(&model)));
        QVERIFY2(spy.count() == 0, property.name());
        ++checked;
    }
    QVERIFY(checked >= 15);

    QSignalSpy errorSpy(&model, &SessionModel::errorChanged);
    model.setError(std::nullopt);
    model.setError(QStringLiteral("Failed."));
    model.setError(QStringLiteral("Failed."));
    QCOMPARE(errorSpy.count(), 1);
    QSignalSpy elapsedSpy(&model, &SessionModel::elapsedChanged);
    model.setClock(model.clock());
    QCOMPARE(elapsedSpy.count(), 0);
    model.setClock(model.clock() + 1'000);
    QCOMPARE(elapsedSpy.count(), 1);
}

void SessionModelTest::storedDuration_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("minutes");
    QTest::newRow("missing") << QVariant() << 60;
    QTest::newRow("zero") << QVariant(qint64(0)) << 60;
    QTest::newRow("121") << QVariant(qint64(121)) << 60;
    QTest::newRow("one") << QVariant(qint64(1)) << 1;
    QTest::newRow("120") << QVariant(qint64(120)) << 120;
    QTest::newRow("far beyond 32 bits") << QVariant(qint64(4'294'967'341)) << 60;
    QTest::newRow("as text") << QVariant(QStringLiteral("45")) << 60;
}

void SessionModelTest::storedDuration()
{
    QFETCH(QVariant, stored);
    QFETCH(int, minutes);
    FakePlatform platform;
    if (stored.isValid())
        platform.preferences->values.insert(QStringLiteral("durationMinutes"), stored);
    SessionModel model(platform.bundle());
    QCoro::waitFor(model.load());
    QCOMPARE(model.durationMinutes(), minutes);
}

void SessionModelTest::storedValuesOfTheWrongKind()
{
    FakePlatform platform;
    platform.preferences->values = {{QStringLiteral("domainName"), qint64(7)},
                                    {QStringLiteral("domain"), QStringLiteral("Cardiology and imaging")},
                                    {QStringLiteral("familiarity"), true},
                                    {QStringLiteral("budget"), QStringLiteral("2.5")}};
    SessionModel model(platform.bundle());
    QCoro::waitFor(model.load());
    QCOMPARE(model.domainName(), QStringLiteral("ML & AI"));
    QCOMPARE(model.domain(), QStringLiteral("Cardiology and imaging"));
    QCOMPARE(model.familiarity(), QString());
    QCOMPARE(model.budget(), QStringLiteral("2.5"));
}

void SessionModelTest::sessionLimitOverride_data()
{
    QTest::addColumn<QString>("limit");
    QTest::addColumn<QString>("budget");
    QTest::newRow("lowest") << "10000" << "0.01";
    QTest::newRow("below leaves the stored budget") << "9999" << "3";
    QTest::newRow("not a number") << "many" << "3";
}

void SessionModelTest::sessionLimitOverride()
{
    QFETCH(QString, limit);
    QFETCH(QString, budget);
    FakePlatform platform;
    platform.preferences->values.insert(QStringLiteral("budget"), QStringLiteral("3"));
    platform.environment->insert(QStringLiteral("TESSARO_NATIVE_SESSION_LIMIT_MICROS"), limit);
    SessionModel model(platform.bundle());
    QCoro::waitFor(model.load());
    QCOMPARE(model.budget(), budget);
    // The override is for this run only.
    QCOMPARE(platform.preferences->writes, 0);
}

void SessionModelTest::startupOrder()
{
    FakePlatform platform;
    platform.informationDictionary = {{QStringLiteral("CVNServiceURL"), QStringLiteral("https://api.corvana.example")}};
    platform.environment->insert(QStringLiteral("TESSARO_KNOWLEDGE_DIRECTORY"), QStringLiteral("/tmp/library"));
    auto log = std::make_shared<SeamLog>();
    log->storedCredential = localConnection();
    SessionModel model(platform.bundle(), seamsLogging(log));
    QCoro::waitFor(model.load());
    QCOMPARE(log->calls, (QStringList{"openKnowledge", "refreshAudioSources", "loadCredential", "connect"}));
    QCOMPARE(log->knowledgeDirectory, std::optional<QString>(QStringLiteral("/tmp/library")));
    QVERIFY(model.knowledgeOpen());
    QVERIFY(model.privateKnowledge().learningEnabled);
    QCOMPARE(model.audioSources().size(), 1);
    QCOMPARE(model.signInURL(), std::optional<QString>(QStringLiteral("https://api.corvana.example")));
    QCOMPARE(log->connections.size(), 1);
    QCOMPARE(log->connections.first().second, false);
    QVERIFY(!model.onboarding());
    QCOMPARE(platform.workspace->observerCount(), 1);
}

void SessionModelTest::captureCheckLoadsNothing()
{
    FakePlatform platform;
    platform.preferences->values.insert(QStringLiteral("domainName"), QStringLiteral("Law"));
    platform.environment->insert(QStringLiteral("TESSARO_CAPTURE_CHECK"), QStringLiteral("/tmp/check.json"));
    auto log = std::make_shared<SeamLog>();
    log->storedCredential = localConnection();
    SessionModel model(platform.bundle(), seamsLogging(log));
    QCoro::waitFor(model.load());
    QCOMPARE(model.status(), QStringLiteral("Local capture check · no provider calls"));
    QCOMPARE(log->calls, QStringList{"captureCheck:/tmp/check.json"});
    QVERIFY(platform.preferences->reads.isEmpty());
    QCOMPARE(model.domainName(), QStringLiteral("ML & AI"));
    QVERIFY(!model.onboarding());
    // The sleep notice is still observed.
    QCOMPARE(platform.workspace->observerCount(), 1);
}

void SessionModelTest::liveEvaluationSkipsLibraryAndPreferences()
{
    FakePlatform platform;
    platform.environment->insert(QStringLiteral("TESSARO_LIVE_EVALUATION"), QStringLiteral("/tmp/eval"));
    auto log = std::make_shared<SeamLog>();
    log->storedCredential = localConnection();
    SessionModel model(platform.bundle(), seamsLogging(log));
    QCoro::waitFor(model.load());
    QCOMPARE(log->calls, (QStringList{"refreshAudioSources", "loadCredential", "connect", "liveEvaluation:/tmp/eval"}));
    QVERIFY(!model.knowledgeOpen());
    QCOMPARE(model.privateKnowledge(), PrivateKnowledge());
    model.setDomain(QStringLiteral("Evaluation domain"));
    model.savePreferences();
    QCOMPARE(platform.preferences->writes, 0);
    QVERIFY(!model.saveSetup("Eval", "Evaluation domain", "", "1").failed);
    QCOMPARE(platform.preferences->writes, 0);
}

void SessionModelTest::knowledgeOpenFailure()
{
    FakePlatform platform;
    auto log = std::make_shared<SeamLog>();
    log->knowledgeFailure = QStringLiteral("The folder is not writable.");
    SessionModel model(platform.bundle(), seamsLogging(log));
    QCoro::waitFor(model.load());
    QCOMPARE(model.knowledgeMessage(),
             std::optional<QString>(QStringLiteral("Local knowledge could not be opened: The folder is not writable.")));
    QVERIFY(!model.knowledgeOpen());
    QCOMPARE(model.privateKnowledge(), PrivateKnowledge());
    // Start-up goes on.
    QVERIFY(log->calls.contains(QStringLiteral("loadCredential")));
    QVERIFY(model.onboarding());
}

void SessionModelTest::connectionAcceptance_data()
{
    QTest::addColumn<bool>("release");
    QTest::addColumn<QString>("configured");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("connects");
    const QString service = QStringLiteral("https://api.corvana.example");
    QTest::newRow("development build, any address") << false << service << "http://127.0.0.1:4318" << true;
    QTest::newRow("development build without address") << false << QString() << "http://localhost:9000" << true;
    QTest::newRow("release build, its own service") << true << service << service << true;
    QTest::newRow("release build, another service") << true << service << "https://other.example" << false;
    QTest::newRow("release build, case differs") << true << service << "https://API.corvana.example" << false;
    QTest::newRow("release build without address") << true << QString() << service << false;
}

void SessionModelTest::connectionAcceptance()
{
    QFETCH(bool, release);
    QFETCH(QString, configured);
    QFETCH(QString, stored);
    QFETCH(bool, connects);
    FakePlatform platform;
    platform.informationDictionary.insert(QStringLiteral("CVNReleaseBuild"), release);
    if (!configured.isEmpty())
        platform.informationDictionary.insert(QStringLiteral("CVNServiceURL"), configured);
    auto log = std::make_shared<SeamLog>();
    log->storedCredential = localConnection(stored);
    SessionModel model(platform.bundle(), seamsLogging(log));
    QCoro::waitFor(model.load());
    QCOMPARE(log->connections.size(), connects ? 1 : 0);
    QCOMPARE(model.onboarding(), !connects);
    QVERIFY(!model.error());
}

void SessionModelTest::bootstrapFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("connects");
    QTest::addColumn<QString>("message");
    QTest::newRow("connection")
        << QByteArray(R"({"serviceUrl":"http://127.0.0.1:4318/","token":"dev-token-0123456789abcdefghij"})") << true
        << QString();
    QTest::newRow("not json") << QByteArray("serviceUrl=http://x") << false << QString();
    QTest::newRow("missing token") << QByteArray(R"({"serviceUrl":"http://127.0.0.1:4318"})") << false << QString();
    QTest::newRow("invalid token")
        << QByteArray(R"({"serviceUrl":"http://127.0.0.1:4318","token":"short"})") << false << Connection::invalidMessage;
    QTest::newRow("oversize") << QByteArray(200 * 1024, ' ') << false << QString();
}

void SessionModelTest::bootstrapFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, connects);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("connection.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();

    FakePlatform platform;
    platform.environment->insert(QStringLiteral("TESSARO_NATIVE_BOOTSTRAP"), path);
    auto log = std::make_shared<SeamLog>();
    SessionModel model(platform.bundle(), seamsLogging(log));
    QCoro::waitFor(model.load());
    // The bootstrap file replaces the stored credential.
    QVERIFY(!log->calls.contains(QStringLiteral("loadCredential")));
    if (connects) {
        QCOMPARE(log->connections.size(), 1);
        QCOMPARE(log->connections.first().first.serviceUrl(), QStringLiteral("http://127.0.0.1:4318"));
        QVERIFY(!model.error());
        return;
    }
    QVERIFY(log->connections.isEmpty());
    QVERIFY(model.onboarding());
    QVERIFY(model.error());
    QVERIFY(!model.error()->isEmpty());
    QCOMPARE(model.signInMessage(), model.error());
    if (!message.isEmpty())
        QCOMPARE(*model.error(), message);
}

void SessionModelTest::startupFailure_data()
{
    QTest::addColumn<bool>("credential");
    QTest::newRow("credential unreadable") << true;
    QTest::newRow("connect refused") << false;
}

void SessionModelTest::startupFailure()
{
    QFETCH(bool, credential);
    FakePlatform platform;
    platform.environment->insert(QStringLiteral("TESSARO_LIVE_EVALUATION"), QStringLiteral("run"));
    auto log = std::make_shared<SeamLog>();
    log->storedCredential = localConnection();
    if (credential)
        log->credentialFailure = QStringLiteral("The secret service is locked.");
    else
        log->connectFailure = QStringLiteral("The service is unavailable.");
    SessionModel model(platform.bundle(), seamsLogging(log));
    QCoro::waitFor(model.load());
    const std::optional<QString> failure = credential ? log->credentialFailure : log->connectFailure;
    QCOMPARE(model.error(), failure);
    QCOMPARE(model.signInMessage(), failure);
    QVERIFY(model.onboarding());
    // Start-up ended before the evaluation.
    QVERIFY(!log->calls.contains(QStringLiteral("liveEvaluation:run")));
}

void SessionModelTest::unfinishedOnboardingAfterConnect_data()
{
    QTest::addColumn<bool>("profile");
    QTest::addColumn<QVariant>("complete");
    QTest::addColumn<bool>("onboarding");
    QTest::newRow("signed in, never finished") << true << QVariant() << true;
    QTest::newRow("signed in, stored false") << true << QVariant(false) << true;
    QTest::newRow("signed in, stored as text") << true << QVariant(QStringLiteral("true")) << true;
    QTest::newRow("signed in, finished") << true << QVariant(true) << false;
    QTest::newRow("development token, no profile") << false << QVariant() << false;
}

void SessionModelTest::unfinishedOnboardingAfterConnect()
{
    QFETCH(bool, profile);
    QFETCH(QVariant, complete);
    QFETCH(bool, onboarding);
    FakePlatform platform;
    if (complete.isValid())
        platform.preferences->values.insert(QStringLiteral("onboardingComplete"), complete);
    auto log = std::make_shared<SeamLog>();
    log->storedCredential = localConnection();
    Account account = signedInAccount();
    if (!profile)
        account.profile.reset();
    log->accountOnConnect = account;
    SessionModel model(platform.bundle(), seamsLogging(log));
    QCoro::waitFor(model.load());
    QCOMPARE(model.onboarding(), onboarding);
    QCOMPARE(model.onboardingStep(), onboarding ? 1 : 0);
}

void SessionModelTest::loadTwiceRegistersOneObserver()
{
    FakePlatform platform;
    auto log = std::make_shared<SeamLog>();
    SessionModel model(platform.bundle(), seamsLogging(log));
    QCoro::waitFor(model.load());
    QCoro::waitFor(model.load());
    QCOMPARE(platform.workspace->observerCount(), 1);
    QCOMPARE(log->calls.count(QStringLiteral("loadCredential")), 1);
    platform.workspace->sleep(); // idle: nothing happens
    QVERIFY(!model.active());
    model.terminate();
    QCOMPARE(platform.workspace->observerCount(), 0);
}

void SessionModelTest::elapsedOrigin()
{
    FakePlatform platform;
    SessionModel model(platform.bundle());
    const double now = *platform.now;
    QCOMPARE(model.elapsed(), 0.0);

    SessionSnapshot snapshot;
    snapshot.id = QStringLiteral("s");
    snapshot.state = QStringLiteral("live");
    snapshot.startedAt = (now - 90'000) / 1000.0; // seconds since 1970
    model.setSnapshot(snapshot);
    QCOMPARE(model.elapsed(), 90'000.0);

    model.setConversationStartedAt(now - 5'000);
    QCOMPARE(model.elapsed(), 5'000.0);

    model.setConversationStartedAt(now + 5'000); // a clock that went back
    QCOMPARE(model.elapsed(), 0.0);
}

QTEST_GUILESS_MAIN(SessionModelTest)
#include "tst_SessionModel.moc"
