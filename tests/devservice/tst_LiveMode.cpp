#include "LiveMode.h"

#include "DevServiceProcess.h"
#include "RunTask.h"
#include "SpokenAudio.h"
#include "TestWav.h"
#include "protocol/ServiceClient.h"

#include <QProcess>
#include <QSemaphore>
#include <QSet>
#include <QTest>

#include <atomic>

#include <cmath>

namespace {

// A 220 Hz tone at a speech-like level (about -24 dBFS), and near silence (the low
// constant a recording of nothing gives).
QByteArray tone(double ms)
{
    return tonePcm(qsizetype(ms * 16), 3000);
}

QByteArray quiet(double ms)
{
    return QByteArray(qsizetype(ms * 32), '\x01');
}

// A spoken sentence with silence around it, so the utterance ends by itself.
QByteArray said(const char *sentence)
{
    return quiet(300) + spokenPcm(QString::fromUtf8(sentence)) + quiet(1500);
}

KnowledgePassage passage(const char *id, const char *title, const char *text)
{
    return KnowledgePassage{QString::fromLatin1(id), QStringLiteral("doc-") + QString::fromLatin1(id),
                            QString::fromUtf8(title), QStringLiteral("p. 1"), QString::fromUtf8(text)};
}

const QList<KnowledgePassage> &library()
{
    static const QList<KnowledgePassage> passages{
        passage("calibration", "Model evaluation notes",
                "Accuracy alone hides how sure a model is. Calibration compares the confidence of a model with how "
                "often it is right, and a reliability diagram plots accuracy against confidence for each bin. "
                "Temperature scaling repairs overconfidence after fine tuning."),
        passage("retrieval", "Retrieval design",
                "Retrieval augmented generation looks up help centre articles before the reply is written. Chunking "
                "and reranking decide which articles the model reads."),
        passage("release", "Release checklist",
                "Every release needs a rollback plan and a signed build. The engineer on call approves the launch "
                "window with the support team."),
        passage("insurance", "Benefits handbook",
                "Every employee joins the health insurance plan on the first day. The plan covers the family of the "
                "employee as well. Dental care is paid separately."),
    };
    return passages;
}

bool near(std::optional<double> ms, double expected)
{
    return ms && std::abs(*ms - expected) <= 200;
}

// A live session of its own on the service, recording every event it receives.
struct LiveRun {
    LiveRun(DevServiceProcess &service, qint64 budgetMicros = 1'000'000, double timeOffsetMs = 0,
            std::optional<QList<KnowledgePassage>> knowledge = {})
        : client(service.connection())
    {
        client.onEvent = [this](const ServerEvent &event) { events.append(event); };
        SessionInput input;
        input.domain = QStringLiteral("Machine learning and artificial intelligence");
        input.budgetMicros = budgetMicros;
        input.source = QStringLiteral("system");
        input.timeOffsetMs = timeOffsetMs;
        input.knowledge = knowledge;
        runTask(client.start(input));
    }
    ~LiveRun() { runTask(client.stop()); }

    // Sends each channel's audio in frames, the channels' frames in turn.
    void send(const QByteArray &system, const QByteArray &microphone = {}, qsizetype frame = 3200)
    {
        for (qsizetype at = 0; at < std::max(system.size(), microphone.size()); at += frame) {
            if (at < system.size())
                runTask(client.sendAudio(system.mid(at, frame), QStringLiteral("system")));
            if (at < microphone.size())
                runTask(client.sendAudio(microphone.mid(at, frame), QStringLiteral("microphone")));
        }
    }
    void finish(const char *channel) { runTask(client.command(QStringLiteral("audio.finish"), QString::fromLatin1(channel))); }
    qint64 spent() { return runTask(client.account()).wallet.spentMicros; }
    QList<ServerEvent> ofType(const char *type) const
    {
        QList<ServerEvent> found;
        std::copy_if(events.cbegin(), events.cend(), std::back_inserter(found),
                     [&](const ServerEvent &event) { return event.type == QLatin1String(type); });
        return found;
    }
    QList<Transcript> finals() const
    {
        QList<Transcript> found;
        for (const ServerEvent &event : ofType("transcript"))
            if (event.transcript->final)
                found.append(*event.transcript);
        return found;
    }
    // The words of the channel's final segments.
    QString heard(const char *channel) const
    {
        QString words;
        for (const Transcript &final : finals())
            if (final.channel == QLatin1String(channel))
                words += final.text + QLatin1Char(' ');
        return words;
    }
    bool endsQuiet() const { return !events.isEmpty() && events.last().type == QLatin1String("quiet"); }
    // A first sentence on each channel, so the recogniser has adjusted to the voice (as it
    // does in a conversation); what it brings is forgotten.
    void warmUp()
    {
        const QByteArray greeting = said("Good morning everyone, thank you for coming.");
        send(greeting, greeting);
        QTRY_VERIFY_WITH_TIMEOUT(endsQuiet() && finals().size() >= 2, 30'000);
        events.clear();
    }

    ServiceClient client;
    QList<ServerEvent> events;
};

} // namespace

// A recogniser that waits for the test before it begins, and counts what it was fed.
struct HeldRecognizer : SpeechRecognizer {
    std::shared_ptr<QSemaphore> gate;
    std::shared_ptr<std::atomic<int>> freed;
    qsizetype fed = 0;
    ~HeldRecognizer() override { ++*freed; }
    void begin(int) override { gate->acquire(); }
    void feed(const qint16 *, std::size_t count) override { fed += qsizetype(count) * 2; }
    QString partial() override { return {}; }
    QString finish() override { return QString::number(fed); }
};

class LiveModeTest : public QObject {
    Q_OBJECT

