#include "model/SessionModel.h"

#include "DevServiceProcess.h"
#include "FakePlatform.h"
#include "ModelHarness.h"
#include "RunTask.h"
#include "ServiceLog.h"
#include "TestFiles.h"
#include "TestWav.h"
#include "protocol/ServiceClient.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <numbers>

// Faults met by the real session model against the real development service, each with
// what it must not lose: the conversation's transcript and answers, the stored library,
// the stored sign-in, the user's setup, and a usable state with a clear message.

namespace {

using namespace std::chrono_literals;

const QString connectionLost = QStringLiteral(
    "Connection lost. Prepared answers are kept. Reconnect, then resume; speech during the gap was not captured.");
const QString startFailed = QStringLiteral("Audio is off. Resolve the issue and resume when ready.");
const QString reconnected = QStringLiteral("Connected. Resume listening when ready; audio is still off.");

bool containsAll(const QStringList &list, const QStringList &items)
{
    return std::all_of(items.cbegin(), items.cend(), [&](const QString &item) { return list.contains(item); });
}

// What a conversation has produced for the user, by id: its transcript lines, the answers
// shown, and the answers its memory holds for later sessions (those tied to speech; the
// memory lets the others go by design).
struct Conversation {
    QStringList lines;
    QStringList shown;
    QStringList remembered;

    static Conversation of(const SessionModel &model)
    {
        Conversation conversation;
        for (const Transcript &line : model.transcript())
            conversation.lines.append(line.id);
        for (const PreparedAnswer &answer : model.answers())
            conversation.shown.append(answer.id);
        for (const PreparedAnswer &answer : model.memory().answers()) {
            if (answer.occurrences && !answer.occurrences->isEmpty())
                conversation.remembered.append(answer.id);
        }
        return conversation;
    }

    // Everything `earlier` held is still here; later events may have added more. A new
    // session's bank replaces the answers shown, so `shown` is left out after one.
    bool keeps(const Conversation &earlier, bool shownToo = true) const
    {
        return !earlier.lines.isEmpty() && !earlier.shown.isEmpty() && containsAll(lines, earlier.lines)
            && containsAll(remembered, earlier.remembered) && (!shownToo || containsAll(shown, earlier.shown));
    }
};

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// A 16 kHz mono 16-bit WAV recording of spoken-like bursts: a second and a half of tone,
// then a second and a half of silence, over and over.
QByteArray burstsRecording(int seconds)
{
    constexpr int rate = 16000;
    QByteArray pcm(qsizetype(seconds) * rate * 2, '\0');
    for (qsizetype i = 0; i < pcm.size() / 2; ++i) {
        if ((i / (rate * 3 / 2)) % 2 == 0)
            qToLittleEndian(qint16(std::lround(8000 * std::sin(2 * std::numbers::pi * 220.0 * double(i) / rate))),
                            pcm.data() + 2 * i);
    }
    return wavOf(pcm, rate);
}

// Plays the simulated sample until it has said and answered something, a minute into the
// conversation, and ends the session: the conversation is then kept for a resume.
void converse(ModelHarness &harness)
{
    SessionModel &model = *harness.model;
    runTask(model.start(false, false));
    QVERIFY2(model.active(), qPrintable(model.error().value_or(model.status())));
    QTRY_VERIFY_WITH_TIMEOUT(model.transcript().size() >= 2 && !model.answers().isEmpty(), 20000);
    harness.advance(60000);
    runTask(model.stop());
    QVERIFY(!model.active());
}

// Resumes half a minute later: the conversation goes on with its history and a line for
// the gap.
void resumes(ModelHarness &harness, const Conversation &earlier)
{
    SessionModel &model = *harness.model;
    harness.advance(30000);
    runTask(model.start(true, false));
    QVERIFY2(model.active(), qPrintable(model.error().value_or(model.status())));
    QVERIFY(!model.gapSummary().isEmpty());
    QVERIFY(Conversation::of(model).keeps(earlier, false));
    runTask(model.stop());
}

// Keeps the file size limit of the process lowered while it lives, with the signal that
// comes with exceeding it ignored, so that writes past it fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        m_active = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_previousHandler)(int) = nullptr;
    bool m_active = false;
};

} // namespace

