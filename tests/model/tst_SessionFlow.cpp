#include "model/SessionModel.h"

#include "ModelHarness.h"
#include "RunTask.h"
#include "ServiceLog.h"
#include "TestWav.h"

#include <QJsonArray>
#include <QTest>

class SessionFlowTest : public QObject {
    Q_OBJECT
private slots:
    void sampleWithRanges()
    {
        // Playing the sample through, feedback and follow-up questions are the screen suite's.
        ModelHarness harness;
        QVERIFY2(harness.connect(), qPrintable(harness.service.errorText()));
        SessionModel &model = *harness.model;
        QCOMPARE(model.status(), QStringLiteral("Ready for a simulated sample"));
        runTask(model.start(false, false));
        QCOMPARE((QStringList{model.status(), model.audioDescription()}),
                 (QStringList{"Simulated conversation", "Simulated audio"}));
        QTRY_VERIFY_WITH_TIMEOUT(model.transcript().size() >= 2, 10'000);
        harness.advance(30'000);
        model.setClock(*harness.platform.now);
        model.setWindowMode(QStringLiteral("now"));
        model.setAnchor(0);
        runTask(model.prepareRange());
        QVERIFY(!model.error());
        QTRY_VERIFY(model.rangeState() && model.rangeState()->state == QStringLiteral("following"));
        QVERIFY(model.rangeMatches() && model.rangeReviewed());
        QVERIFY(model.coverageMessage().contains(QStringLiteral(" speech segments reviewed · ")));

        // The last command sent, as type, window and follow.
        const auto lastRange = [&harness] {
            const QJsonObject sent = harness.service.log().value("commands").toArray().last().toObject();
            return QVariantList{sent.value("type").toString(), sent.value("fromMs").toDouble(), sent.value("toMs").toDouble(),
                                sent.value("follow").toBool()};
        };
        QCOMPARE(lastRange(), (QVariantList{"range.start", 0.0, 30'000.0, true}));

        // Ending the session settles the following range.
        runTask(model.stop());
        QCOMPARE(model.status(), QStringLiteral("Session ended"));
        QCOMPARE(model.recoveryMessage(),
                 std::optional<QString>(QStringLiteral("Audio stopped. Resume the conversation or review its prepared answers.")));
        QCOMPARE(model.rangeState()->follow, false);
        QVERIFY(model.rangeState()->state == QStringLiteral("complete") || model.rangeState()->state == QStringLiteral("partial"));

        // Without a session, preparing a past window starts a review-only session first.
        model.setWindowMode(QStringLiteral("past"));
        model.setAnchor(20'000);
        model.setLookback(20);
        QVERIFY(harness.service.reset());
        runTask(model.prepareRange());
        QVERIFY2(model.active(), qPrintable(model.error().value_or(QString())));
        QVERIFY(model.reviewOnly());
        QCOMPARE(model.status(), QStringLiteral("Reviewing selected speech · audio off"));
        QCOMPARE(lastRange(), (QVariantList{"range.start", 0.0, 20'000.0, false}));
        QTRY_VERIFY(model.rangeState() && model.rangeState()->state == QStringLiteral("complete"));
        runTask(model.stop());
    }

    void replayOfARecording()
    {
        ModelHarness harness(QStringList{});
        QVERIFY2(harness.connect(), qPrintable(harness.service.errorText()));
        SessionModel &model = *harness.model;
        QVERIFY(harness.useRecording(wavOfFrames(20)));

        runTask(model.start(false, false));
        QCOMPARE(model.status(), QStringLiteral("Replaying recording"));
        QTRY_COMPARE_WITH_TIMEOUT(model.status(), QStringLiteral("Recording finished · audio is off"), 10'000);
        QVERIFY(model.active() && model.reviewOnly());
        QCOMPARE(model.progress(), 1.0);
        QCOMPARE(model.listeningLabel(), QStringLiteral("Reviewing"));
        const QJsonObject log = harness.service.log();
        QCOMPARE(commandTypes(log), (QStringList{"audio.start", "audio.finish"}));
        QCOMPARE(log.value("audio").toArray().size(), 20);

        // A recording cannot resume.
        runTask(model.stop());
        runTask(model.start(true, false));
        QVERIFY(model.error()->startsWith(QStringLiteral("A recording cannot resume without replaying speech.")));
    }

    void resumeEndsEarlierSessions()
    {
        ModelHarness harness;
        QVERIFY2(harness.connect(), qPrintable(harness.service.errorText()));
        SessionModel &model = *harness.model;
        runTask(model.start(false, false));
        QTRY_VERIFY_WITH_TIMEOUT(!model.answers().isEmpty(), 10'000);
        harness.advance(245'000); // audio goes off at 4:05
        runTask(model.stop());
        QCOMPARE(model.pauseStartedMs(), std::optional<double>(245'000));

        harness.advance(145'000); // resumed at 6:30
        runTask(model.start(true, false));
        QVERIFY2(model.active(), qPrintable(model.error().value_or(model.status())));
        // The gap's summary is the fault suite's.
        QVERIFY(!model.pauseStartedMs());
        for (const PreparedAnswer &answer : model.answers())
            QCOMPARE(answer.status, QStringLiteral("stale"));
        const QString firstSession = model.snapshot()->id;
        QTRY_VERIFY_WITH_TIMEOUT(model.snapshot()->id != firstSession, 10'000);

        runTask(model.stop());
        QVERIFY(harness.service.reset());
        runTask(model.start(true, false));
        QVERIFY(model.active());
        // Both earlier sessions were ended and their final snapshots fetched before the new one.
        QStringList calls;
        for (const QJsonValue &request : harness.service.log().value("requests").toArray())
            calls.append(request["method"].toString() + ' ' + request["path"].toString().section('/', 1, 2));
        QCOMPARE(calls.mid(0, 6), (QStringList{"DELETE v1/sessions", "GET v1/sessions", "DELETE v1/sessions",
                                                "GET v1/sessions", "GET v1/account", "POST v1/sessions"}));
        QTRY_COMPARE_WITH_TIMEOUT(model.memory().sessionIDs().size(), 3, 10000);
        runTask(model.stop());
    }

    void walletBelowTheSmallestAllowance()
    {
        ModelHarness harness(QStringList{QStringLiteral("--simulated"), QStringLiteral("--balance-micros"), QStringLiteral("9999")});
        QVERIFY2(harness.connect(), qPrintable(harness.service.errorText()));
        SessionModel &model = *harness.model;
        runTask(model.start(false, false));
        QCOMPARE(model.status(), QStringLiteral("Session could not start"));
        QVERIFY(model.error()->startsWith(QString::fromUtf8("Less than $0.01 remains in this conversation’s allowance.")));
        QCOMPARE(model.recoveryMessage(),
                 std::optional<QString>(QStringLiteral("Audio is off. Resolve the issue and resume when ready.")));
        QVERIFY(!model.active() && !model.busy());
        QCOMPARE(model.memory().limitMicros(), 9999);
    }
};

QTEST_GUILESS_MAIN(SessionFlowTest)
#include "tst_SessionFlow.moc"
