// Decoding of a "bank" event carrying a large set of prepared answers, the biggest
// message the session socket delivers.

#include "protocol/ServerEvent.h"

#include <QJsonDocument>

#include <benchmark/benchmark.h>

namespace {

constexpr int answerCount = 1200;

PreparedAnswer realisticAnswer(int i)
{
    const QString n = QString::number(i);
    PreparedAnswer answer;
    answer.id = QStringLiteral("ans-%1-7f3c9e2a").arg(i, 5, 10, QLatin1Char('0'));
    answer.topic = QStringLiteral("Renal dosing adjustments, topic ") + n;
    answer.title = QStringLiteral("When to reduce the dose for reduced kidney function (") + n + u')';
    answer.question = QStringLiteral("How should the maintenance dose change when creatinine clearance falls below "
                                     "30 mL/min, and what monitoring is needed? (") + n + u')';
    answer.cue = QStringLiteral("Halve the maintenance dose below 30 mL/min; check levels after 48 h.");
    answer.deeper = QStringLiteral(
        "Clearance is mostly renal, so exposure roughly doubles once creatinine clearance drops below "
        "30 mL/min. The loading dose is unchanged because it depends on volume of distribution, but the "
        "maintenance dose should be halved or the interval doubled. Trough levels after 48 hours confirm "
        "that the adjustment worked; repeat them after any change in renal function.");
    answer.answer = QStringLiteral(
        "Keep the loading dose, halve the maintenance dose (or double the interval) below 30 mL/min, and "
        "measure a trough level after 48 hours. Below 10 mL/min or on dialysis, dose after each session "
        "and follow levels. Watch for accumulation signs: nausea, confusion, and QT prolongation.");
    answer.simpler = QStringLiteral("The kidneys clear the drug, so weaker kidneys need a smaller dose. "
                                    "Give half as much and check the blood level after two days.");
    answer.eli5 = QStringLiteral("Your body uses its kidneys to wash the medicine out. If the kidneys are "
                                 "tired, the medicine stays longer, so we give less.");
    answer.uncertainty = QStringLiteral("Moderate: based on product labelling; individual response varies.");
    answer.hidden = (i % 17) == 0;
    answer.provisional = false;
    answer.status = QStringLiteral("ready");
    answer.source = QStringLiteral("live");
    answer.preparation = QStringLiteral("deep");
    answer.contextVersion = 1000 + i;
    answer.followUps = {
        {QStringLiteral("What about patients on haemodialysis?"),
         QStringLiteral("Give the dose after each dialysis session and check pre-dialysis levels weekly.")},
        {QStringLiteral("Does the loading dose change?"),
         QStringLiteral("No. The loading dose depends on volume of distribution, not on clearance.")}};
    answer.category = QStringLiteral("clinical");
    answer.occurrences = QList<SpeechOccurrence>{
        {QStringLiteral("occ-%1-a").arg(i), 1000.0 * i + 125.5, 1000.0 * i + 2890.25},
        {QStringLiteral("occ-%1-b").arg(i), 1000.0 * i + 40210.0, 1000.0 * i + 43775.75}};
    answer.citations = QList<DocumentCitation>{
        {QStringLiteral("cit-%1").arg(i), QStringLiteral("doc-renal-guide-2025"),
         QStringLiteral("Renal Drug Handbook, 6th edition"), QStringLiteral("Chapter 4, p. 112"),
         QStringLiteral("Reduce the maintenance dose by 50% when CrCl is below 30 mL/min.")}};
    answer.retrieval = RetrievalInfo{true, 3 + i % 5, 12.75 + i % 9};
    return answer;
}

const QByteArray &bankJson()
{
    static const QByteArray json = [] {
        ServerEvent event;
        event.type = QStringLiteral("bank");
        QList<PreparedAnswer> answers;
        answers.reserve(answerCount);
        for (int i = 0; i < answerCount; ++i)
            answers.append(realisticAnswer(i));
        event.answers = std::move(answers);
        return wire::encode(event);
    }();
    return json;
}

void BM_DecodeBankEvent(benchmark::State &state)
{
    const QByteArray &json = bankJson();
    for (auto _ : state) {
        ServerEvent event = wire::decode<ServerEvent>(json);
        benchmark::DoNotOptimize(event);
        if (!event.answers || event.answers->size() != answerCount)
            state.SkipWithError("decoded the wrong number of answers");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * json.size());
    state.SetItemsProcessed(int64_t(state.iterations()) * answerCount);
    state.counters["json_bytes"] = double(json.size());
}
BENCHMARK(BM_DecodeBankEvent)->Unit(benchmark::kMillisecond);

// The JSON parsing share of the decode above.
void BM_ParseBankEventJsonOnly(benchmark::State &state)
{
    const QByteArray &json = bankJson();
    for (auto _ : state) {
        QJsonDocument document = QJsonDocument::fromJson(json);
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * json.size());
}
BENCHMARK(BM_ParseBankEventJsonOnly)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