class FaultMatrixTest : public QObject {
    Q_OBJECT
private slots:
    // The session channel
    void replayLosesItsSocket()
    {
        // The live service answers the audio it is sent; the bursts are tones, so it takes its
        // words from its script.
        ModelHarness harness(QStringList{QStringLiteral("--scripted-words")});
        ServiceTiming timing = ModelHarness::quickTiming();
        timing.heartbeat = 200ms;    // the service drops the channel at a ping
        timing.replayFrame = 15ms;   // ninety seconds of recording in under fifteen
        harness.model->setServiceTiming(timing);
        QVERIFY2(harness.connect(), qPrintable(harness.service.errorText()));
        SessionModel &model = *harness.model;
        QVERIFY(harness.useRecording(burstsRecording(90)));
        runTask(model.start(false, false));
        QCOMPARE(model.status(), QStringLiteral("Replaying recording"));
        model.setManualQuestion(QStringLiteral("What did the standup decide?"));
        runTask(model.ask());
        QTRY_VERIFY_WITH_TIMEOUT(model.transcript().size() >= 2 && !model.answers().isEmpty(), 20000);
        const Conversation before = Conversation::of(model);

        QVERIFY(harness.service.setScenario(QJsonObject{{"closeAfterCommand", "ping"}}));
        QTRY_COMPARE_WITH_TIMEOUT(model.status(), QStringLiteral("Connection interrupted"), 10000);
        QVERIFY2(model.progress() < 1.0, "the channel went before the recording ended");
        QVERIFY(!model.active());
        QVERIFY(model.needsReconnect());
        QCOMPARE(model.recoveryMessage(), std::optional<QString>(connectionLost));
        QVERIFY(!model.error());
        QVERIFY(Conversation::of(model).keeps(before));
        // The replay stopped where it was; it did not claim the recording was complete.
        QVERIFY(!commandTypes(harness.service.log()).contains(QStringLiteral("audio.finish")));

        QVERIFY(harness.service.reset());
        runTask(model.reconnect());
        QCOMPARE(model.recoveryMessage(), std::optional<QString>(reconnected));
        QVERIFY(!model.needsReconnect());
        QVERIFY(Conversation::of(model).keeps(before));
    }

    void acknowledgementNeverSent()
    {
        ModelHarness harness;
        ServiceTiming timing = ModelHarness::quickTiming();
        timing.commandTimeout = 1000ms;
        harness.model->setServiceTiming(timing);
        QVERIFY2(harness.connect(), qPrintable(harness.service.errorText()));
        SessionModel &model = *harness.model;
        runTask(model.start(false, false));
        QTRY_VERIFY_WITH_TIMEOUT(model.transcript().size() >= 2 && !model.answers().isEmpty(), 20000);

        QVERIFY(harness.service.setScenario(QJsonObject{{"withholdAcks", true}}));
        const QString question = QStringLiteral("Which metric goes to the board?");
        model.setManualQuestion(question);
        const Conversation before = Conversation::of(model);
        runTask(model.ask());
        QCOMPARE(model.error(), std::optional<QString>(QStringLiteral("The session action timed out.")));
        // What the user typed stays for another try, and the session goes on.
        QCOMPARE(model.manualQuestion(), question);
        QVERIFY(model.active());
        QVERIFY(!model.needsReconnect());
        QVERIFY(Conversation::of(model).keeps(before));

        QVERIFY(harness.service.reset());
        runTask(model.ask());
        QCOMPARE(model.manualQuestion(), QString());
        QCOMPARE(commandTypes(harness.service.log()), QStringList{QStringLiteral("assist.request")});
        runTask(model.stop());
    }

