#include "model/SessionPresentation.h"

#include "model/KnowledgePresentation.h"
#include "model/OnboardingPresentation.h"
#include "model/SetupPresentation.h"

#include "AnswerFixtures.h"
#include "FakePlatform.h"
#include "ModelHarness.h"
#include "RunTask.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

ServerEvent heard(const QString &id, const QString &text, double startMs, bool final,
                  const QString &channel = QStringLiteral("system"))
{
    Transcript t;
    t.id = id;
    t.text = text;
    t.channel = channel;
    t.final = final;
    t.startMs = startMs;
    t.endMs = startMs + 2'000;
    ServerEvent event;
    event.type = QStringLiteral("transcript");
    event.transcript = t;
    return event;
}

SessionSnapshot snapshotIn(const QString &state)
{
    SessionSnapshot snapshot;
    snapshot.id = QStringLiteral("s1");
    snapshot.state = state;
    snapshot.startedAt = 1'700'000'000'000.0;
    return snapshot;
}

// A past window of the first minute, reviewed completely.
void reviewFirstMinute(SessionModel &model)
{
    model.setWindowMode(QStringLiteral("past"));
    model.setAnchor(60'000);
    model.setLookback(60);
    RangeState range;
    range.fromMs = 0;
    range.toMs = 60'000;
    range.state = QStringLiteral("complete");
    model.setRangeState(range);
}

QStringList ids(const QList<PreparedAnswer> &answers)
{
    QStringList list;
    for (const PreparedAnswer &a : answers)
        list.append(a.id);
    return list;
}

} // namespace

// What the screens show of the model as the service's events arrive.
class SessionPresentationTest : public QObject {
    Q_OBJECT
private slots:
    void banks();
    void endingSnapshots_data();
    void endingSnapshots();
    void otherEvents();
    void visibility_data();
    void visibility();
    void simpleModeFollowsTheWindow();
    void rangeMatching();
    void emptyAnswer_data();
    void emptyAnswer();
    void companionLines_data();
    void companionLines();
    void detailLines_data();
    void detailLines();
    void primaryButtonAndCommands();
    void refusedStartsAreNeverEnabled_data();
    void refusedStartsAreNeverEnabled();
    void remainingAllowance_data();
    void remainingAllowance();
    void rowsChangeOnlyWhatChanged();
    void transcriptRows();
    void shelfAndRange();
};

void SessionPresentationTest::emptyAnswer_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");

    const QString reviewed = QStringLiteral("Try another category or select another time range. The reviewed speech "
                                            "remains available in session memory.");
    const QString following = QStringLiteral("Useful answers will surface as the conversation develops. Prepared "
                                             "support stays available below.");
    QTest::newRow("limited wins over everything") << "limited" << "This session has ended."
                                                  << "Review usage below, or adjust your session setup before "
                                                     "starting again.";
    QTest::newRow("starting takes the title, not the message")
        << "starting" << "Getting ready to listen." << following;
    QTest::newRow("reviewed dates") << "reviewed-dates" << "No dates identified in the reviewed speech." << reviewed;
    QTest::newRow("reviewed terms") << "reviewed-terms" << "No entries identified in this category." << reviewed;
    QTest::newRow("review not prepared")
        << "review" << "Prepare this part of the conversation."
        << "Select a time range and choose Prepare range to fill missing terms, topics and dates. Explanations and "
           "category filters then open from session memory.";
    QTest::newRow("preparing") << "preparing" << "Preparing useful support."
                               << "The cue will appear with its complete Deeper answer. There’s nothing you need to ask.";
    QTest::newRow("active") << "active" << "Following the conversation." << following;
    QTest::newRow("quiet answers") << "answers" << "More is available quietly."
                                   << "Reveal hidden and earlier answers from the prepared shelf below.";
    QTest::newRow("nothing yet") << "idle" << "Answers, already in reach."
                                 << "Bring your domain knowledge into every conversation. Listen directly to meeting "
                                    "audio, including through your headset.";
}