    std::unique_ptr<DevServiceProcess> m_service; // words from the script, for tones
    std::unique_ptr<DevServiceProcess> m_hearing; // PocketSphinx and the library

private slots:
    void initTestCase()
    {
        m_service = std::make_unique<DevServiceProcess>(QStringList{QStringLiteral("--scripted-words")});
        QVERIFY2(m_service->started(), qPrintable(m_service->errorText()));
        m_hearing = std::make_unique<DevServiceProcess>();
        QVERIFY2(m_hearing->started(), qPrintable(m_hearing->errorText()));
    }

    // Each utterance's final segment carries its conversation times (this session's audio
    // starts at 1:00).
    void utterancesAtTheirConversationTimes()
    {
        LiveRun run(*m_service, 1'000'000, 60'000);
        run.send(quiet(1000) + tone(2000) + quiet(2000) + tone(1500) + quiet(2000), quiet(2500) + tone(1200) + quiet(4800));
        run.finish("microphone");
        QTRY_COMPARE_WITH_TIMEOUT(run.finals().size(), 3, 5'000);
        const QList<std::tuple<QString, double, double>> spoken{
            {"system", 61'000, 63'000}, {"microphone", 62'500, 63'700}, {"system", 65'000, 66'500}};
        QSet<qsizetype> heard;
        for (const Transcript &final : run.finals()) {
            for (qsizetype i = 0; i < spoken.size(); ++i) {
                const auto &[channel, startMs, endMs] = spoken[i];
                if (final.channel == channel && near(final.startMs, startMs) && near(final.endMs, endMs))
                    heard.insert(i);
            }
            QCOMPARE(final.lastWordEndMs, final.endMs);
        }
        QCOMPARE(heard.size(), 3);

    }

    // "audio.finish" during speech ends the utterance at once; its answer then arrives in
    // stages, and "quiet" follows. Feedback hides it and costs nothing.
    void answerIsPreparedInStages()
    {
        LiveRun run(*m_service);
        const qint64 before = run.spent();
        run.send(quiet(500) + tone(2000));
        QTRY_VERIFY_WITH_TIMEOUT(!run.ofType("transcript").isEmpty(), 2'000);
        QTest::qWait(200);
        QVERIFY(run.finals().isEmpty() && run.ofType("quiet").isEmpty());
        const qsizetype heard = run.events.size();
        run.finish("system");
        QTRY_VERIFY_WITH_TIMEOUT(run.endsQuiet(), 3'000);
        QStringList after;
        for (const ServerEvent &event : run.events.mid(heard))
            after.append(event.type);
        QCOMPARE(after, (QStringList{"command.ack", "transcript", "answer.started", "bank", "bank", "bank", "quiet"}));
        QVERIFY(run.finals().size() == 1 && near(run.finals()[0].startMs, 500) && near(run.finals()[0].endMs, 2500));

        // Each stage of the one answer: provisional, status, preparation, and which of cue,
        // Deeper, Simpler, ELI5 and follow-ups it carries.
        const QList<ServerEvent> banks = run.ofType("bank");
        QStringList stages;
        for (const ServerEvent &bank : banks) {
            QVERIFY(bank.session && bank.answers->size() == 1 && bank.answers->first().id == banks[0].answers->first().id);
            const PreparedAnswer &a = bank.answers->first();
            stages.append(QStringLiteral("%1 %2 %3 %4%5%6%7%8").arg(a.provisional ? "provisional" : "final", a.status,
                                                                  a.preparation, a.cue.isEmpty() ? "-" : "c",
                                                                  a.deeper.isEmpty() ? "-" : "d", a.simpler ? "s" : "-",
                                                                  a.eli5 ? "e" : "-")
                              .arg(a.followUps.size()));
        }
        QCOMPARE(stages, (QStringList{"provisional preparing partial ----0", "final ready partial cd--0",
                                      "final ready complete cdse2"}));
        const PreparedAnswer &complete = banks.last().answers->first();
        QVERIFY(!complete.simpler->isEmpty() && !complete.eli5->isEmpty());
        for (const PreparedFollowUp &followUp : complete.followUps)
            QVERIFY(!followUp.question.isEmpty() && !followUp.answer.isEmpty());
        const qint64 cost = 2500 * LiveMode::transcriptionMicrosPerSecond / 1000 + LiveMode::preparationMicros;
        QCOMPARE(banks.last().session->spentMicros, cost);
        QCOMPARE(run.spent() - before, cost);

        runTask(run.client.command(QStringLiteral("feedback"), std::nullopt, complete.id, QStringLiteral("known")));
        QTRY_VERIFY_WITH_TIMEOUT(run.events.last().type == QLatin1String("bank") && run.events.last().answers->first().hidden,
                                 2'000);
        QCOMPARE(run.spent() - before, cost);
    }

    // A hundred seconds of audio use the budget up exactly; the next second is refused.
    // What was heard of the speech still gets its final segment, but no answer is paid for.
    void budgetLimitsTheSession()
    {
        LiveRun run(*m_service, 10'000);
        const qint64 before = run.spent();
        run.send(quiet(99'000) + tone(2'000), {}, 32'000);
        QTRY_VERIFY_WITH_TIMEOUT(run.endsQuiet(), 2'000);
        const QList<ServerEvent> ended = run.ofType("session");
        QVERIFY(ended.size() == 1 && ended[0].session->state == QLatin1String("limited"));
        QCOMPARE(ended[0].session->spentMicros, qint64(10'000));
        QCOMPARE(run.spent() - before, qint64(10'000));
        QCOMPARE(run.finals().size(), 1);
        QVERIFY(near(run.finals()[0].startMs, 99'000) && near(run.finals()[0].endMs, 100'000));
        QVERIFY(run.ofType("bank").isEmpty());
    }

    // Two channels speaking at once: most of the telling words are heard, on their own
    // channel only. The sentence naming a passage's subject brings that passage, cited; the
    // unrelated one, and the same subject again soon after, bring nothing but "quiet".
    void speechBecomesCitedWords()
    {
        if (spokenPcm(QStringLiteral("test")).isEmpty())
            QSKIP("espeak-ng is not installed, so there is no speech to recognise.");
        LiveRun run(*m_hearing, 1'000'000, 0, library());
        run.warmUp();
        const qint64 before = run.spent();
        const QByteArray unrelated = said("My daughter plays the violin on Saturday mornings.");
        const QByteArray naming = said("We should talk about the health insurance plan.");
        run.send(unrelated, naming);
        QTRY_VERIFY_WITH_TIMEOUT(run.endsQuiet() && run.finals().size() >= 2 && !run.ofType("bank").isEmpty(), 30'000);
        const QString system = run.heard("system");
        const QString microphone = run.heard("microphone");
        const auto holds = [](const QString &heard, const QStringList &words) {
            return std::count_if(words.cbegin(), words.cend(), [&](const QString &word) { return heard.contains(word); });
        };
        const QStringList violin{"daughter", "saturday", "morning"};
        const QStringList insurance{"talk", "health", "insur"};
        QVERIFY2(holds(system, violin) >= 2 && holds(microphone, insurance) >= 2
                     && holds(system, insurance) == 0 && holds(microphone, violin) == 0,
                 qPrintable(system + " / " + microphone));

        const QList<ServerEvent> banks = run.ofType("bank");
        QCOMPARE(banks.size(), 3);
        const PreparedAnswer &answer = banks.last().answers->first();
        const KnowledgePassage &cited = library()[3];
        QVERIFY(answer.isCurrent());
        QCOMPARE(answer.topic, cited.title);
        QCOMPARE(answer.deeper, cited.text);
        QVERIFY2(!answer.question.isEmpty() && microphone.contains(answer.question), qPrintable(answer.question));
        QVERIFY2(cited.text.contains(answer.cue) && answer.cue.contains(QStringLiteral("health insurance plan")),
                 qPrintable(answer.cue));
        QVERIFY2(!answer.title.isEmpty() && answer.cue.contains(answer.title, Qt::CaseInsensitive), qPrintable(answer.title));
        QVERIFY(!answer.simpler && !answer.eli5 && answer.followUps.isEmpty());
        QCOMPARE(answer.citations,
                 (QList<DocumentCitation>{{cited.id, cited.documentId, cited.title, cited.location, answer.cue}}));
        QVERIFY(answer.retrieval && answer.retrieval->searched && answer.retrieval->matched >= 1);
        QVERIFY(answer.uncertainty.contains(cited.title));

        const qsizetype heard = run.events.size();
        run.send(naming);
        QTRY_VERIFY_WITH_TIMEOUT(run.finals().size() >= 3 && run.endsQuiet(), 30'000);
        for (const ServerEvent &event : run.events.mid(heard))
            QVERIFY2(event.type != QLatin1String("bank") && event.type != QLatin1String("answer.started"), qPrintable(event.type));
        const qint64 audioMicros = (2 * naming.size() + unrelated.size()) * LiveMode::transcriptionMicrosPerSecond / 32'000;
        QVERIFY(std::abs(run.spent() - before - audioMicros - LiveMode::preparationMicros) <= 3);
    }

    // The labelled sentences the library's threshold is chosen on: what a recogniser might
    // make of a sentence naming a passage's subject, and sentences about something else.
    void libraryMatchesWhatNamesIt_data()
    {
        QTest::addColumn<QString>("spoken");
        QTest::addColumn<QString>("passage");
        const auto row = [](const char *spoken, const char *passage) {
            QTest::newRow(spoken) << QString::fromLatin1(spoken) << QString::fromLatin1(passage);
        };
        row("the reliability diagram show the mall is poorly calibrated at hi confidence", "calibration");
        row("we should try temperature scaling for the overconfidence", "calibration");
        row("does retrieval augmented generation read the help centre articles", "retrieval");
        row("who approves the launch window for the release", "release");
        row("is there a rollback plan", "");
        row("we saw talk about health insurer", "insurance");
        row("does the plan cover dental care", "insurance");
        row("the health of the family", "insurance");
        row("we should talk about the plan", "");
        row("the model reads the first day", "");
        row("the model is good", "");
        row("please send the invoice to the finance department", "");
        row("accuracy", "");
        row("the articles, the articles", ""); // one word said twice weighs enough, but is one word
        row("and mister john dashwood had then leisure to consider", "");
    }

    void libraryMatchesWhatNamesIt()
    {
        QFETCH(QString, spoken);
        QFETCH(QString, passage);
        const LibraryIndex index(library());
        const QList<LibraryIndex::Match> found = index.search(spoken);
        QString weights;
        for (const LibraryIndex::Match &match : index.search(spoken, 0))
            weights += QStringLiteral(" %1 %2").arg(match.passage.id).arg(match.weight);
        QVERIFY2((found.isEmpty() ? QString() : found.first().passage.id) == passage, qPrintable(weights));
    }

    // While the decoder is held up, ten seconds of audio wait and the rest is not taken; the
    // final covers what was taken. A worker let go while its decoder is busy (its session
    // ended mid-utterance) frees it on the worker once it is done, and reports nothing more.
    void backlogIsBounded()
    {
        auto gate = std::make_shared<QSemaphore>();
        auto freed = std::make_shared<std::atomic<int>>(0);
        const auto factory = [gate, freed] {
            auto held = std::make_unique<HeldRecognizer>();
            held->gate = gate;
            held->freed = freed;
            return held;
        };
        QObject receiver;
        QList<RecognitionWorker::Result> results;
        const auto deliver = [&results](const RecognitionWorker::Result &result) { results.append(result); };
        auto worker = std::make_unique<RecognitionWorker>(factory, &receiver, deliver);
        worker->begin(7);
        int taken = 0;
        for (int second = 0; second < 15; ++second)
            taken += worker->feed(QByteArray(32'000, '\0')) ? 1 : 0;
        QCOMPARE(taken, 10);
        QCOMPARE(worker->droppedBytes(), qint64(5 * 32'000));
        worker->end();
        gate->release();
        QTRY_VERIFY_WITH_TIMEOUT(!results.isEmpty() && results.last().kind == RecognitionWorker::Result::Kind::Final, 5'000);
        QCOMPARE(results.last().ordinal, 7);
        QCOMPARE(results.last().text, QString::number(RecognitionWorker::maximumBacklogBytes));

        results.clear();
        worker->begin(8);
        worker->feed(QByteArray(32'000, '\0'));
        worker->end();
        QTest::qWait(50);
        worker.reset();
        QCOMPARE(freed->load(), 0);
        gate->release();
        QTRY_COMPARE_WITH_TIMEOUT(freed->load(), 1, 5'000);
        QTest::qWait(50);
        QVERIFY(results.isEmpty());
    }

    void refusesToStartWithoutTheModel()
    {
        QProcess service;
        service.start(QStringLiteral(CORVANA_DEVSERVICE_PATH), {QStringLiteral("--port"), QStringLiteral("0"),
                                                                 QStringLiteral("--speech-model"), QStringLiteral("/nowhere")});
        QVERIFY(service.waitForFinished(10'000));
        QVERIFY(service.exitCode() != 0);
        const QString message = QString::fromUtf8(service.readAllStandardError());
        QVERIFY2(message.contains(QStringLiteral("pocketsphinx-en-us")) && message.contains(QStringLiteral("/nowhere/en-us/mdef")),
                 qPrintable(message));
        QVERIFY(service.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(LiveModeTest)
#include "tst_LiveMode.moc"
