#include "DemoScript.h"

#include "DevServiceProcess.h"

#include <QHash>
#include <QSet>
#include <QTest>

namespace {

const QList<KnowledgePassage> noKnowledge;

QList<PreparedAnswer> lastBank(const QList<DemoScript::Step> &steps)
{
    for (qsizetype i = steps.size() - 1; i >= 0; --i) {
        if (steps[i].event.type == QLatin1String("bank"))
            return steps[i].event.answers.value_or(QList<PreparedAnswer>());
    }
    return {};
}

qsizetype finalSegments(const QList<DemoScript::Step> &steps)
{
    return std::count_if(steps.cbegin(), steps.cend(),
                         [](const DemoScript::Step &step) { return step.event.transcript && step.event.transcript->final; });
}

} // namespace

class DemoScriptTest : public QObject {
    Q_OBJECT
private slots:
    void speechArrivesAsItIsSpoken()
    {
        const QList<DemoScript::Step> steps = DemoScript::conversation(noKnowledge);
        QHash<QString, Transcript> latest;
        QSet<QString> channels;
        double lastEndMs = 0;
        qint64 spent = 0;
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const DemoScript::Step &step = steps[i];
            spent += step.costMicros;
            if (i > 0)
                QVERIFY(step.atMs >= steps[i - 1].atMs);
            if (!step.event.transcript)
                continue;
            const Transcript &t = *step.event.transcript;
            QVERIFY(step.costMicros > 0);
            // Sent shortly after the words it holds were spoken.
            QVERIFY2(step.atMs >= *t.endMs && step.atMs <= *t.endMs + 1'000, qPrintable(t.id));
            QVERIFY(*t.startMs < *t.endMs);
            channels.insert(t.channel);
            if (latest.contains(t.id)) {
                const Transcript &before = latest[t.id];
                QVERIFY2(!before.final, qPrintable(t.id));
                QVERIFY2(t.text.startsWith(before.text + QLatin1Char(' ')), qPrintable(t.text));
                QCOMPARE(t.startMs, before.startMs);
                QVERIFY(*t.endMs > *before.endMs);
            } else {
                QVERIFY2(!t.final, qPrintable(t.id + " has no partials"));
                QVERIFY(*t.startMs >= lastEndMs);
            }
            lastEndMs = *t.endMs;
            latest[t.id] = t;
        }
        QVERIFY(lastEndMs >= 120'000 && lastEndMs <= 180'000);
        QVERIFY(steps.last().atMs <= 185'000);
        QCOMPARE(channels, (QSet<QString>{"system", "microphone"}));
        const qsizetype finals = finalSegments(steps);
        QVERIFY(finals >= 18 && finals <= 24);
        QCOMPARE(qsizetype(latest.size()), finals);
        for (const Transcript &t : std::as_const(latest))
            QVERIFY2(t.final, qPrintable(t.id));
        // Partials per segment: 2 to 4.
        QHash<QString, int> partials;
        for (const DemoScript::Step &step : steps) {
            if (step.event.transcript && !step.event.transcript->final)
                ++partials[step.event.transcript->id];
        }
        for (const int count : std::as_const(partials))
            QVERIFY(count >= 2 && count <= 4);
        QVERIFY(spent > 0 && spent < 1'000'000);
    }

    void answersGoThroughTheirStages()
    {
        const QList<DemoScript::Step> steps = DemoScript::conversation(noKnowledge);
        QHash<QString, int> stage;  // 1 preparing, 2 cue and Deeper, 3 complete
        QStringList order;
        int started = 0;
        int focused = 0;
        for (const DemoScript::Step &step : steps) {
            const QString &type = step.event.type;
            if (type == QLatin1String("answer.started"))
                ++started;
            if (type == QLatin1String("answer")) {
                ++focused;
                QVERIFY(step.event.answer && stage.value(step.event.answer->id) == 2);
            }
            if (type == QLatin1String("quiet"))
                QVERIFY(std::all_of(stage.cbegin(), stage.cend(), [](int s) { return s == 3; }));
            if (type != QLatin1String("bank"))
                continue;
            QVERIFY(step.costMicros > 0);
            const QList<PreparedAnswer> bank = *step.event.answers;
            QVERIFY(bank.size() <= started);
            QStringList ids;
            for (const PreparedAnswer &answer : bank) {
                ids.append(answer.id);
                QCOMPARE(answer.source, QStringLiteral("sample"));
                QVERIFY(answer.retrieval && !answer.retrieval->searched);
                QVERIFY(answer.occurrences && answer.occurrences->size() == 1);
                int now = 0;
                if (answer.provisional) {
                    QCOMPARE(answer.status, QStringLiteral("preparing"));
                    QCOMPARE(answer.preparation, QStringLiteral("partial"));
                    now = 1;
                } else {
                    QCOMPARE(answer.status, QStringLiteral("ready"));
                    QVERIFY(!answer.cue.isEmpty() && !answer.deeper.isEmpty());
                    now = answer.preparation == QLatin1String("complete") ? 3 : 2;
                    if (now == 2) {
                        QCOMPARE(answer.preparation, QStringLiteral("partial"));
                        QVERIFY(!answer.simpler && answer.followUps.isEmpty());
                    }
                }
                QVERIFY2(now >= stage.value(answer.id), qPrintable(answer.id));
                stage[answer.id] = now;
            }
            // Whole lists in a stable order: what was listed keeps its place.
            QCOMPARE(ids.mid(0, order.size()), order);
            order = ids;
        }
        QCOMPARE(steps.last().event.type, QStringLiteral("quiet"));
        QVERIFY(focused >= 1 && focused <= 2);

        const QList<PreparedAnswer> bank = lastBank(steps);
        QVERIFY(bank.size() >= 10 && bank.size() <= 14);
        QCOMPARE(started, bank.size());
        QSet<QString> categories;
        int withoutEli5 = 0;
        int hidden = 0;
        for (const PreparedAnswer &answer : bank) {
            QCOMPARE(answer.preparation, QStringLiteral("complete"));
            QVERIFY(answer.simpler && !answer.simpler->isEmpty());
            QVERIFY(answer.followUps.size() >= 1 && answer.followUps.size() <= 3);
            categories.insert(answer.category.value_or(QString()));
            if (!answer.eli5) {
                QCOMPARE(answer.category, std::optional<QString>(QStringLiteral("date")));
                ++withoutEli5;
            }
            hidden += answer.hidden;
        }
        QCOMPARE(categories, (QSet<QString>{"term", "date"}));
        QVERIFY(withoutEli5 <= 2);
        QCOMPARE(hidden, 1);
    }

    void citations_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cited");  // the answer that cites it, or none
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
        const QList<PreparedAnswer> bank = lastBank(DemoScript::conversation({note}));
        for (const PreparedAnswer &answer : bank) {
            QVERIFY(answer.retrieval && answer.retrieval->searched);
            if (answer.id != cited) {
                QVERIFY2(!answer.citations, qPrintable(answer.id));
                QCOMPARE(answer.retrieval->matched, 0);
                continue;
            }
            QVERIFY(answer.citations && answer.citations->size() == 1);
            QCOMPARE(answer.retrieval->matched, 1);
            const DocumentCitation &citation = answer.citations->first();
            QCOMPARE(citation.documentId, note.documentId);
            QCOMPARE(citation.title, note.title);
            QCOMPARE(citation.location, note.location);
            QVERIFY2(note.text.contains(citation.quote), qPrintable(citation.quote));
            QVERIFY(citation.quote.contains(mention, Qt::CaseInsensitive));
            QVERIFY(citation.quote.size() <= 320);
            QVERIFY(!citation.quote.startsWith(QLatin1Char('-')) && !citation.quote.startsWith(QLatin1Char(' ')));
        }
    }

