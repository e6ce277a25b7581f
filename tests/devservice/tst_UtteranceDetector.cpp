#include "UtteranceDetector.h"

#include <QTest>

#include <cmath>
#include <numbers>

namespace {

// A stretch of signal: how long, and the amplitude of its 220 Hz tone (0: digital silence;
// -1: a full-scale square wave; -2: white noise at about -26 dBFS).
struct Piece {
    double ms;
    int amplitude;
};
using Layout = QList<Piece>;
using Spans = QList<std::pair<double, double>>;

QByteArray pcmOf(const Layout &layout)
{
    QByteArray pcm;
    qint64 n = 0;
    quint32 noise = 1;
    for (const Piece &piece : layout) {
        const qint64 samples = qint64(piece.ms * 16);
        for (qint64 i = 0; i < samples; ++i, ++n) {
            noise = noise * 1103515245 + 12345;
            const qint16 value = piece.amplitude == -2 ? qint16(int((noise >> 16) % 3001) * 2 - 3000)
                : piece.amplitude < 0                  ? ((n / 36) % 2 ? qint16(32767) : qint16(-32768))
                                                     : qint16(std::lround(piece.amplitude
                                                                          * std::sin(2 * std::numbers::pi * 220 * n / 16000.0)));
            pcm.append(char(value & 0xff));
            pcm.append(char((value >> 8) & 0xff));
        }
    }
    return pcm;
}

} // namespace

class UtteranceDetectorTest : public QObject {
    Q_OBJECT
private slots:
    void utterancesInSignals_data()
    {
        constexpr int speech = 3000;  // about -24 dBFS
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<Spans>("utterances");
        QTest::newRow("two utterances two seconds apart")
            << Layout{{1000, 0}, {2000, speech}, {2000, 0}, {1500, speech}, {1500, 0}} << Spans{{1000, 3000}, {5000, 6500}};
        QTest::newRow("half-second pause inside a sentence")
            << Layout{{500, 0}, {1500, speech}, {500, 0}, {1000, speech}, {1500, 0}} << Spans{{500, 3500}};
        QTest::newRow("a pause of a second and a half splits")
            << Layout{{1000, speech}, {1500, 0}, {1000, speech}, {1200, 0}} << Spans{{0, 1000}, {2500, 3500}};
        QTest::newRow("silence only") << Layout{{5000, 0}} << Spans{};
        QTest::newRow("hum below the threshold") << Layout{{5000, 200}} << Spans{};
        QTest::newRow("white noise is not speech") << Layout{{500, 0}, {2000, -2}, {500, 0}} << Spans{};
        QTest::newRow("a click is not speech") << Layout{{1000, 0}, {40, speech}, {2000, 0}} << Spans{};
        QTest::newRow("speech up to the end closes on finish") << Layout{{500, 0}, {1000, speech}} << Spans{{500, 1500}};
        QTest::newRow("full-scale square wave") << Layout{{200, 0}, {1000, -1}, {1200, 0}} << Spans{{200, 1200}};
        QTest::newRow("long speech is cut at thirty seconds")
            << Layout{{31'000, speech}, {1200, 0}} << Spans{{0, 30'000}, {30'000, 31'000}};
    }

    // The same utterances whatever size the pieces of audio come in, odd sizes included.
    void utterancesInSignals()
    {
        QFETCH(Layout, layout);
        QFETCH(Spans, utterances);
        const QByteArray pcm = pcmOf(layout);
        for (const qsizetype chunk : {qsizetype(3200), qsizetype(1), qsizetype(7), qsizetype(32'000)}) {
            UtteranceDetector detector;
            QList<UtteranceDetector::Change> changes;
            for (qsizetype at = 0; at < pcm.size(); at += chunk)
                changes += detector.feed(QByteArrayView(pcm).sliced(at, std::min(chunk, pcm.size() - at)));
            QCOMPARE(detector.positionMs(), double(pcm.size() / 2) / 16);
            if (const std::optional<UtteranceDetector::Change> end = detector.finish())
                changes.append(*end);
            QVERIFY(!detector.open());

            Spans found;
            std::optional<UtteranceDetector::Change> open;
            for (const UtteranceDetector::Change &change : std::as_const(changes)) {
                using Kind = UtteranceDetector::Change::Kind;
                QCOMPARE(change.kind == Kind::Started, !open.has_value());
                if (open) {
                    QCOMPARE(change.startMs, open->startMs);
                    QVERIFY(change.endMs >= open->endMs);
                }
                open = change;
                if (change.kind == Kind::Ended) {
                    found.append({change.startMs, change.endMs});
                    open.reset();
                }
            }
            QVERIFY2(found.size() == utterances.size(), qPrintable(QStringLiteral("chunk %1: %2 utterances").arg(chunk).arg(found.size())));
            for (qsizetype i = 0; i < found.size(); ++i) {
                QVERIFY2(std::abs(found[i].first - utterances[i].first) <= 20, qPrintable(QString::number(found[i].first)));
                QVERIFY2(std::abs(found[i].second - utterances[i].second) <= 20, qPrintable(QString::number(found[i].second)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(UtteranceDetectorTest)
#include "tst_UtteranceDetector.moc"
