#include "model/SessionModel.h"

#include "FakePlatform.h"
#include "TestFiles.h"
#include "protocol/TessaroError.h"

#include <QCoro/QCoroTask>
#include <QFile>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using Text = std::optional<QString>;

// Designated initializers here leave the other members at their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

// Records what start-up asked of the seams, in order, and fails the seam it is told to.
struct SeamLog {
    QStringList calls;
    QList<std::pair<Connection, bool>> connections;
    std::optional<QString> knowledgeDirectory;
    std::optional<Account> accountOnConnect;
    std::optional<Connection> storedCredential;
    QString failing;
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
        if (log->failing == "knowledge")
            throw TessaroError::message(QStringLiteral("The folder is not writable."));
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
        if (log->failing == "credential")
            throw TessaroError::message(QStringLiteral("The secret service is locked."));
        return log->storedCredential;
    };
    seams.connect = [log](SessionModel &model, Connection connection, bool persist) -> QCoro::Task<void> {
        log->calls.append(QStringLiteral("connect"));
        log->connections.append({connection, persist});
        if (log->failing == "connect")
            throw TessaroError::service(503, QStringLiteral("The service is unavailable."));
        model.setAccount(log->accountOnConnect);
        co_return;
    };
    return seams;
}

} // namespace

class SessionModelTest : public QObject {
    Q_OBJECT
private slots:
    void assignmentsNotifyOnlyChanges()
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
        // A clock tick moves the elapsed time, and says so.
        QSignalSpy elapsedSpy(&model, &SessionModel::elapsedChanged);
        model.setClock(model.clock() + 1'000);
        QCOMPARE(elapsedSpy.count(), 1);
        model.setConversationStartedAt(model.clock() + 5'000); // a clock that went back
        QCOMPARE(model.elapsed(), 0.0);
    }

    void storedPreferences_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("limit"); // the session-limit override, in micro-dollars
        QTest::addColumn<QString>("value");
        const QString duration = QStringLiteral("durationMinutes");
        QTest::newRow("duration zero") << duration << QVariant(qint64(0)) << "" << "60";
        QTest::newRow("duration 121") << duration << QVariant(qint64(121)) << "" << "60";
        QTest::newRow("duration one") << duration << QVariant(qint64(1)) << "" << "1";
        QTest::newRow("duration 120") << duration << QVariant(qint64(120)) << "" << "120";
        QTest::newRow("duration far beyond 32 bits") << duration << QVariant(qint64(4'294'967'341)) << "" << "60";
        QTest::newRow("duration as text") << duration << QVariant(QStringLiteral("45")) << "" << "60";
        QTest::newRow("name as a number") << "domainName" << QVariant(qint64(7)) << "" << "ML & AI";
        QTest::newRow("domain") << "domain" << QVariant(QStringLiteral("Cardiology and imaging")) << ""
                                << "Cardiology and imaging";
        QTest::newRow("familiarity") << "familiarity" << QVariant(QStringLiteral("I run trials")) << "" << "I run trials";
        QTest::newRow("budget") << "budget" << QVariant(QStringLiteral("2.5")) << "" << "2.5";
        // The override is for this run only: it is never stored.
        QTest::newRow("lowest override") << "budget" << QVariant(QStringLiteral("3")) << "10000" << "0.01";
    }

    void storedPreferences()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QString, limit);
        FakePlatform platform;
        platform.preferences->values.insert(key, stored);
        if (!limit.isEmpty())
            platform.environment->insert(QStringLiteral("TESSARO_NATIVE_SESSION_LIMIT_MICROS"), limit);
        SessionModel model(platform.bundle());
        QCoro::waitFor(model.load());
        QTEST(model.property(key.toLatin1()).toString(), "value");
        QCOMPARE(platform.preferences->writes, 0);
    }