    void timeScaleAndResumeOffset()
    {
        const QList<DemoScript::Step> real = DemoScript::conversation(noKnowledge);
        const QList<DemoScript::Step> fast = DemoScript::conversation(noKnowledge, 0.5, 10'000);
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
        const SpeechOccurrence before = lastBank(real).first().occurrences->first();
        const SpeechOccurrence after = lastBank(fast).first().occurrences->first();
        QCOMPARE(after.startMs, 10'000 + before.startMs * 0.5);
    }

    void badTimeScalesAreRefused()
    {
        DevServiceProcess service({QStringLiteral("--simulated")});
        QVERIFY2(service.started(), qPrintable(service.errorText()));
        QVERIFY(!service.setScenario(QJsonObject{{"timeScale", 0}}));
        QVERIFY(!service.setScenario(QJsonObject{{"timeScale", "fast"}}));
        QVERIFY(!service.setScenario(QJsonObject{{"timeScale", 1000}}));
        QVERIFY(service.setScenario(QJsonObject{{"timeScale", 100}}));
        for (const char *scale : {"0", "-1", "fast", "nan"}) {
            DevServiceProcess refused({QStringLiteral("--simulated"), QStringLiteral("--time-scale"), QString::fromLatin1(scale)});
            QVERIFY2(!refused.started(), scale);
            QVERIFY2(refused.errorText().contains(QStringLiteral("--time-scale needs a factor")), qPrintable(refused.errorText()));
        }
    }
};

QTEST_GUILESS_MAIN(DemoScriptTest)
#include "tst_DemoScript.moc"
