// Importing the largest text PDF the library accepts: 200 pages, of which 160 carry about
// 1,200 characters each (about 192 KB of text, one passage per page, 160 passages) and
// every fifth page is empty. The file is opened, every page's text extracted through
// Poppler and cut into passages. Target: well under 2 seconds per import.

#include "TestPdf.h"

#include "knowledge/KnowledgeImporter.h"
#include "platform/linux/PopplerPdfText.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int pageCount = 200;
constexpr int linesPerPage = 15;

QString pageText(int page)
{
    static const QStringList words{"sinus", "rhythm", "atrial", "ventricular", "conduction", "node", "interval",
                                   "ablation", "catheter", "refractory", "period", "re-entry", "pathway", "signal",
                                   "the", "of", "and", "a", "to", "in", "with", "during", "mapping", "voltage"};
    QStringList lines;
    unsigned state = 2'654'435'761u * unsigned(page + 1);
    for (int line = 0; line < linesPerPage; ++line) {
        QString text;
        while (text.size() < 78) {
            state = state * 1'103'515'245u + 12'345u;
            text += words[(state >> 16) % words.size()] + QLatin1Char(' ');
        }
        lines.append(text.trimmed());
    }
    return lines.join(QLatin1Char('\n'));
}

struct LargestPdf {
    QTemporaryDir folder;
    QString path;

    LargestPdf()
    {
        QStringList pages;
        for (int page = 0; page < pageCount; ++page)
            pages.append(page % 5 == 4 ? QString() : pageText(page));
        path = folder.filePath(QStringLiteral("Electrophysiology handbook.pdf"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(TestPdf::make(pages)) < 0)
            qFatal("cannot write the benchmark PDF");
    }
};

void BM_ImportLargestTextPdf(benchmark::State &state)
{
    const LargestPdf pdf;
    const QString domain = QStringLiteral("Cardiac electrophysiology");
    const PdfText::Opener opener = PopplerPdfText::opener();
    qsizetype passages = 0;
    for (auto _ : state) {
        const KnowledgeDocument document = KnowledgeImporter::read(pdf.path, domain, opener);
        passages = document.passages.size();
        benchmark::DoNotOptimize(passages);
    }
    if (passages != 160)
        state.SkipWithError("the document did not give 160 passages");
    state.counters["passages"] = double(passages);
}
BENCHMARK(BM_ImportLargestTextPdf)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The passage cutting alone, on the same amount of text already extracted.
void BM_MakePassages(benchmark::State &state)
{
    QList<KnowledgeImporter::Page> pages;
    for (int page = 0; page < pageCount; ++page) {
        if (page % 5 != 4)
            pages.append({QStringLiteral("Page %1").arg(page + 1), pageText(page)});
    }
    const QString fingerprint(64, QLatin1Char('0'));
    for (auto _ : state) {
        const KnowledgeDocument document = KnowledgeImporter::make(QStringLiteral("handbook.pdf"), pages,
                                                                   QStringLiteral("Cardiac electrophysiology"),
                                                                   fingerprint);
        benchmark::DoNotOptimize(document.passages.size());
    }
}
BENCHMARK(BM_MakePassages)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