    void startup_data()
    {
        // What is given: build configuration ("CVN…"), environment ("TESSARO_…"; the
        // bootstrap variable holds the file's contents here), the stored credential's
        // service ("stored", the local one unless given), the seam that throws ("failing"),
        // what connecting yields ("account": "profile" or "token"), else stored preferences.
        QTest::addColumn<QVariantMap>("given");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("onboarding");
        QTest::addColumn<QString>("error"); // "*": any message

        const QString service = QStringLiteral("https://api.corvana.example");
        const QStringList connects{"openKnowledge", "refreshAudioSources", "loadCredential", "connect"};
        const QStringList noCredential = connects.mid(0, 3);
        // A bootstrap file that connects is the screen suites' way in.
        const QStringList bootstrap = connects.mid(0, 2);
        const QVariantMap release{{"CVNReleaseBuild", true}, {"CVNServiceURL", service}};
        const auto with = [](QVariantMap map, const QVariantMap &more) {
            map.insert(more);
            return map;
        };
        const auto file = [](const QByteArray &contents) { return QVariantMap{{"TESSARO_NATIVE_BOOTSTRAP", contents}}; };
        const auto evaluation = [](const char *failing) {
            return QVariantMap{{"TESSARO_LIVE_EVALUATION", "run"}, {"failing", failing}};
        };

        QTest::newRow("stored credential")
            << QVariantMap{{"CVNServiceURL", service}, {"TESSARO_KNOWLEDGE_DIRECTORY", "/tmp/library"}, {"domainName", "Law"}}
            << connects << false << "";
        // The capture check loads nothing, but the sleep notice is still observed.
        QTest::newRow("capture check") << QVariantMap{{"TESSARO_CAPTURE_CHECK", "/tmp/check.json"}, {"domainName", "Law"}}
                                       << QStringList{"captureCheck:/tmp/check.json"} << false << "";
        QTest::newRow("live evaluation without the library")
            << QVariantMap{{"TESSARO_LIVE_EVALUATION", "/tmp/eval"}}
            << QStringList{"refreshAudioSources", "loadCredential", "connect", "liveEvaluation:/tmp/eval"} << false << "";
        QTest::newRow("library unreadable, start-up goes on") << QVariantMap{{"stored", ""}, {"failing", "knowledge"}}
                                                              << noCredential << true << "";
        // A failed start-up ends before the evaluation.
        QTest::newRow("credential unreadable") << evaluation("credential") << QStringList{"refreshAudioSources", "loadCredential"}
                                               << true << "The secret service is locked.";
        QTest::newRow("connect refused") << evaluation("connect")
                                         << QStringList{"refreshAudioSources", "loadCredential", "connect"} << true
                                         << "The service is unavailable.";

        // Which stored services a build connects to.
        QTest::newRow("release build, its own service") << with(release, {{"stored", service}}) << connects << false << "";
        QTest::newRow("release build, another service") << with(release, {{"stored", "https://other.example"}})
                                                        << noCredential << true << "";
        QTest::newRow("release build without address") << QVariantMap{{"CVNReleaseBuild", true}, {"stored", service}}
                                                       << noCredential << true << "";

        QTest::newRow("bootstrap not json") << file("serviceUrl=http://x") << bootstrap << true << "*";
        QTest::newRow("bootstrap invalid token") << file("{\"serviceUrl\":\"http://127.0.0.1:4318\",\"token\":\"short\"}")
                                                 << bootstrap << true << Connection::invalidMessage;
        QTest::newRow("bootstrap oversize") << file(QByteArray(200 * 1024, ' ')) << bootstrap << true << "*";

        // A signed-in account that never finished onboarding goes back to it.
        QTest::newRow("signed in, never finished") << QVariantMap{{"account", "profile"}} << connects << true << "";
        QTest::newRow("signed in, finished") << QVariantMap{{"account", "profile"}, {"onboardingComplete", true}}
                                             << connects << false << "";
        QTest::newRow("development token, no profile") << QVariantMap{{"account", "token"}} << connects << false << "";
    }