void SessionPresentationTest::emptyAnswer()
{
    QFETCH(QString, state);
    FakePlatform platform;
    SessionModel model(platform.bundle());
    SessionPresentation screen(model);
    if (state == "limited") {
        model.setActive(true);
        model.setSnapshot(snapshotIn(QStringLiteral("limited")));
    } else if (state == "starting") {
        model.setStarting(true);
        model.setActive(true);
    } else if (state.startsWith("review")) {
        model.setReviewOnly(true);
        model.setActive(true);
        model.setPreparing(true);
        if (state != "review")
            reviewFirstMinute(model);
        model.setCategory(state == "reviewed-dates" ? QStringLiteral("date") : QStringLiteral("term"));
    } else if (state == "preparing") {
        model.setActive(true);
        model.setPreparing(true);
    } else if (state == "active") {
        model.setActive(true);
    } else if (state == "answers") {
        PreparedAnswer quiet = answerFixture("a");
        quiet.hidden = true;
        model.receive(bankOf({quiet}));
    }
    QVERIFY(!screen.hasSelection());
    QTEST(screen.emptyAnswerTitle(), "title");
    QTEST(screen.emptyAnswerMessage(), "message");
}

void SessionPresentationTest::companionLines_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("eyebrow");
    QTest::addColumn<QString>("emptyLine");
    QTest::addColumn<QString>("footer");

    QTest::newRow("not connected") << "" << "READY WHEN YOU ARE"
                                   << "This build is not connected to the beta service yet." << "Audio off";
    QTest::newRow("limited") << "limited" << "READY WHEN YOU ARE" << "Session limit reached · audio stopped"
                             << "Audio off";
    QTest::newRow("following") << "answer" << "FOLLOWING THE CONVERSATION" << "" << "Sample running";
    QTest::newRow("simpler form") << "simpler" << "EXPLAINED SIMPLY" << "" << "Sample running";
    QTest::newRow("earlier session") << "stale" << "Earlier context · may need checking" << "" << "Sample running";
}

void SessionPresentationTest::companionLines()
{
    QFETCH(QString, state);
    FakePlatform platform;
    SessionModel model(platform.bundle());
    SessionPresentation screen(model);
    Account demo;
    demo.health.mode = QStringLiteral("demo");
    model.setAccount(demo);
    if (state == "limited") {
        model.setSnapshot(snapshotIn(QStringLiteral("limited")));
    } else if (!state.isEmpty()) {
        model.setActive(true);
        PreparedAnswer a = answerFixture("a");
        if (state == "stale")
            a.status = QStringLiteral("stale");
        model.receive(bankOf({a}));
        model.setSelectedID(QStringLiteral("a"));
        if (state == "simpler")
            model.setDetail(QStringLiteral("Simpler"));
    }
    QTEST(screen.companionEyebrow(), "eyebrow");
    if (!screen.hasSelection())
        QTEST(screen.companionEmptyLine(), "emptyLine");
    QTEST(screen.companionFooter(), "footer");
}

void SessionPresentationTest::detailLines_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("preparation");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("readiness");
    QTest::addColumn<bool>("preparingMore");
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QString>("interrupted");
    QTest::addColumn<QString>("companionReadiness");

    const QString interrupted = QStringLiteral("Cue and Deeper are kept. Some additional forms were not completed.");
    QTest::newRow("cue and deeper, more coming")
        << "ready" << "partial" << true << "Cue" << "CUE + DEEPER READY" << true << "" << "" << "Cue + Deeper ready";
    QTest::newRow("chosen form not there yet")
        << "ready" << "partial" << true << "Simpler" << "CUE + DEEPER READY" << true
        << "This explanation is still preparing." << "" << "Cue + Deeper ready";
    QTest::newRow("session ended before the forms")
        << "ready" << "partial" << false << "Deeper" << "CUE + DEEPER READY" << false << "" << interrupted
        << "Cue + Deeper ready";
    QTest::newRow("resumed: answers of earlier sessions")
        << "stale" << "partial" << true << "Cue" << "" << false << "" << interrupted
        << "Preparing the cue and Deeper together.";
    QTest::newRow("complete") << "ready" << "complete" << true << "ELI5" << "CUE + DEEPER READY" << false << ""
                              << "" << "Cue + Deeper ready";
}

