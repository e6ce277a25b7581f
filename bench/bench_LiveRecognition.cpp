// Feeds the five LibriVox readings that pocketsphinx-testdata ships at real time to the
// live mode of the development service over its session socket, one reading on "system"
// and another on "microphone" at once, and prints how quickly and how well it hears them:
// end of speech → final segment, a word → the first partial that carries it, the gaps
// between partials, the word error rate against the readings' transcription, the CPU the
// service spends per second of audio on each channel, and its peak memory.
//
// The time a word was spoken is where PocketSphinx places it when this program decodes
// the reading by itself beforehand (the same model, so the same words).
#include "DevServiceProcess.h"
#include "PocketSphinxRecognizer.h"
#include "RunTask.h"
#include "SpokenAudio.h"
#include "protocol/ServiceClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr double frameMs = 100;
constexpr double leadMs = 500;    // silence before each reading
constexpr double trailMs = 2500;  // and after it, so the hangover ends the utterance

struct Reading {
    QString id;
    QString reference;
    QByteArray pcm;
    QList<PocketSphinxRecognizer::Word> words;  // as decoded here, times from the reading's start
    double decodeMs = 0;
};

// Case folded, punctuation dropped, hyphenated words split, and the spellings a
// recogniser's dictionary and a transcriber choose differently for the same word made one.
QStringList normalised(const QString &text)
{
    static const QHash<QString, QString> same{{"mr", "mister"}, {"mrs", "missus"}, {"dr", "doctor"},
                                             {"ok", "okay"},    {"st", "saint"}};
    QString folded = text.toLower();
    folded.replace(QRegularExpression(QStringLiteral("<[^>]*>|\\([^)]*\\)")), QStringLiteral(" "));
    folded.replace(QRegularExpression(QStringLiteral("[^a-z0-9' ]")), QStringLiteral(" "));
    QStringList words;
    for (QString word : folded.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        word.remove(QLatin1Char('\''));
        if (!word.isEmpty())
            words.append(same.value(word, word));
    }
    return words;
}

