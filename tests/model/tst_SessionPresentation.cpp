#include "model/SessionPresentation.h"

#include "model/SessionSetup.h"

#include "AnswerFixtures.h"
#include "FakePlatform.h"
#include "ModelHarness.h"
#include "RunTask.h"
#include "ServiceLog.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <functional>

// Designated initializers here leave the other members at their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

// A model on fake platform services and the main window's presentation of it.
struct Shown {
    FakePlatform platform;
    SessionModel model{platform.bundle()};
    SessionPresentation screen{model};
};

ServerEvent eventOf(const QString &type)
{
    ServerEvent event;
    event.type = type;
    return event;
}

ServerEvent heard(const QString &id, const QString &text, std::optional<double> startMs, bool final,
                  const QString &channel = QStringLiteral("system"))
{
    ServerEvent event = eventOf(QStringLiteral("transcript"));
    const std::optional<double> endMs = startMs ? std::optional<double>(*startMs + 2'000) : std::nullopt;
    event.transcript = Transcript{id, text, channel, final, startMs, endMs};
    return event;
}

SessionSnapshot snapshotIn(const QString &state)
{
    return SessionSnapshot{.id = QStringLiteral("s1"), .state = state, .startedAt = 1'700'000'000'000.0};
}

// A past window of the first minute, reviewed completely.
void reviewFirstMinute(SessionModel &model)
{
    model.setWindowMode(QStringLiteral("past"));
    model.setAnchor(60'000);
    model.setLookback(60);
    model.setRangeState(RangeState{.toMs = 60'000, .state = QStringLiteral("complete")});
}

// The answer in front and the form it shows.
QString front(const SessionModel &model)
{
    return model.selected()->id + QStringLiteral(" as ") + model.detail();
}

} // namespace

// What the screens show of the model as the service's events arrive.
class SessionPresentationTest : public QObject {
    Q_OBJECT
private slots:
    void banks()
    {
        Shown s;
        PrivateKnowledge knowledge;
        knowledge.learningEnabled = true;
        knowledge.learn(s.model.domain(), QStringLiteral("Topic c"), std::nullopt, QStringLiteral("ELI5"));
        s.model.setPrivateKnowledge(knowledge);

        // An empty or absent bank keeps what is shown.
        s.model.receive(bankOf({answerFixture("a"), answerFixture("b")}));
        s.model.receive(bankOf({}));
        s.model.receive(eventOf(QStringLiteral("bank")));
        QCOMPARE(ids(s.model.answers()), (QStringList{"a", "b"}));
        QCOMPARE(s.model.memory().answers().size(), 2);

        // A chosen answer keeps its form while the bank holds it.
        s.model.setSelectedID(QStringLiteral("a"));
        s.model.setDetail(QStringLiteral("Simpler"));
        s.model.receive(bankOf({answerFixture("a"), answerFixture("b"), answerFixture("c")}));
        QCOMPARE(front(s.model), QStringLiteral("a as Simpler"));
        // Once it is gone, the newest answer comes forward in its learned form, else as a cue.
        s.model.receive(bankOf({answerFixture("b"), answerFixture("c")}));
        QVERIFY(!s.model.selectedID());
        QCOMPARE(front(s.model), QStringLiteral("c as ELI5"));
        s.model.receive(bankOf({answerFixture("b"), answerFixture("c"), answerFixture("d")}));
        QCOMPARE(front(s.model), QStringLiteral("d as Cue"));

        // An "answer" event names the selection even before the bank holds it.
        ServerEvent named = eventOf(QStringLiteral("answer"));
        named.answer = answerFixture("z");
        s.model.receive(named);
        QCOMPARE(s.model.selectedID(), std::optional<QString>(QStringLiteral("z")));
        QCOMPARE(s.model.selected()->id, QStringLiteral("d"));
    }

    void endingSnapshots_data()
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

    void endingSnapshots()
    {
        QFETCH(QString, state);
        QFETCH(std::optional<QString>, reason);
        Shown s;
        s.model.receive(bankOf({answerFixture("a")}));
        ServerEvent event = bankOf({answerFixture("b")});
        event.session = SessionSnapshot{.id = QStringLiteral("s1"), .state = state, .spentMicros = 40'000,
                                        .startedAt = (*s.platform.now - 10'000) / 1000.0, .reason = reason};
        s.model.receive(event);
        QTEST(s.model.status(), "status");
        QTEST(s.model.recoveryMessage(), "recovery");
        // The bank of the same event still applies, and the spend is recorded.
        QCOMPARE(ids(s.model.answers()), QStringList{"b"});
        QCOMPARE(s.model.memory().committedMicros(), 40'000);
        QCOMPARE(s.model.conversationStartedAt(), std::optional<double>(*s.platform.now - 10'000));
    }

    void otherEvents()
    {
        Shown s;
        ServerEvent event = eventOf(QStringLiteral("answer.started"));
        s.model.receive(event);
        QVERIFY(s.model.preparing());
        event.type = QStringLiteral("quiet");
        s.model.receive(event);
        QVERIFY(!s.model.preparing());
        event.type = QStringLiteral("error");
        event.message = QStringLiteral("The transcriber restarted.");
        s.model.receive(event);
        QCOMPARE(s.model.error(), event.message);
        event.message.reset();
        s.model.receive(event);
        QVERIFY(!s.model.error());
        event.type = QStringLiteral("transcript"); // required member missing
        s.model.receive(event);
        QVERIFY(s.model.transcript().isEmpty());
    }

    void visibility_data()
    {
        QTest::addColumn<bool>("showHidden");
        QTest::addColumn<QString>("selectedID");
        QTest::addColumn<QStringList>("visible");
        QTest::addColumn<QString>("selected");
        QTest::newRow("default") << false << "" << QStringList{"ready1", "ready2"} << "ready2";
        QTest::newRow("show hidden") << true << "" << QStringList{"ready1", "stale", "preparing", "hidden", "ready2"} << "ready2";
        QTest::newRow("selected hidden answer is listed") << false << "hidden" << QStringList{"ready1", "hidden", "ready2"} << "hidden";
        QTest::newRow("provisional never listed") << false << "provisional" << QStringList{"ready1", "ready2"} << "ready2";
    }

    void visibility()
    {
        QFETCH(bool, showHidden);
        QFETCH(QString, selectedID);
        Shown s;
        s.model.receive(bankOf({answerFixture("ready1"), answerFixture("stale", "stale"), answerFixture("preparing", "preparing"),
                                answerFixture("hidden", "ready", true), answerFixture("ready2"), answerFixture("provisional", "ready", false, true)}));
        s.model.setShowHidden(showHidden);
        if (!selectedID.isEmpty())
            s.model.setSelectedID(selectedID);
        QTEST(ids(s.model.visibleAnswers()), "visible");
        QTEST(s.model.selected()->id, "selected");
    }

    void rangeMatching()
    {
        Shown s;
        s.model.setConversationStartedAt(*s.platform.now - 700'000);
        s.model.setWindowMode(QStringLiteral("now"));
        s.model.setAnchor(0);
        ServerEvent range = eventOf(QStringLiteral("range"));
        range.range = RangeState{.id = QStringLiteral("r"), .toMs = 600'000, .follow = true, .state = QStringLiteral("following"),
                                 .selectedSegments = 15, .reviewedSegments = 12, .reusedEntries = 3,
                                 .message = QStringLiteral("Working through the window.")};
        s.model.receive(range);
        QVERIFY(s.model.rangeWorking());
        QVERIFY(s.model.rangeMatches());
        QVERIFY(!s.model.rangeReviewed());
        QCOMPARE(s.model.coverageMessage(),
                 QString::fromUtf8("12/15 speech segments reviewed · 3 reused. Working through the window."));
        s.model.setAnchor(1);
        QVERIFY(!s.model.rangeMatches());
        // Without a session, stopping leaves a working range as it is.
        s.model.cancelRange();
        QCOMPARE(s.model.rangeState()->state, QStringLiteral("following"));

        // A past window longer than ten minutes is refused.
        s.model.receive(heard(QStringLiteral("t1"), QStringLiteral("Early words."), 0, true));
        s.model.setConversationStartedAt(*s.platform.now - 900'000);
        s.model.setWindowMode(QStringLiteral("past"));
        s.model.setAnchor(900'000);
        s.model.setLookback(700);
        runTask(s.model.prepareRange());
        QCOMPARE(s.model.error(),
                 std::optional<QString>(QStringLiteral("Choose a new anchor: a breakdown covers at most ten minutes.")));
    }

    void emptyAnswer_data()
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
    }

    void emptyAnswer()
    {
        QFETCH(QString, state);
        Shown s;
        s.model.setActive(state != "answers");
        s.model.setStarting(state == "starting");
        s.model.setPreparing(state == "preparing" || state.startsWith("review"));
        if (state == "limited")
            s.model.setSnapshot(snapshotIn(QStringLiteral("limited")));
        if (state.startsWith("review")) {
            s.model.setReviewOnly(true);
            if (state != "review")
                reviewFirstMinute(s.model);
            s.model.setCategory(state == "reviewed-dates" ? QStringLiteral("date") : QStringLiteral("term"));
        }
        if (state == "answers")
            s.model.receive(bankOf({answerFixture("a", "ready", true)}));
        QVERIFY(!s.screen.hasSelection());
        QTEST(s.screen.emptyAnswerTitle(), "title");
        QTEST(s.screen.emptyAnswerMessage(), "message");
    }

    void companionLines_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("eyebrow");
        QTest::addColumn<QString>("emptyLine");
        QTest::addColumn<QString>("footer");

        QTest::newRow("not connected") << "" << "READY WHEN YOU ARE"
                                       << "This build is not connected to the beta service yet." << "Audio off";
        QTest::newRow("limited") << "limited" << "READY WHEN YOU ARE" << "Session limit reached · audio stopped"
                                 << "Audio off";
        QTest::newRow("simpler form") << "simpler" << "EXPLAINED SIMPLY" << "" << "Sample running";
        QTest::newRow("earlier session") << "stale" << "Earlier context · may need checking" << "" << "Sample running";
    }

    void companionLines()
    {
        QFETCH(QString, state);
        Shown s;
        Account demo;
        demo.health.mode = QStringLiteral("demo");
        s.model.setAccount(demo);
        if (state == "limited") {
            s.model.setSnapshot(snapshotIn(QStringLiteral("limited")));
        } else if (!state.isEmpty()) {
            s.model.setActive(true);
            s.model.receive(bankOf({answerFixture("a", state == "stale" ? "stale" : "ready")}));
            s.model.setSelectedID(QStringLiteral("a"));
            if (state == "simpler")
                s.model.setDetail(QStringLiteral("Simpler"));
        }
        QTEST(s.screen.companionEyebrow(), "eyebrow");
        if (!s.screen.hasSelection())
            QTEST(s.screen.companionEmptyLine(), "emptyLine");
        QTEST(s.screen.companionFooter(), "footer");
    }

    void detailLines_data()
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

    void detailLines()
    {
        QFETCH(QString, status);
        QFETCH(QString, preparation);
        QFETCH(bool, active);
        QFETCH(QString, form);
        Shown s;
        PreparedAnswer a = answerFixture("a", status);
        a.preparation = preparation;
        if (preparation == "complete") {
            a.simpler = QStringLiteral("simpler");
            a.eli5 = QStringLiteral("eli5");
        }
        s.model.setActive(active);
        s.model.receive(bankOf({a}));
        s.model.setSelectedID(QStringLiteral("a"));
        s.model.setDetail(form);
        QTEST(s.screen.detailReadiness(), "readiness");
        QTEST(s.screen.detailPreparing(), "preparingMore");
        QTEST(s.screen.detailMissingForm(), "missing");
        QTEST(s.screen.detailInterrupted(), "interrupted");
        QTEST(s.screen.companionReadiness(), "companionReadiness");
        QCOMPARE(s.screen.selectedForms().size(), preparation == "complete" ? 4 : 2);
        QCOMPARE(s.screen.deeperSelected(), form == "Deeper");
    }

    void primaryButtonAndCommands()
    {
        ModelHarness harness;
        QVERIFY2(harness.connect(), qPrintable(harness.service.errorText()));
        SessionModel &model = *harness.model;
        SessionPresentation screen(model);
        QCOMPARE(screen.primaryAction(), QStringLiteral("Start simulated sample"));
        QVERIFY(screen.primaryEnabled() && screen.canStart() && !screen.canStop());
        QVERIFY(!screen.showNewConversation());
        QCOMPARE(screen.menuSessionAction(), QStringLiteral("Start listening"));

        // The menu's item starts the session.
        screen.toggleSession();
        QTRY_VERIFY(model.active());
        QCOMPARE(screen.menuSessionAction(), QStringLiteral("End session"));
        QVERIFY(screen.menuSessionEnabled());
        QVERIFY(!screen.primaryEnabled() && !screen.canStart() && screen.canStop());
        QTRY_VERIFY(screen.hasSelection());
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
        model.setError(QStringLiteral("Connection lost."));
        QCOMPARE(screen.recoveryAction(), QStringLiteral("Reconnect"));
    }

    void refusedStarts()
    {
        // What keeps "Start" disabled also refuses a start that comes anyway, with the reason
        // and nothing else changed or sent.
        ModelHarness harness(QStringList{});
        QVERIFY2(harness.connect(), qPrintable(harness.service.errorText()));
        SessionModel &model = *harness.model;
        SessionPresentation screen(model);
        QCOMPARE(screen.primaryAction(), QStringLiteral("Start listening"));
        const std::tuple<const char *, std::function<void(bool)>, QString> changes[] = {
            {"update check", [&](bool on) { model.setUpdating(on); },
             QStringLiteral("Finish or cancel the update check before starting a conversation.")},
            {"setup refused", [&](bool on) { model.setBudget(on ? QStringLiteral("20.01") : QStringLiteral("1.00")); },
             SessionSetup::startMessage},
            {"recording source without a recording",
             [&](bool on) { model.setSource(on ? QStringLiteral("recording") : QStringLiteral("system")); },
             QStringLiteral("Choose a short PCM WAV recording first.")},
            {"needs a reconnect", [&](bool on) { model.setNeedsReconnect(on); }, QStringLiteral("Reconnect before resuming.")},
            {"busy", [&](bool on) { model.setBusy(on); }, QString()},
        };
        const QString status = model.status();
        for (const auto &[name, change, message] : changes) {
            QVERIFY2(screen.canStart() && screen.setupComplete(), name);
            change(true);
            QVERIFY2(!screen.canStart() && !screen.canNewConversation(), name);
            QCOMPARE(screen.setupComplete(), message != SessionSetup::startMessage);
            QCOMPARE(screen.primaryEnabled(), message == QLatin1String("Reconnect before resuming."));
            runTask(model.start(false, false));
            QCOMPARE(model.error().value_or(QString()), message);
            QVERIFY(!model.active() && !model.busy() == (QByteArray(name) != "busy"));
            QCOMPARE(model.status(), status);
            change(false);
            model.setError(std::nullopt);
        }
        runTask(model.start(true, false));
        QCOMPARE(model.error(), std::optional<QString>(QStringLiteral("Start a new conversation to use a different domain.")));
        QVERIFY(commandTypes(harness.service.log()).isEmpty());
    }

    void remainingAllowance_data()
    {
        QTest::addColumn<qint64>("balance");
        QTest::addColumn<qint64>("spent"); // negative: no conversation yet
        QTest::addColumn<QString>("text");
        QTest::newRow("budget, rounded to four places") << qint64(5'000'000) << qint64(-1) << "$1.2346 remaining";
        QTest::newRow("wallet below the budget") << qint64(9'999) << qint64(-1) << "$0.0100 remaining";
        QTest::newRow("conversation overspent") << qint64(5'000'000) << qint64(3'000'000) << "$0.0000 remaining";
    }

    void remainingAllowance()
    {
        QFETCH(qint64, balance);
        QFETCH(qint64, spent);
        Shown s;
        s.model.setBudget(QStringLiteral("1.234567"));
        Account account;
        account.wallet.balanceMicros = balance;
        s.model.setAccount(account);
        if (spent >= 0) {
            ConversationMemory memory(2'000'000);
            memory.account(SessionSnapshot{.id = QStringLiteral("s1"), .spentMicros = spent});
            s.model.setMemory(memory);
        }
        QTEST(s.screen.remainingText(), "text");
    }

    void rowsChangeOnlyWhatChanged()
    {
        Shown s;
        QList<PreparedAnswer> answers;
        for (int i = 0; i < 1'200; ++i)
            answers.append(answerFixture(QString::number(i)));
        s.model.receive(bankOf(answers));
        RowListModel *rows = s.screen.answerRows();
        QCOMPARE(rows->count(), 1'200);
        QAbstractItemModelTester tester(rows, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(rows, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(rows, &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(rows, &QAbstractItemModel::dataChanged);
        QSignalSpy reset(rows, &QAbstractItemModel::modelReset);

        // The same bank again touches nothing.
        s.model.receive(bankOf(answers));
        QCOMPARE(inserted.count() + removed.count() + changed.count() + reset.count(), 0);

        // One answer changes, one goes, one comes: three precise notifications.
        answers[10].cue = QStringLiteral("a better cue");
        answers.removeAt(500);
        answers.append(answerFixture(QStringLiteral("new")));
        s.model.receive(bankOf(answers));
        QCOMPARE(reset.count(), 0);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.first().at(1).toInt(), 500);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.first().at(1).toInt(), 1'199);
        QVERIFY(changed.count() >= 1);
        QCOMPARE(rows->value(10, QStringLiteral("cue")).toString(), QStringLiteral("a better cue"));
        // The newest ready answer is in front and marked so.
        QCOMPARE(rows->value(1'199, QStringLiteral("selected")).toBool(), true);
        QCOMPARE(rows->value(1'198, QStringLiteral("selected")).toBool(), false);
    }

    void transcriptRows()
    {
        Shown s;
        RowListModel *rows = s.screen.transcriptRows();
        s.model.receive(heard("s1", "Let's talk", 65'000, false));
        s.model.receive(heard("s1", "Let's talk about calibration.", 65'000, true));
        s.model.receive(heard("s2", "Sure.", 68'000, true, QStringLiteral("microphone")));
        const auto row = [rows](int i) {
            QStringList roles;
            for (const char *role : {"speaker", "time", "text", "live", "mine"})
                roles.append(rows->value(i, role).toString());
            return roles;
        };
        QCOMPARE(rows->count(), 2);
        QCOMPARE(row(0), (QStringList{"Meeting", "1:05", "Let's talk about calibration.", "false", "false"}));
        QCOMPARE(row(1), (QStringList{"You", "1:08", "Sure.", "false", "true"}));

        s.model.receive(heard("s0", "…", std::nullopt, false));
        QCOMPARE(row(0), (QStringList{"Meeting", "0:00", "…", "true", "false"}));
    }

    void shelfAndRange()
    {
        Shown s;
        s.model.receive(bankOf({answerFixture("a"), answerFixture("h", "ready", true), answerFixture("p", "preparing"),
                              answerFixture("b")}));
        // Which answers are listed is the visibility table's.
        QCOMPARE(s.screen.hiddenCountText(), QStringLiteral("2 hidden / earlier"));
        s.model.setShowHidden(true);
        QCOMPARE(s.screen.answerRows()->value(1, "quiet").toBool(), true);

        QVERIFY(!s.screen.inRange());
        QCOMPARE(s.screen.coverageMessage(),
                 QStringLiteral("Range not reviewed yet. Prepare it to fill missing terms, topics and dates."));
        reviewFirstMinute(s.model);
        QVERIFY(s.screen.inRange());
        QVERIFY(s.screen.memoryNotice().isEmpty());
        QCOMPARE(s.screen.anchorText(), QStringLiteral("1:00"));
        QCOMPARE(s.screen.lookbackText(), QStringLiteral("60 seconds"));

        // "Now" windows stop growing ten minutes after their anchor.
        s.model.setWindowMode(QStringLiteral("now"));
        s.model.setAnchor(0);
        s.model.setConversationStartedAt(*s.platform.now - 599'000);
        s.model.setClock(*s.platform.now);
        QVERIFY(s.screen.tenMinuteNotice().isEmpty());
        s.model.setClock(*s.platform.now + 1'000);
        QCOMPARE(s.screen.tenMinuteNotice(),
                 QStringLiteral("Ten-minute range reached. Use current time to select a new range."));
    }
};

QTEST_GUILESS_MAIN(SessionPresentationTest)
#include "tst_SessionPresentation.moc"
