#include "DemoScript.h"
#include "DevScenario.h"

#include "DevServiceProcess.h"
#include "RunTask.h"
#include "protocol/ServiceClient.h"

#include <QSet>
#include <QTest>

class SampleRoundsTest : public QObject {
    Q_OBJECT
private slots:
    void roundsFollowOneAnother()
    {
        DevServiceProcess service({QStringLiteral("--simulated")});
        QVERIFY2(service.started(), qPrintable(service.errorText()));
        QVERIFY(service.setScenario(QJsonObject{{"timeScale", 0.01}, {"sampleRounds", 2}}));
        ServiceClient client(service.connection());
        QList<ServerEvent> events;
        client.onEvent = [&](const ServerEvent &event) { events.append(event); };
        SessionInput input;
        input.domain = QStringLiteral("Machine learning and artificial intelligence");
        input.budgetMicros = 2'000'000;
        input.source = QStringLiteral("sample");
        runTask(client.start(input));
        runTask(client.command(QStringLiteral("sample.start")));

        qsizetype finalsPerRound = 0;
        qsizetype answersPerRound = 0;
        for (const DemoScript::Step &step : DemoScript::conversation({})) {
            finalsPerRound += step.event.transcript && step.event.transcript->final;
            answersPerRound = step.event.answers ? step.event.answers->size() : answersPerRound;
        }
        QList<Transcript> finals;
        const ServerEvent *bank = nullptr;
        const auto collect = [&] {
            finals.clear();
            for (const ServerEvent &event : std::as_const(events)) {
                if (event.transcript && event.transcript->final)
                    finals.append(*event.transcript);
                if (event.answers)
                    bank = &event;
            }
            return finals.size();
        };
        QTRY_VERIFY_WITH_TIMEOUT(collect() == 2 * finalsPerRound && events.last().type == QLatin1String("quiet"), 15'000);

        QSet<QString> ids;
        for (qsizetype i = 0; i < finals.size(); ++i) {
            ids.insert(finals[i].id);
            QCOMPARE(finals[i].id.endsWith(QLatin1String("-r2")), i >= finalsPerRound);
            if (i > 0)
                QVERIFY2(*finals[i].startMs >= *finals[i - 1].endMs, qPrintable(finals[i].id));
        }
        QCOMPARE(ids.size(), finals.size());
        QVERIFY(bank);
        QSet<QString> answerIds;
        for (const PreparedAnswer &answer : *bank->answers) {
            answerIds.insert(answer.id);
            QCOMPARE(answer.preparation, QStringLiteral("complete"));
        }
        QCOMPARE(answerIds.size(), 2 * answersPerRound);
        // Conversation times are compressed with the waits: two rounds of the sample in about three seconds.
        QVERIFY(bank->answers->last().occurrences->first().endMs < 4'000);
        QCOMPARE(bank->session->state, QStringLiteral("active"));
        QVERIFY(bank->session->spentMicros < input.budgetMicros);
        runTask(client.stop());
    }

    void roundCounts_data()
    {
        QTest::addColumn<QJsonValue>("rounds");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("one") << QJsonValue(1) << true;
        QTest::newRow("a thousand") << QJsonValue(1000) << true;
        QTest::newRow("none") << QJsonValue(0) << false;
        QTest::newRow("a thousand and one") << QJsonValue(1001) << false;
        QTest::newRow("a fraction") << QJsonValue(1.5) << false;
        QTest::newRow("text") << QJsonValue("two") << false;
        QTest::newRow("null") << QJsonValue() << false;
    }

    // The scenario option, and the command-line option that gives its default.
    void roundCounts()
    {
        QFETCH(QJsonValue, rounds);
        QFETCH(bool, accepted);
        QString error;
        const std::optional<DevScenario> scenario = DevScenario::fromJson(QJsonObject{{"sampleRounds", rounds}}, 1.0, 7, error);
        QCOMPARE(scenario.has_value(), accepted);
        QCOMPARE(scenario ? scenario->sampleRounds : 0, accepted ? rounds.toInt() : 0);
        QCOMPARE(error, accepted ? QString() : QStringLiteral("sampleRounds needs a whole number from 1 to 1000."));
        QCOMPARE(DevScenario::fromJson(QJsonObject{}, 1.0, 7, error)->sampleRounds, 7);

        if (rounds.isDouble()) {
            DevServiceProcess started({QStringLiteral("--sample-rounds"), QString::number(rounds.toDouble())});
            QCOMPARE(started.started(), accepted);
            QCOMPARE(started.errorText().contains(QStringLiteral("--sample-rounds needs a whole number")), !accepted);
        }
    }
};

QTEST_GUILESS_MAIN(SampleRoundsTest)
#include "tst_SampleRounds.moc"