// Substitutions, deletions and insertions turning `reference` into `hypothesis`.
qsizetype editDistance(const QStringList &reference, const QStringList &hypothesis)
{
    QList<qsizetype> row(hypothesis.size() + 1);
    for (qsizetype j = 0; j <= hypothesis.size(); ++j)
        row[j] = j;
    for (qsizetype i = 1; i <= reference.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= hypothesis.size(); ++j) {
            const qsizetype above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (reference[i - 1] == hypothesis[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[hypothesis.size()];
}

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return NAN;
    std::sort(values.begin(), values.end());
    const qsizetype at = qsizetype(std::ceil(p / 100.0 * double(values.size()))) - 1;
    return values[std::clamp<qsizetype>(at, 0, values.size() - 1)];
}

double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return NAN;
    const QString text = QString::fromLatin1(stat.readAll());
    const QStringList fields = text.mid(text.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
    // utime and stime are fields 14 and 15 of the line, 12 and 13 after the command name.
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

double rssMegabytes(qint64 pid, const char *field = "VmHWM")
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return NAN;
    const QRegularExpressionMatch kb = QRegularExpression(QString::fromLatin1(field) + QStringLiteral(":\\s+(\\d+) kB"))
                                           .match(QString::fromLatin1(status.readAll()));
    return kb.captured(1).toDouble() / 1024;
}

void wait(double ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(int(std::ceil(ms)), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

double rmsOf(QByteArrayView pcm)
{
    const auto *samples = reinterpret_cast<const qint16 *>(pcm.data());
    double sum = 0;
    for (qsizetype i = 0; i < pcm.size() / 2; ++i)
        sum += double(samples[i]) * samples[i];
    return pcm.size() < 2 ? 0 : std::sqrt(sum / double(pcm.size() / 2));
}

QList<Reading> readings()
{
    QList<Reading> found;
    QFile transcription(QDir(QString::fromLatin1(readingsFolder)).filePath(QStringLiteral("transcription")));
    if (!transcription.open(QIODevice::ReadOnly))
        return found;
    static const QRegularExpression line(QStringLiteral("^<s> (.*) </s> \\((.*)\\)$"));
    for (const QString &text : QString::fromUtf8(transcription.readAll()).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch match = line.match(text.trimmed());
        if (!match.hasMatch())
            continue;
        Reading reading;
        reading.id = match.captured(2);
        reading.reference = match.captured(1);
        reading.pcm = readingPcm(reading.id);
        if (reading.pcm.isEmpty())
            continue;
        PocketSphinxRecognizer decoder;
        QElapsedTimer clock;
        clock.start();
        decoder.begin(0);
        decoder.feed(reinterpret_cast<const qint16 *>(reading.pcm.constData()), std::size_t(reading.pcm.size() / 2));
        decoder.finish();
        reading.decodeMs = double(clock.nsecsElapsed()) / 1e6;
        reading.words = decoder.words();
        found.append(reading);
    }
    return found;
}

struct Heard {
    double atMs;
    Transcript transcript;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // What one decoder costs to make in this process, the first and a second one.
    const qint64 self = QCoreApplication::applicationPid();
    const double rssBefore = rssMegabytes(self, "VmRSS");
    QElapsedTimer making;
    making.start();
    auto first = std::make_unique<PocketSphinxRecognizer>();
    const double firstMakeMs = double(making.nsecsElapsed()) / 1e6;
    const double rssFirst = rssMegabytes(self, "VmRSS");
    making.restart();
    auto second = std::make_unique<PocketSphinxRecognizer>();
    const double secondMakeMs = double(making.nsecsElapsed()) / 1e6;
    const double rssSecond = rssMegabytes(self, "VmRSS");
    second.reset();
    first.reset();

    const QList<Reading> all = readings();
    if (all.size() != 5) {
        std::fprintf(stderr, "The five LibriVox readings of pocketsphinx-testdata are not in %s.\n",
                     readingsFolder);
        return 1;
    }

    DevServiceProcess service;
    if (!service.started()) {
        std::fprintf(stderr, "%s\n", qPrintable(service.errorText()));
        return 1;
    }
    const qint64 pid = service.processId();
    const double idleRss = rssMegabytes(pid);

    QList<double> endToFinal, wordToPartial, partialGaps;
    qsizetype errors = 0, referenceWords = 0, unheardWords = 0;
    double audioSeconds = 0;
    const double cpuBefore = cpuSeconds(pid);
    std::printf("%-42s %-10s %s\n", "reading", "channel", "heard");
    for (qsizetype i = 0; i < all.size(); ++i) {
        const Reading *played[2] = {&all[i], &all[(i + 1) % all.size()]};
        const QString channels[2] = {QStringLiteral("system"), QStringLiteral("microphone")};
        QByteArray pcm[2];
        for (int c = 0; c < 2; ++c)
            pcm[c] = QByteArray(qsizetype(leadMs * 32), '\0') + played[c]->pcm + QByteArray(qsizetype(trailMs * 32), '\0');

        ServiceClient client(service.connection());
        QElapsedTimer clock;
        QList<Heard> heard[2];
        client.onEvent = [&](const ServerEvent &event) {
            if (event.type == QLatin1String("transcript") && event.transcript)
                heard[event.transcript->channel == channels[0] ? 0 : 1].append(
                    Heard{double(clock.nsecsElapsed()) / 1e6, *event.transcript});
        };
        SessionInput input;
        input.domain = QStringLiteral("Sense and Sensibility");
        input.budgetMicros = 1'000'000;
        input.source = QStringLiteral("both");
        input.timeOffsetMs = 0;
        runTask(client.start(input));

        // At real time: frame k of each channel leaves k × 100 ms after the first.
        const qsizetype frames = std::max(pcm[0].size(), pcm[1].size()) / 3200 + 1;
        double lastVoicedSentMs[2] = {-1, -1};
        clock.start();
        for (qsizetype k = 0; k < frames; ++k) {
            wait(double(k) * frameMs - double(clock.nsecsElapsed()) / 1e6);
            for (int c = 0; c < 2; ++c) {
                const QByteArray frame = pcm[c].mid(k * 3200, 3200);
                if (frame.size() < 2)
                    continue;
                runTask(client.sendAudio(frame, channels[c]));
                if (rmsOf(frame) >= 400)
                    lastVoicedSentMs[c] = double(clock.nsecsElapsed()) / 1e6;
            }
        }
        QElapsedTimer settling;
        settling.start();
        const auto finalOf = [](const QList<Heard> &events) {
            return std::count_if(events.cbegin(), events.cend(), [](const Heard &h) { return h.transcript.final; });
        };
        while ((finalOf(heard[0]) == 0 || finalOf(heard[1]) == 0) && settling.elapsed() < 5'000)
            wait(20);
        runTask(client.stop());
        wait(300);  // the session's decoders are let go

        for (int c = 0; c < 2; ++c) {
            QStringList finals;
            double lastFinalMs = -1;
            QList<Heard> partials;
            for (const Heard &h : std::as_const(heard[c])) {
                if (h.transcript.final) {
                    finals.append(h.transcript.text);
                    lastFinalMs = h.atMs;
                } else {
                    partials.append(h);
                }
            }
            const QString text = finals.join(QLatin1Char(' '));
            std::printf("%-42s %-10s %s\n", qPrintable(played[c]->id), qPrintable(channels[c]), qPrintable(text));
            const QStringList reference = normalised(played[c]->reference);
            errors += editDistance(reference, normalised(text));
            referenceWords += reference.size();
            audioSeconds += double(played[c]->pcm.size()) / 32'000;
            if (lastFinalMs >= 0 && lastVoicedSentMs[c] >= 0)
                endToFinal.append(lastFinalMs - lastVoicedSentMs[c]);
            // Each word, from the moment its end was sent to the first partial carrying it
            // within two words of its place (or the final segment, when no partial did).
            const QStringList finalWords = normalised(text);
            for (qsizetype w = 0; w < played[c]->words.size(); ++w) {
                const QString word = normalised(played[c]->words[w].text).value(0);
                if (finalWords.value(w) != word) {
                    ++unheardWords;
                    continue;
                }
                const double spokenMs = leadMs + played[c]->words[w].endMs;
                double carriedMs = lastFinalMs;
                for (const Heard &p : std::as_const(partials)) {
                    if (p.atMs < leadMs + played[c]->words[w].startMs)
                        continue;
                    const QStringList carried = normalised(p.transcript.text);
                    if (carried.mid(std::max<qsizetype>(0, w - 2), 5).contains(word)) {
                        carriedMs = p.atMs;
                        break;
                    }
                }
                if (carriedMs >= 0)
                    wordToPartial.append(std::max(0.0, carriedMs - spokenMs));
            }
            for (qsizetype p = 1; p < partials.size(); ++p) {
                if (partials[p].atMs <= lastVoicedSentMs[c])
                    partialGaps.append(partials[p].atMs - partials[p - 1].atMs);
            }
        }
    }
    const double cpu = cpuSeconds(pid) - cpuBefore;
    const double peakRss = rssMegabytes(pid);

    double offlineAudio = 0, offlineDecode = 0;
    for (const Reading &reading : all) {
        offlineAudio += double(reading.pcm.size()) / 32.0;
        offlineDecode += reading.decodeMs;
    }

    std::printf("\n%-58s %12s %s\n", "figure", "measured", "target");
    const auto row = [](const char *name, double value, const char *target) {
        std::printf("%-58s %12.1f %s\n", name, value, target);
    };
    row("end of speech -> final segment, p50 (ms)", percentile(endToFinal, 50), "hangover 1000 + decoding");
    row("end of speech -> final segment, p95 (ms)", percentile(endToFinal, 95), "<= 1300");
    row("word spoken -> first partial carrying it, p50 (ms)", percentile(wordToPartial, 50), "");
    row("word spoken -> first partial carrying it, p95 (ms)", percentile(wordToPartial, 95), "<= 600");
    row("interval between partials during speech, p95 (ms)", percentile(partialGaps, 95), "<= 500");
    row("interval between partials during speech, max (ms)", percentile(partialGaps, 100), "");
    row("word error rate of the final segments (%)", 100.0 * double(errors) / double(std::max<qsizetype>(1, referenceWords)),
        "<= 40");
    row("service CPU per second of audio, per channel (RTF)", cpu / std::max(1e-9, audioSeconds), "<= 0.5");
    row("decoding alone in this process, one channel (RTF)", offlineDecode / std::max(1e-9, offlineAudio), "");
    row("service peak RSS, two channels decoding (MB)", peakRss, "<= 150");
    row("service RSS before any session (MB)", idleRss, "");
    row("making the first decoder in a process (ms)", firstMakeMs, "");
    row("making a second decoder (ms)", secondMakeMs, "");
    row("memory of the first decoder in a process (MB)", rssFirst - rssBefore, "");
    row("memory of a second decoder (MB)", rssSecond - rssFirst, "");
    std::printf("\n%lld utterance ends, %lld words timed (%lld words of the reference decoding not in the service's "
                "final at their place), %lld partial intervals, %.1f s of audio.\n",
                qlonglong(endToFinal.size()), qlonglong(wordToPartial.size()), qlonglong(unheardWords),
                qlonglong(partialGaps.size()), audioSeconds);
    return 0;
}