    void startup()
    {
        QFETCH(QVariantMap, given);
        QFETCH(QStringList, calls);
        QFETCH(bool, onboarding);
        QFETCH(QString, error);

        QTemporaryDir dir;
        FakePlatform platform;
        for (auto it = given.cbegin(); it != given.cend(); ++it) {
            const QString &key = it.key();
            if (key.startsWith(QLatin1String("CVN"))) {
                platform.informationDictionary.insert(key, it.value());
            } else if (key == QLatin1String("TESSARO_NATIVE_BOOTSTRAP")) {
                const QString file = dir.filePath(QStringLiteral("connection.json"));
                QVERIFY(writeFile(file, it.value().toByteArray()));
                platform.environment->insert(key, file);
            } else if (key.startsWith(QLatin1String("TESSARO_"))) {
                platform.environment->insert(key, it.value().toString());
            } else if (key != QLatin1String("stored") && key != QLatin1String("failing") && key != QLatin1String("account")) {
                platform.preferences->values.insert(key, it.value());
            }
        }
        const QString stored = given.value(QStringLiteral("stored"), QStringLiteral("http://127.0.0.1:4318")).toString();
        const QString failing = given.value(QStringLiteral("failing")).toString();
        const QString account = given.value(QStringLiteral("account")).toString();
        auto log = std::make_shared<SeamLog>();
        if (!stored.isEmpty())
            log->storedCredential = Connection(stored, QStringLiteral("dev-token-0123456789abcdefghij"));
        log->failing = failing;
        if (!account.isEmpty()) {
            log->accountOnConnect = Account();
            log->accountOnConnect->health.mode = QStringLiteral("live");
            if (account == "profile")
                log->accountOnConnect->profile = AccountProfile{QStringLiteral("ada@example.com"), QStringLiteral("d1"), 0};
        }
        SessionModel model(platform.bundle(), seamsLogging(log));
        QCoro::waitFor(model.load());
        QCoro::waitFor(model.load()); // a second load does nothing

        QCOMPARE(log->calls, calls);
        QCOMPARE(model.onboarding(), onboarding);
        QCOMPARE(model.onboardingStep(), onboarding && account == "profile" ? 1 : 0);
        if (error == "*")
            QVERIFY(model.error() && !model.error()->isEmpty());
        else
            QCOMPARE(model.error(), error.isEmpty() ? Text() : Text(error));
        if (!error.isEmpty())
            QCOMPARE(model.signInMessage(), model.error());
        QCOMPARE(platform.workspace->observerCount(), 1);

        // What start-up loaded, and connected to.
        const bool checking = given.contains(QStringLiteral("TESSARO_CAPTURE_CHECK"));
        QCOMPARE(platform.preferences->reads.isEmpty(), checking);
        QCOMPARE(model.domainName(), checking ? QStringLiteral("ML & AI") : given.value("domainName", "ML & AI").toString());
        if (checking)
            QCOMPARE(model.status(), QStringLiteral("Local capture check · no provider calls"));
        else
            QCOMPARE(model.signInURL(), given.contains("CVNServiceURL") ? Text(given.value("CVNServiceURL").toString()) : Text());
        const bool library = calls.contains(QStringLiteral("openKnowledge"));
        if (library)
            QCOMPARE(log->knowledgeDirectory, Text(platform.environment->value(QStringLiteral("TESSARO_KNOWLEDGE_DIRECTORY"))));
        QCOMPARE(model.knowledgeOpen(), library && failing != "knowledge");
        QCOMPARE(model.privateKnowledge().learningEnabled, model.knowledgeOpen());
        QCOMPARE(model.knowledgeMessage(), failing == "knowledge" ? Text(QStringLiteral(
                                                "Local knowledge could not be opened: The folder is not writable.")) : Text());
        for (const auto &[connection, persist] : log->connections)
            QVERIFY(connection.serviceUrl() == stored && !persist);

        // The live evaluation's setup is never stored.
        if (given.contains(QStringLiteral("TESSARO_LIVE_EVALUATION"))) {
            model.setDomain(QStringLiteral("Evaluation domain"));
            model.savePreferences();
            QVERIFY(!model.saveSetup("Eval", "Evaluation domain", "", "1").failed);
            QCOMPARE(platform.preferences->writes, 0);
        }
        model.terminate();
        QCOMPARE(platform.workspace->observerCount(), 0);
    }
};

QTEST_GUILESS_MAIN(SessionModelTest)
#include "tst_SessionModel.moc"