    // A resume half a minute after a conversation meets a fault: a failed start leaves the
    // model ready to try again; a lost channel has to be reconnected first. Either way the
    // conversation is kept and resumes once the fault is gone.
    void resumeMeetsAFault_data()
    {
        QTest::addColumn<QJsonObject>("scenario");
        QTest::addColumn<QString>("error"); // null when the channel is lost instead

        QTest::newRow("ready arrives late") << QJsonObject{{"readyDelayMs", 2500}}
                                            << "The session connection did not become ready.";
        // The oversized event comes right after "ready", while the resume still waits or just after.
        QTest::newRow("8 MiB + 1") << QJsonObject{{"sendOversize", ServiceClient::maximumEventBytes + 1}} << QString();
    }

    void resumeMeetsAFault()
    {
        QFETCH(QJsonObject, scenario);
        QFETCH(QString, error);
        const bool lost = error.isNull();
        ModelHarness harness;
        ServiceTiming timing = ModelHarness::quickTiming();
        timing.readyWait = 1000ms;
        harness.model->setServiceTiming(timing);
        QVERIFY2(harness.connect(), qPrintable(harness.service.errorText()));
        SessionModel &model = *harness.model;
        converse(harness);
        if (QTest::currentTestFailed())
            return;
        const Conversation before = Conversation::of(model);

        QVERIFY(harness.service.setScenario(scenario));
        harness.advance(30000);
        runTask(model.start(true, false));
        QTRY_VERIFY_WITH_TIMEOUT(model.needsReconnect() == lost && !model.busy() && !model.starting(), 10000);
        QVERIFY(!model.active());
        QVERIFY(model.account());
        QVERIFY(!model.onboarding());
        QVERIFY(Conversation::of(model).keeps(before, !lost));
        if (lost) {
            QVERIFY2(model.recoveryMessage() == connectionLost || model.recoveryMessage() == startFailed,
                     qPrintable(model.recoveryMessage().value_or(QString())));
            runTask(model.start(true, false));
            QCOMPARE(model.error(), std::optional<QString>(QStringLiteral("Reconnect before resuming.")));
            QVERIFY(harness.service.reset());
            runTask(model.reconnect());
            QCOMPARE(model.recoveryMessage(), std::optional<QString>(reconnected));
        } else {
            QCOMPARE(model.error(), std::optional<QString>(error));
            QCOMPARE(model.status(), QStringLiteral("Session could not start"));
            QCOMPARE(model.recoveryMessage(), std::optional<QString>(startFailed));
            // The orderly stop still ended the session on the service.
            QVERIFY(commandTypes(harness.service.log()).contains(QStringLiteral("session.stop")));
            QVERIFY(harness.service.reset());
        }
        resumes(harness, before);
    }

