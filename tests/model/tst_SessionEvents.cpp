#include "model/SessionModel.h"

#include "AnswerFixtures.h"
#include "FakePlatform.h"

#include <QTest>

namespace {

QStringList ids(const QList<PreparedAnswer> &answers)
{
    QStringList list;
    for (const PreparedAnswer &a : answers)
        list.append(a.id);
    return list;
}

Transcript finalSegment(const QString &id, double startMs, double endMs)
{
    Transcript t;
    t.id = id;
    t.text = id;
    t.final = true;
    t.startMs = startMs;
    t.endMs = endMs;
    return t;
}

} // namespace

class SessionEventsTest : public QObject {
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
};

void SessionEventsTest::banks()
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

void SessionEventsTest::endingSnapshots_data()
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

void SessionEventsTest::endingSnapshots()
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

void SessionEventsTest::otherEvents()
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

void SessionEventsTest::visibility_data()
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

void SessionEventsTest::visibility()
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

void SessionEventsTest::simpleModeFollowsTheWindow()
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

void SessionEventsTest::rangeMatching()
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
    ServerEvent heard;
    heard.type = QStringLiteral("transcript");
    heard.transcript = finalSegment("t1", 0, 5'000);
    model.receive(heard);
    model.setConversationStartedAt(*platform.now - 900'000);
    model.setWindowMode(QStringLiteral("past"));
    model.setAnchor(900'000);
    model.setLookback(700);
    QCoro::waitFor(model.prepareRange());
    QCOMPARE(model.error(),
             std::optional<QString>(QStringLiteral("Choose a new anchor: a breakdown covers at most ten minutes.")));
}

QTEST_GUILESS_MAIN(SessionEventsTest)
#include "tst_SessionEvents.moc"