void SessionPresentationTest::detailLines()
{
    QFETCH(QString, status);
    QFETCH(QString, preparation);
    QFETCH(bool, active);
    QFETCH(QString, form);
    FakePlatform platform;
    SessionModel model(platform.bundle());
    SessionPresentation screen(model);
    PreparedAnswer a = answerFixture("a", status);
    a.preparation = preparation;
    if (preparation == "complete") {
        a.simpler = QStringLiteral("simpler");
        a.eli5 = QStringLiteral("eli5");
    }
    model.setActive(active);
    model.receive(bankOf({a}));
    model.setSelectedID(QStringLiteral("a"));
    model.setDetail(form);
    QTEST(screen.detailReadiness(), "readiness");
    QTEST(screen.detailPreparing(), "preparingMore");
    QTEST(screen.detailMissingForm(), "missing");
    QTEST(screen.detailInterrupted(), "interrupted");
    QTEST(screen.companionReadiness(), "companionReadiness");
    QCOMPARE(screen.selectedForms().size(), preparation == "complete" ? 4 : 2);
    QCOMPARE(screen.deeperSelected(), form == "Deeper");
}

void SessionPresentationTest::primaryButtonAndCommands()
{
    ModelHarness harness;
    QVERIFY2(harness.connect(), qPrintable(harness.service.errorText()));
    SessionModel &model = *harness.model;
    SessionPresentation screen(model);
    QCOMPARE(screen.primaryAction(), QStringLiteral("Start simulated sample"));
    QVERIFY(screen.primaryEnabled() && screen.canStart() && !screen.canStop());
    QVERIFY(!screen.showNewConversation());
    QCOMPARE(screen.menuSessionAction(), QStringLiteral("Start listening"));
    QVERIFY(screen.menuSessionEnabled());

    // The menu's item starts the session.
    screen.toggleSession();
    QTRY_VERIFY(model.active());
    QCOMPARE(screen.menuSessionAction(), QStringLiteral("End session"));
    QVERIFY(screen.menuSessionEnabled());
    QVERIFY(!screen.primaryEnabled() && !screen.canStart() && screen.canStop());
    QTRY_VERIFY(screen.hasSelection());
    QVERIFY(screen.canHide() && screen.canDeeper());
    model.setManualQuestion(QStringLiteral("   "));
    QVERIFY(!screen.canAsk());
    model.setManualQuestion(QStringLiteral("Why?"));
    QVERIFY(screen.canAsk());

    runTask(model.stop());
    QCOMPARE(screen.primaryAction(), QStringLiteral("Resume"));
    QVERIFY(screen.primaryEnabled() && screen.showNewConversation() && screen.canNewConversation());
    QCOMPARE(screen.companionEmptyLine(), QStringLiteral("Audio stopped. Your prepared answers remain available."));

    // A changed domain cannot resume: the button starts afresh instead of being refused.
    model.setDomain(model.domain() + QStringLiteral(" And statistics."));
    QCOMPARE(screen.primaryAction(), QStringLiteral("Start simulated sample"));

    model.setNeedsReconnect(true);
    QCOMPARE(screen.primaryAction(), QStringLiteral("Reconnect"));
    QVERIFY(screen.primaryEnabled() && !screen.canStart());
    model.setError(QStringLiteral("Connection lost."));
    QCOMPARE(screen.recoveryAction(), QStringLiteral("Reconnect"));
}

void SessionPresentationTest::refusedStartsAreNeverEnabled_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("update check running") << "updating";
    QTest::newRow("setup refused") << "budget";
    QTest::newRow("recording source without a recording") << "recording";
    QTest::newRow("needs a reconnect") << "reconnect";
    QTest::newRow("busy") << "busy";
}

void SessionPresentationTest::refusedStartsAreNeverEnabled()
{
    QFETCH(QString, change);
    ModelHarness harness(QStringList{});
    QVERIFY2(harness.connect(), qPrintable(harness.service.errorText()));
    SessionModel &model = *harness.model;
    SessionPresentation screen(model);
    QCOMPARE(screen.primaryAction(), QStringLiteral("Start listening"));
    QVERIFY(screen.canStart() && screen.setupComplete());
    if (change == "updating")
        model.setUpdating(true);
    else if (change == "budget")
        model.setBudget(QStringLiteral("20.01"));
    else if (change == "recording")
        model.setSource(QStringLiteral("recording"));
    else if (change == "reconnect")
        model.setNeedsReconnect(true);
    else if (change == "busy")
        model.setBusy(true);
    QVERIFY(!screen.canStart());
    QVERIFY(!screen.canNewConversation());
    QCOMPARE(screen.setupComplete(), change != "budget");
    if (change != "reconnect")
        QVERIFY(!screen.primaryEnabled());
}