    void serviceKilledAndRestarted()
    {
        FakePlatform platform;
        SessionModel model(platform.bundle());
        model.setServiceTiming(ModelHarness::quickTiming());
        auto service = std::make_unique<DevServiceProcess>(QStringList{QStringLiteral("--simulated")});
        QVERIFY2(service->started(), qPrintable(service->errorText()));
        const quint16 port = service->port();
        const QString token = service->token();
        const Connection connection = service->connection();
        runTask(model.connect(connection, false));
        runTask(model.start(false, false));
        QVERIFY(model.active());
        QTRY_VERIFY_WITH_TIMEOUT(model.transcript().size() >= 2 && !model.answers().isEmpty(), 20000);
        const QVariantMap setup = platform.preferences->values;
        *platform.now += 60000;

        // The service process ends on the spot (SIGTERM, which it leaves to the default action)
        // while the session runs.
        service.reset();
        QTRY_COMPARE_WITH_TIMEOUT(model.status(), QStringLiteral("Connection interrupted"), 10000);
        const Conversation before = Conversation::of(model);
        QVERIFY(model.needsReconnect());
        QCOMPARE(model.recoveryMessage(), std::optional<QString>(connectionLost));
        QVERIFY(!before.lines.isEmpty() && !before.shown.isEmpty());

        // While it is down, reconnecting fails with the reason and loses nothing.
        runTask(model.reconnect());
        QVERIFY(model.error() && !model.error()->isEmpty());
        QVERIFY(model.needsReconnect());
        QVERIFY(model.account());
        QVERIFY(Conversation::of(model).keeps(before));

        // Started again at the same address with the same token, it takes the same connection.
        service = std::make_unique<DevServiceProcess>(
            QStringList{QStringLiteral("--simulated"), QStringLiteral("--port"), QString::number(port),
                        QStringLiteral("--token"), token});
        QVERIFY2(service->started(), qPrintable(service->errorText()));
        QCOMPARE(service->port(), port);
        runTask(model.reconnect());
        QVERIFY2(!model.needsReconnect(), qPrintable(model.error().value_or(QString())));
        QCOMPARE(model.recoveryMessage(), std::optional<QString>(reconnected));
        QVERIFY(Conversation::of(model).keeps(before));

        // The conversation resumes with its history, though the new service never knew its
        // earlier session.
        *platform.now += 30000;
        runTask(model.start(true, false));
        QVERIFY2(model.active(), qPrintable(model.error().value_or(model.status())));
        QCOMPARE(model.gapSummary(), QStringList{QString::fromUtf8("1:00–1:30: audio not captured")});
        QTRY_VERIFY_WITH_TIMEOUT(model.transcript().size() > before.lines.size(), 20000);
        QVERIFY(Conversation::of(model).keeps(before, false));
        QCOMPARE(platform.preferences->values, setup);
        runTask(model.stop());
    }
    // The HTTP API

    void accessRevokedMidConversation()
    {
        ModelHarness harness;
        SessionModel &model = *harness.model;
        const Connection connection = harness.service.connection();
        runTask(model.connect(connection, true));
        QVERIFY(model.client());
        const auto stored = harness.platform.secrets->items;
        QCOMPARE(stored.size(), 1);
        runTask(model.start(false, false));
        QTRY_VERIFY_WITH_TIMEOUT(model.transcript().size() >= 2 && !model.answers().isEmpty(), 20000);
        const QVariantMap setup = harness.platform.preferences->values;

        // This device is signed out elsewhere while its session runs; the end of the session
        // and the resume meet a 401.
        ServiceClient elsewhere(connection);
        runTask(elsewhere.signOut());
        harness.advance(60000);
        runTask(model.stop());
        const Conversation before = Conversation::of(model);
        harness.advance(30000);
        runTask(model.start(true, false));
        QCOMPARE(model.error(), std::optional<QString>(QStringLiteral("Sign in again.")));
        QVERIFY(model.onboarding());
        QCOMPARE(model.onboardingStep(), 0);
        QVERIFY(!model.account());
        QCOMPARE(model.signInMessage(),
                 std::optional<QString>(QStringLiteral("Your device access expired or was removed. Sign in again.")));
        QCOMPARE(model.recoveryMessage(),
                 std::optional<QString>(QStringLiteral("Sign in again to reconnect this computer. Audio is off.")));
        QVERIFY(!model.active());
        QVERIFY(!model.busy());
        QVERIFY(Conversation::of(model).keeps(before));
        QCOMPARE(harness.platform.secrets->items, stored);
        QCOMPARE(harness.platform.preferences->values, setup);

        // Signed in again with the same connection, the conversation goes on.
        QVERIFY(harness.service.reset());
        runTask(model.connect(connection, false));
        QVERIFY(Conversation::of(model).keeps(before));
        resumes(harness, before);
    }
    // The library on disk

