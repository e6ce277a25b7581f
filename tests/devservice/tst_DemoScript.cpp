#include "DemoScript.h"
#include "DevScenario.h"

#include "DevServiceProcess.h"
#include "RunTask.h"
#include "protocol/ServiceClient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTest>

namespace {

QList<PreparedAnswer> lastBank(const QList<DemoScript::Step> &steps)
{
    for (qsizetype i = steps.size() - 1; i >= 0; --i) {
        if (steps[i].event.type == QLatin1String("bank"))
            return steps[i].event.answers.value_or(QList<PreparedAnswer>());
    }
    return {};
}

} // namespace

class DemoScriptTest : public QObject {
    Q_OBJECT
private slots:
    void citations_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cited"); // the answer that cites it, or none
        QTest::addColumn<QString>("mention");
        QTest::newRow("Markdown note on calibration")
            << "# Calibration\n\n- A model is well calibrated when its predicted probabilities match observed "
               "frequencies.\n- Check it with a reliability diagram."
            << "answer-calibration" << "A model is well calibrated";
        QTest::newRow("retrieval augmented generation, no hyphen")
            << "Notes from the platform team. Retrieval augmented generation grounds each reply in passages "
               "fetched for the question. It needs a good index."
            << "answer-rag" << "Retrieval augmented generation";
        QTest::newRow("one very long sentence")
            << QString(QString("word ").repeated(200) + "temperature scaling " + QString("word ").repeated(200))
            << "answer-temperature" << "temperature scaling";
        QTest::newRow("unrelated note") << "Sourdough needs a long, cool fermentation. Recalibrate the oven yearly."
                                        << "" << "";
    }

    void citations()
    {
        QFETCH(QString, text);
        QFETCH(QString, cited);
        QFETCH(QString, mention);
        const KnowledgePassage note{QStringLiteral("doc-1:1"), QStringLiteral("doc-1"), QStringLiteral("ML notes"),
                                    QStringLiteral("notes.md · passage 1"), text};
        for (const PreparedAnswer &answer : lastBank(DemoScript::conversation({note}))) {
            QVERIFY(answer.retrieval && answer.retrieval->searched);
            QCOMPARE(answer.retrieval->matched, answer.id == cited ? 1 : 0);
            if (answer.id != cited) {
                QVERIFY2(!answer.citations, qPrintable(answer.id));
                continue;
            }
            QVERIFY(answer.citations && answer.citations->size() == 1);
            const DocumentCitation &citation = answer.citations->first();
            QCOMPARE(citation, (DocumentCitation{note.id, note.documentId, note.title, note.location, citation.quote}));
            QVERIFY2(note.text.contains(citation.quote) && citation.quote.contains(mention, Qt::CaseInsensitive),
                     qPrintable(citation.quote));
            QVERIFY(citation.quote.size() <= 320);
            QVERIFY(!citation.quote.startsWith(QLatin1Char('-')) && !citation.quote.startsWith(QLatin1Char(' ')));
        }
    }

    void timeScaleAndResumeOffset()
    {
        const QList<DemoScript::Step> real = DemoScript::conversation({});
        const QList<DemoScript::Step> fast = DemoScript::conversation({}, 0.5, 10'000);
        QCOMPARE(fast.size(), real.size());
        for (qsizetype i = 0; i < real.size(); ++i) {
            QCOMPARE(fast[i].atMs, real[i].atMs * 0.5);
            QCOMPARE(fast[i].event.type, real[i].event.type);
            if (const std::optional<Transcript> &t = real[i].event.transcript) {
                QCOMPARE(*fast[i].event.transcript->startMs, 10'000 + *t->startMs * 0.5);
                QCOMPARE(*fast[i].event.transcript->endMs, 10'000 + *t->endMs * 0.5);
                // A resumed conversation keeps the lines heard before it.
                QVERIFY(fast[i].event.transcript->id != t->id);
            }
        }
        QCOMPARE(lastBank(fast).first().occurrences->first().startMs,
                 10'000 + lastBank(real).first().occurrences->first().startMs * 0.5);
    }

    // "sample.start" plays two rounds back to back, the second with ids of its own.
    void sampleRoundsFollowOneAnother()
    {
        DevServiceProcess service({QStringLiteral("--simulated")});
        QVERIFY2(service.started(), qPrintable(service.errorText()));
        QVERIFY(!service.setScenario(QJsonObject{{"timeScale", 0}}));
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

        const QList<DemoScript::Step> round = DemoScript::conversation({});
        const qsizetype finalsPerRound = std::count_if(round.cbegin(), round.cend(), [](const DemoScript::Step &step) {
            return step.event.transcript && step.event.transcript->final;
        });
        QList<Transcript> finals;
        const auto collect = [&] {
            finals.clear();
            for (const ServerEvent &event : std::as_const(events))
                if (event.transcript && event.transcript->final)
                    finals.append(*event.transcript);
            return finals.size();
        };
        QTRY_VERIFY_WITH_TIMEOUT(collect() == 2 * finalsPerRound && events.last().type == QLatin1String("quiet"), 15'000);
        QSet<QString> ids;
        for (qsizetype i = 0; i < finals.size(); ++i) {
            ids.insert(finals[i].id);
            QCOMPARE(finals[i].id.endsWith(QLatin1String("-r2")), i >= finalsPerRound);
            QVERIFY2(i == 0 || *finals[i].startMs >= *finals[i - 1].endMs, qPrintable(finals[i].id));
        }
        QCOMPARE(ids.size(), finals.size());
        const ServerEvent &bank = *std::find_if(events.crbegin(), events.crend(), [](const ServerEvent &e) { return bool(e.answers); });
        QCOMPARE(bank.answers->size(), 2 * lastBank(round).size());
        // Conversation times are compressed with the waits: two rounds in about three seconds.
        QVERIFY(bank.answers->last().occurrences->first().endMs < 4'000);
        QVERIFY(bank.session->state == QLatin1String("active") && bank.session->spentMicros < input.budgetMicros);
        runTask(client.stop());
    }

    // The scenario options; the command-line options that give their defaults are checked
    // by a started service.
    void scenarioOptions_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<bool>("accepted");
        const auto row = [](const char *option, const QJsonValue &value, bool accepted) {
            QTest::addRow("%s %s", option, QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).constData())
                << QString::fromLatin1(option) << value << accepted;
        };
        row("sampleRounds", 1, true);
        row("sampleRounds", 1000, true);
        row("sampleRounds", 0, false);
        row("sampleRounds", 1001, false);
        row("sampleRounds", 1.5, false);
        row("sampleRounds", "two", false);
        row("timeScale", 100, true);
        row("timeScale", 0, false);
        row("timeScale", 100.5, false);
        row("timeScale", "fast", false);
    }

    void scenarioOptions()
    {
        QFETCH(QString, option);
        QFETCH(QJsonValue, value);
        QFETCH(bool, accepted);
        const bool rounds = option == QLatin1String("sampleRounds");
        QString error;
        const std::optional<DevScenario> scenario = DevScenario::fromJson(QJsonObject{{option, value}}, 1.0, 7, error);
        QCOMPARE(scenario.has_value(), accepted);
        if (scenario)
            QCOMPARE(rounds ? scenario->sampleRounds : scenario->timeScale, value.toDouble());
        QCOMPARE(error, accepted ? QString()
                        : rounds ? QStringLiteral("sampleRounds needs a whole number from 1 to 1000.")
                                 : QStringLiteral("timeScale needs a number above 0 and at most 100."));
        const DevScenario defaults = *DevScenario::fromJson(QJsonObject{}, 0.5, 7, error);
        QVERIFY(defaults.sampleRounds == 7 && defaults.timeScale == 0.5);

        if (value.isDouble()) {
            DevServiceProcess started({QStringLiteral("--simulated"), QString::fromLatin1(rounds ? "--sample-rounds" : "--time-scale"),
                                       QString::number(value.toDouble())});
            QCOMPARE(started.started(), accepted);
            QCOMPARE(started.errorText().contains(rounds ? QStringLiteral("--sample-rounds needs a whole number")
                                                         : QStringLiteral("--time-scale needs a factor")),
                     !accepted);
        }
    }
};

QTEST_GUILESS_MAIN(DemoScriptTest)
#include "tst_DemoScript.moc"