void SessionPresentationTest::remainingAllowance_data()
{
    QTest::addColumn<qint64>("balance");
    QTest::addColumn<qint64>("spent"); // negative: no conversation yet
    QTest::addColumn<QString>("text");
    QTest::newRow("budget, rounded to four places") << qint64(5'000'000) << qint64(-1) << "$1.2346 remaining";
    QTest::newRow("wallet below the budget") << qint64(9'999) << qint64(-1) << "$0.0100 remaining";
    QTest::newRow("conversation under way") << qint64(5'000'000) << qint64(1'234'567) << "$0.7654 remaining";
    QTest::newRow("conversation overspent") << qint64(5'000'000) << qint64(3'000'000) << "$0.0000 remaining";
}

void SessionPresentationTest::remainingAllowance()
{
    QFETCH(qint64, balance);
    QFETCH(qint64, spent);
    FakePlatform platform;
    SessionModel model(platform.bundle());
    SessionPresentation screen(model);
    model.setBudget(QStringLiteral("1.234567"));
    Account account;
    account.wallet.balanceMicros = balance;
    model.setAccount(account);
    if (spent >= 0) {
        ConversationMemory memory(2'000'000);
        memory.account(SessionSnapshot{.id = QStringLiteral("s1"), .spentMicros = spent});
        model.setMemory(memory);
    }
    QTEST(screen.remainingText(), "text");
}

void SessionPresentationTest::rowsChangeOnlyWhatChanged()
{
    FakePlatform platform;
    SessionModel model(platform.bundle());
    SessionPresentation screen(model);
    QList<PreparedAnswer> answers;
    for (int i = 0; i < 1'200; ++i)
        answers.append(answerFixture(QString::number(i)));
    model.receive(bankOf(answers));
    RowListModel *rows = screen.answerRows();
    QCOMPARE(rows->count(), 1'200);
    QAbstractItemModelTester tester(rows, QAbstractItemModelTester::FailureReportingMode::QtTest);

    QSignalSpy inserted(rows, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(rows, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(rows, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(rows, &QAbstractItemModel::modelReset);

    // The same bank again touches nothing.
    model.receive(bankOf(answers));
    QCOMPARE(inserted.count() + removed.count() + changed.count() + reset.count(), 0);

    // One answer changes, one goes, one comes: three precise notifications.
    answers[10].cue = QStringLiteral("a better cue");
    answers.removeAt(500);
    answers.append(answerFixture(QStringLiteral("new")));
    model.receive(bankOf(answers));
    QCOMPARE(reset.count(), 0);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.first().at(1).toInt(), 500);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.first().at(1).toInt(), 1'199);
    QVERIFY(changed.count() >= 1);
    QCOMPARE(rows->value(10, QStringLiteral("cue")).toString(), QStringLiteral("a better cue"));
    QCOMPARE(rows->value(1'199, QStringLiteral("key")).toString(), QStringLiteral("new"));
    // The newest ready answer is in front and marked so.
    QCOMPARE(rows->value(1'199, QStringLiteral("selected")).toBool(), true);
    QCOMPARE(rows->value(1'198, QStringLiteral("selected")).toBool(), false);

    // A level update reaches no presentation signal; a clock tick only the texts of time.
    SetupPresentation setup(model, QString());
    KnowledgePresentation knowledge(model);
    OnboardingPresentation onboarding(model);
    QList<std::pair<QByteArray, std::shared_ptr<QSignalSpy>>> spies;
    for (QObject *shown : std::initializer_list<QObject *>{&screen, &setup, &knowledge, &onboarding}) {
        const QMetaObject *meta = shown->metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.methodType() == QMetaMethod::Signal)
                spies.append({method.name(), std::make_shared<QSignalSpy>(shown, "2" + method.methodSignature())});
        }
    }
    model.setAudioLevel(0.5f);
    model.setClock(model.clock() + 1'000);
    for (const auto &[name, spy] : spies)
        QVERIFY2(spy->count() == (name == "timeChanged" ? 1 : 0), name.constData());
}

void SessionPresentationTest::transcriptRows()
{
    FakePlatform platform;
    SessionModel model(platform.bundle());
    SessionPresentation screen(model);
    RowListModel *rows = screen.transcriptRows();
    QSignalSpy inserted(rows, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(rows, &QAbstractItemModel::dataChanged);

    model.receive(heard("s1", "Let's talk", 65'000, false));
    model.receive(heard("s1", "Let's talk about calibration.", 65'000, true));
    model.receive(heard("s2", "Sure.", 68'000, true, QStringLiteral("microphone")));
    QCOMPARE(rows->count(), 2);
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(rows->value(0, "speaker").toString(), QStringLiteral("Meeting"));
    QCOMPARE(rows->value(0, "time").toString(), QStringLiteral("1:05"));
    QCOMPARE(rows->value(0, "text").toString(), QStringLiteral("Let's talk about calibration."));
    QCOMPARE(rows->value(0, "live").toBool(), false);
    QCOMPARE(rows->value(1, "speaker").toString(), QStringLiteral("You"));
    QVERIFY(rows->value(1, "mine").toBool() && !rows->value(0, "mine").toBool());

    Transcript noTime;
    noTime.id = QStringLiteral("s0");
    noTime.text = QStringLiteral("…");
    ServerEvent event;
    event.type = QStringLiteral("transcript");
    event.transcript = noTime;
    model.receive(event);
    QCOMPARE(rows->value(0, "time").toString(), QStringLiteral("0:00"));
    QCOMPARE(rows->value(0, "live").toBool(), true);
}

void SessionPresentationTest::shelfAndRange()
{
    FakePlatform platform;
    SessionModel model(platform.bundle());
    SessionPresentation screen(model);
    PreparedAnswer hidden = answerFixture("h");
    hidden.hidden = true;
    model.receive(bankOf({answerFixture("a"), hidden, answerFixture("p", QStringLiteral("preparing")), answerFixture("b")}));
    QCOMPARE(screen.answerRows()->count(), 2);
    QCOMPARE(screen.hiddenCountText(), QStringLiteral("2 hidden / earlier"));
    model.setShowHidden(true);
    QCOMPARE(screen.answerRows()->count(), 4);
    QCOMPARE(screen.answerRows()->value(1, "quiet").toBool(), true);

    QVERIFY(!screen.inRange());
    QCOMPARE(screen.coverageMessage(),
             QStringLiteral("Range not reviewed yet. Prepare it to fill missing terms, topics and dates."));
    reviewFirstMinute(model);
    QVERIFY(screen.inRange());
    QVERIFY(screen.memoryNotice().isEmpty());
    QCOMPARE(screen.anchorText(), QStringLiteral("1:00"));
    QCOMPARE(screen.lookbackText(), QStringLiteral("60 seconds"));

    // "Now" windows stop growing ten minutes after their anchor.
    model.setWindowMode(QStringLiteral("now"));
    model.setAnchor(0);
    model.setConversationStartedAt(*platform.now - 599'000);
    model.setClock(*platform.now);
    QVERIFY(screen.tenMinuteNotice().isEmpty());
    model.setClock(*platform.now + 1'000);
    QCOMPARE(screen.tenMinuteNotice(),
             QStringLiteral("Ten-minute range reached. Use current time to select a new range."));
}

void SessionPresentationTest::banks()
{
    FakePlatform platform;
    SessionModel model(platform.bundle());
    PrivateKnowledge knowledge;
    knowledge.learningEnabled = true;
    knowledge.learn(model.domain(), QStringLiteral("Topic c"), std::nullopt, QStringLiteral("ELI5"));
    model.setPrivateKnowledge(knowledge);

    // An empty or absent bank keeps what is shown.
    model.receive(bankOf({}));
    QVERIFY(model.answers().isEmpty());
    model.receive(bankOf({answerFixture("a"), answerFixture("b")}));
    model.receive(bankOf({}));
    ServerEvent absent;
    absent.type = QStringLiteral("bank");
    model.receive(absent);
    QCOMPARE(ids(model.answers()), (QStringList{"a", "b"}));
    QCOMPARE(model.memory().answers().size(), 2);

    // A chosen answer keeps its form while the bank holds it.
    model.setSelectedID(QStringLiteral("a"));
    model.setDetail(QStringLiteral("Simpler"));
    model.receive(bankOf({answerFixture("a"), answerFixture("b"), answerFixture("c")}));
    QCOMPARE(model.selected()->id, QStringLiteral("a"));
    QCOMPARE(model.detail(), QStringLiteral("Simpler"));
    // Once it is gone, the newest answer comes forward in its learned form, else as a cue.
    model.receive(bankOf({answerFixture("b"), answerFixture("c")}));
    QVERIFY(!model.selectedID());
    QCOMPARE(model.selected()->id, QStringLiteral("c"));
    QCOMPARE(model.detail(), QStringLiteral("ELI5"));
    model.receive(bankOf({answerFixture("b"), answerFixture("c"), answerFixture("d")}));
    QCOMPARE(model.selected()->id, QStringLiteral("d"));
    QCOMPARE(model.detail(), QStringLiteral("Cue"));

    // An "answer" event names the selection even before the bank holds it.
    ServerEvent named;
    named.type = QStringLiteral("answer");
    named.answer = answerFixture("z");
    model.receive(named);
    QCOMPARE(model.selectedID(), std::optional<QString>(QStringLiteral("z")));
    QCOMPARE(model.selected()->id, QStringLiteral("d"));
}

void SessionPresentationTest::endingSnapshots_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<std::optional<QString>>("reason");
    QTest::addColumn<QString>("status");
    QTest::addColumn<std::optional<QString>>("recovery");
    QTest::newRow("limited with reason") << "limited" << std::optional<QString>("Your allowance is spent.")
                                         << "Your allowance is spent."
                                         << std::optional<QString>("Your allowance is spent. Prepared answers are kept; resume explicitly when ready.");
    QTest::newRow("stopped without reason") << "stopped" << std::optional<QString>() << "Session ended"
                                            << std::optional<QString>("Session ended. Prepared answers are kept; resume explicitly when ready.");
    QTest::newRow("active") << "active" << std::optional<QString>("ignored") << "Connect to your Corvana service"
                            << std::optional<QString>();
}

void SessionPresentationTest::endingSnapshots()
{
    QFETCH(QString, state);
    QFETCH(std::optional<QString>, reason);
    QFETCH(QString, status);
    QFETCH(std::optional<QString>, recovery);
    FakePlatform platform;
    SessionModel model(platform.bundle());
    model.receive(bankOf({answerFixture("a")}));
    ServerEvent event;
    event.type = QStringLiteral("bank");
    event.answers = QList<PreparedAnswer>{answerFixture("b")};
    SessionSnapshot snapshot;
    snapshot.id = QStringLiteral("s1");
    snapshot.state = state;
    snapshot.reason = reason;
    snapshot.spentMicros = 40'000;
    snapshot.startedAt = (*platform.now - 10'000) / 1000.0;
    event.session = snapshot;
    model.receive(event);
    QCOMPARE(model.status(), status);
    QCOMPARE(model.recoveryMessage(), recovery);
    // The bank of the same event still applies, and the spend is recorded.
    QCOMPARE(ids(model.answers()), QStringList{"b"});
    QCOMPARE(model.memory().committedMicros(), 40'000);
    QCOMPARE(model.conversationStartedAt(), std::optional<double>(*platform.now - 10'000));
}

void SessionPresentationTest::otherEvents()
{
    FakePlatform platform;
    SessionModel model(platform.bundle());
    ServerEvent event;
    event.type = QStringLiteral("answer.started");
    model.receive(event);
    QVERIFY(model.preparing());
    event.type = QStringLiteral("quiet");
    model.receive(event);
    QVERIFY(!model.preparing());
    event.type = QStringLiteral("error");
    event.message = QStringLiteral("The transcriber restarted.");
    model.receive(event);
    QCOMPARE(model.error(), event.message);
    event.message.reset();
    model.receive(event);
    QVERIFY(!model.error());
    event.type = QStringLiteral("transcript"); // required member missing
    model.receive(event);
    QVERIFY(model.transcript().isEmpty());
    int observed = 0;
    model.setEvaluationObserver([&](const ServerEvent &) { ++observed; });
    event.type = QStringLiteral("something.new");
    model.receive(event);
    QCOMPARE(observed, 1);
}

void SessionPresentationTest::visibility_data()
{
    QTest::addColumn<bool>("showHidden");
    QTest::addColumn<QString>("selectedID");
    QTest::addColumn<QStringList>("visible");
    QTest::addColumn<QString>("selected");
    QTest::newRow("default") << false << "" << QStringList{"ready1", "ready2"} << "ready2";
    QTest::newRow("show hidden") << true << "" << QStringList{"ready1", "stale", "preparing", "hidden", "ready2"} << "ready2";
    QTest::newRow("selected hidden answer is listed") << false << "hidden" << QStringList{"ready1", "hidden", "ready2"} << "hidden";
    QTest::newRow("selected stale answer is listed") << false << "stale" << QStringList{"ready1", "stale", "ready2"} << "stale";
    QTest::newRow("provisional never listed") << false << "provisional" << QStringList{"ready1", "ready2"} << "ready2";
}

void SessionPresentationTest::visibility()
{
    QFETCH(bool, showHidden);
    QFETCH(QString, selectedID);
    QFETCH(QStringList, visible);
    QFETCH(QString, selected);
    FakePlatform platform;
    SessionModel model(platform.bundle());
    model.receive(bankOf({answerFixture("ready1"), answerFixture("stale", "stale"), answerFixture("preparing", "preparing"),
                        answerFixture("hidden", "ready", true), answerFixture("ready2"), answerFixture("provisional", "ready", false, true)}));
    model.setShowHidden(showHidden);
    if (!selectedID.isEmpty())
        model.setSelectedID(selectedID);
    QCOMPARE(ids(model.visibleAnswers()), visible);
    QCOMPARE(model.selected()->id, selected);
}

void SessionPresentationTest::simpleModeFollowsTheWindow()
{
    FakePlatform platform;
    SessionModel model(platform.bundle());
    PreparedAnswer early = answerFixture("early");
    early.occurrences = QList<SpeechOccurrence>{SpeechOccurrence{"o1", 1'000, 2'000}};
    PreparedAnswer late = answerFixture("late", "stale");
    late.occurrences = QList<SpeechOccurrence>{SpeechOccurrence{"o2", 100'000, 101'000}};
    model.receive(bankOf({early, late}));
    model.setConversationStartedAt(*platform.now - 120'000);
    model.setSimple(true);
    model.setWindowMode(QStringLiteral("continue"));
    model.setAnchor(120'000);
    model.setLookback(60);
    // Simple mode filters by the window alone: the stale answer in it is listed, the early
    // one is not, even when selected.
    model.setSelectedID(QStringLiteral("early"));
    QCOMPARE(ids(model.visibleAnswers()), QStringList{"late"});
    QCOMPARE(model.selected()->id, QStringLiteral("late"));
}

void SessionPresentationTest::rangeMatching()
{
    FakePlatform platform;
    SessionModel model(platform.bundle());
    model.setConversationStartedAt(*platform.now - 700'000);
    model.setWindowMode(QStringLiteral("now"));
    model.setAnchor(0);
    RangeState range;
    range.id = QStringLiteral("r");
    range.fromMs = 0;
    range.toMs = 600'000;
    range.follow = true;
    range.state = QStringLiteral("following");
    range.selectedSegments = 15;
    range.reviewedSegments = 12;
    range.reusedEntries = 3;
    range.message = QStringLiteral("Working through the window.");
    ServerEvent event;
    event.type = QStringLiteral("range");
    event.range = range;
    model.receive(event);
    QVERIFY(model.rangeWorking());
    QVERIFY(model.rangeMatches());
    QVERIFY(!model.rangeReviewed());
    QCOMPARE(model.coverageMessage(),
             QString::fromUtf8("12/15 speech segments reviewed · 3 reused. Working through the window."));
    model.setAnchor(1);
    QVERIFY(!model.rangeMatches());
    QCOMPARE(model.coverageMessage(),
             QStringLiteral("Range not reviewed yet. Prepare it to fill missing terms, topics and dates."));
    // Without a session, stopping leaves a working range as it is.
    model.cancelRange();
    QCOMPARE(model.rangeState()->state, QStringLiteral("following"));

    // A past window longer than ten minutes is refused.
    model.receive(heard(QStringLiteral("t1"), QStringLiteral("Early words."), 0, true));
    model.setConversationStartedAt(*platform.now - 900'000);
    model.setWindowMode(QStringLiteral("past"));
    model.setAnchor(900'000);
    model.setLookback(700);
    QCoro::waitFor(model.prepareRange());
    QCOMPARE(model.error(),
             std::optional<QString>(QStringLiteral("Choose a new anchor: a breakdown covers at most ten minutes.")));
}

QTEST_GUILESS_MAIN(SessionPresentationTest)
#include "tst_SessionPresentation.moc"