    void diskFullWhileSavingTheLibrary()
    {
        FakePlatform platform;
        SessionModel model(platform.bundle());
        runTask(model.load());
        QVERIFY(model.knowledgeOpen());
        QTemporaryDir files;
        const QString plan = files.filePath(QStringLiteral("plan.md"));
        QVERIFY(writeFile(plan, "# Launch\nThe launch is planned for the third quarter."));
        runTask(model.importFiles({plan}));
        model.waitForKnowledgeWrites();
        const QString folder = platform.knowledgeDirectory->filePath(QStringLiteral("knowledge"));
        const QString library = folder + QStringLiteral("/private-knowledge.json");
        const QByteArray previous = fileContents(library);
        QVERIFY(!previous.isEmpty());

        const QString notes = files.filePath(QStringLiteral("notes.txt"));
        QVERIFY(writeFile(notes, QByteArray("The budget review follows in October. ").repeated(1500)));
        {
            // Writes beyond a little more than the saved library fail while the limit holds.
            FileSizeLimit limit(rlim_t(previous.size()) + 1024);
            QVERIFY(limit.active());
            runTask(model.importFiles({notes}));
            model.waitForKnowledgeWrites();
        }
        QTRY_VERIFY(model.knowledgeMessage()
                    && model.knowledgeMessage()->startsWith(QString::fromUtf8(
                        "Could not save local knowledge: The file “private-knowledge.json” couldn’t be saved: ")));
        QCOMPARE(fileContents(library), previous);
        QCOMPARE(folderEntries(folder), QStringList{QStringLiteral("private-knowledge.json")});
        QCOMPARE(model.domainDocuments().size(), 2);

        // With room again, the next change writes the whole library.
        model.updateKnowledge([](PrivateKnowledge &knowledge) { knowledge.learningEnabled = true; });
        model.waitForKnowledgeWrites();
        QCOMPARE(PrivateKnowledgeStore(folder).load(), model.privateKnowledge());
        QCOMPARE(model.privateKnowledge().documents.size(), 2);
        QVERIFY(!model.knowledgeMessage());
    }

    void corruptLibraryIsNeverOverwritten()
    {
        FakePlatform platform;
        const QString folder = platform.knowledgeDirectory->filePath(QStringLiteral("knowledge"));
        QVERIFY(QDir().mkpath(folder));
        const QString library = folder + QStringLiteral("/private-knowledge.json");
        // Cut short, as a crash in the middle of another program's write would leave it.
        const QByteArray corrupt = "{\"documents\":[{\"id\":\"5f0c2a9e-1b7d-4c1e-9a61-3f2d8c4b7e10\",\"title\":\"Launch plan.pdf\",\"domai";
        QVERIFY(writeFile(library, corrupt));

        SessionModel model(platform.bundle());
        runTask(model.load());
        QVERIFY2(model.knowledgeMessage()
                     && model.knowledgeMessage()->startsWith(QStringLiteral("Local knowledge could not be opened: ")),
                 qPrintable(model.knowledgeMessage().value_or(QString())));
        QVERIFY(!model.knowledgeOpen());
        QCOMPARE(model.privateKnowledge(), PrivateKnowledge());
        QVERIFY(!model.error());

        model.updateKnowledge([](PrivateKnowledge &knowledge) { knowledge.learningEnabled = true; });
        QCOMPARE(model.knowledgeMessage(),
                 std::optional<QString>(QStringLiteral(
                     "Local knowledge could not be opened. Restart the app after resolving its storage error.")));
        QVERIFY(!model.privateKnowledge().learningEnabled);
        QTemporaryDir files;
        const QString notes = files.filePath(QStringLiteral("notes.md"));
        QVERIFY(writeFile(notes, "# Notes\nThe launch is planned for the third quarter."));
        runTask(model.importFiles({notes}));
        QCOMPARE(model.knowledgeMessage(), std::optional<QString>(QStringLiteral("Local knowledge storage is unavailable.")));
        QVERIFY(model.privateKnowledge().documents.isEmpty());

        model.terminate();
        QCOMPARE(fileContents(library), corrupt);
        QCOMPARE(folderEntries(folder), QStringList{QStringLiteral("private-knowledge.json")});
    }
};

QTEST_GUILESS_MAIN(FaultMatrixTest)
#include "tst_FaultMatrix.moc"
