#include "audio/AudioFramePipe.h"

#include "DrainedStream.h"

#include <QTest>
#include <QtEndian>

#include <cmath>
#include <vector>

namespace {

const AudioFormat monoInt16k{16'000, 1, SampleLayout::Int16};

// Writes its value (the channel count of its format) for every input frame, or fails: a
// converter whose output is easy to predict. Counts the converters built.
struct MarkerFactory {
    struct Marker : SampleConverter {
        qint16 value;
        bool failing;
        Marker(qint16 value, bool failing) : value(value), failing(failing) {}
        std::optional<qsizetype> convert(const AudioBuffer &input, qint16 *output, qsizetype capacity) override
        {
            if (failing)
                return std::nullopt;
            std::fill(output, output + std::min(input.frames, capacity), value);
            return std::min(input.frames, capacity);
        }
    };
    std::shared_ptr<int> builds = std::make_shared<int>(0);
    bool failing = false;
    SampleConverterFactory make() const
    {
        return [builds = builds, failing = failing](const AudioFormat &format) -> std::unique_ptr<SampleConverter> {
            ++*builds;
            return std::make_unique<Marker>(static_cast<qint16>(format.channels), failing);
        };
    }
};

// A pipe on the "system" channel, with marker converters unless `real`.
struct Piped {
    explicit Piped(bool real = false, bool failing = false)
    {
        factory.failing = failing;
        pipe = std::make_shared<AudioFramePipe>(QStringLiteral("system"), stream,
                                                real ? SampleConverterFactory() : factory.make());
    }
    // `frames` silent samples in that format.
    void feed(qsizetype frames, const AudioFormat &format = monoInt16k)
    {
        const QByteArray samples(frames * 2 * std::max(format.channels, 1), '\0');
        pipe->receive(AudioBuffer{format, frames, samples.constData()});
    }
    CapturedAudio next() { return *runTask(stream->next()); }

    MarkerFactory factory;
    std::shared_ptr<CaptureStream> stream = std::make_shared<CaptureStream>();
    std::shared_ptr<AudioFramePipe> pipe;
};

qint16 sampleAt(const CapturedAudio &frame, qsizetype index)
{
    return qFromLittleEndian<qint16>(frame.pcm.constData() + index * 2);
}

} // namespace

class tst_AudioFramePipe : public QObject {
    Q_OBJECT

private slots:
    // 10 ms buffers of 48 kHz stereo float become whole 100 ms frames of 16 kHz mono: the
    // channels are averaged, and far past full scale clips instead of wrapping around.
    void conversion_data()
    {
        QTest::addColumn<float>("left");
        QTest::addColumn<float>("right");
        QTest::addColumn<qint16>("sample");
        QTest::newRow("channels averaged") << 0.5f << 0.0f << qint16(8'192);
        QTest::newRow("clipped") << -1.5f << -1.5f << qint16(-32'768);
    }

    void conversion()
    {
        QFETCH(float, left);
        QFETCH(float, right);
        QFETCH(qint16, sample);
        Piped piped(true);
        QList<CapturedAudio> frames;
        std::vector<float> samples(960, right);
        for (qsizetype frame = 0; frame < 480; ++frame)
            samples[frame * 2] = left;
        for (int buffer = 0; buffer < 300; ++buffer) {
            piped.pipe->receive(AudioBuffer{AudioFormat{48'000, 2, SampleLayout::Float32}, 480, samples.data()});
            QVERIFY(buffer > 0 || piped.stream->buffered() == 0);
            while (piped.stream->buffered() > 0)
                frames.append(piped.next());
        }
        // 3 s of input less what the resampler still holds back (a few milliseconds).
        QVERIFY2(frames.size() == 29 || frames.size() == 30, qPrintable(QString::number(frames.size())));
        for (const CapturedAudio &frame : std::as_const(frames))
            QVERIFY(frame.channel == QLatin1String("system") && frame.pcm.size() == 3'200);
        QVERIFY2(std::abs(sampleAt(frames.last(), 800) - sample) <= 2, qPrintable(QString::number(sampleAt(frames.last(), 800))));
        QVERIFY(std::abs(frames.last().level - std::abs(sample) / 32'768.0f) < 0.001f);
    }

    // A buffer of no frames changes nothing; a new format builds a new converter and keeps
    // what the old one gave.
    void formatChanges()
    {
        Piped piped;
        piped.feed(500);
        piped.feed(0, AudioFormat{44'100, 2, SampleLayout::Int16});
        piped.feed(500);
        QCOMPARE(*piped.factory.builds, 1);
        QCOMPARE(piped.stream->buffered(), 0);
        const AudioFormat stereo{16'000, 2, SampleLayout::Int16};
        piped.feed(1'000, stereo);
        QCOMPARE(*piped.factory.builds, 2);
        QCOMPARE(piped.stream->buffered(), 1);
        // 1,000 samples from the first converter, then 600 from the second; the other 400
        // wait for the next buffer.
        const CapturedAudio frame = piped.next();
        QVERIFY(sampleAt(frame, 999) == 1 && sampleAt(frame, 1'000) == 2 && sampleAt(frame, 1'599) == 2);
        piped.feed(1'200, stereo);
        QCOMPARE(piped.stream->buffered(), 1);
        QCOMPARE(sampleAt(piped.next(), 0), qint16(2));
    }

    void level_data()
    {
        QTest::addColumn<QList<qint16>>("samples");
        QTest::addColumn<float>("expected");
        QTest::newRow("silence") << QList<qint16>{} << 0.0f;
        QTest::newRow("one full-scale negative sample") << QList<qint16>{-32'768} << 1.0f;
        QTest::newRow("largest magnitude 16384") << QList<qint16>{100, 16'384, -200} << 0.5f;
        QTest::newRow("full-scale positive") << QList<qint16>{32'767} << 32'767.0f / 32'768.0f;
    }

    void level()
    {
        QFETCH(QList<qint16>, samples);
        QFETCH(float, expected);
        QByteArray frame(3'200, '\0');
        for (qsizetype index = 0; index < samples.size(); ++index)
            qToLittleEndian(samples[index], frame.data() + (index * 397 % 1'600) * 2);
        QCOMPARE(AudioFramePipe::level(frame), expected);
    }

    // Thirty frames wait for the consumer; the thirty-first fails the pipe, once.
    void backlogIsBounded_data()
    {
        QTest::addColumn<int>("buffers");
        QTest::addColumn<int>("framesPerBuffer");
        QTest::newRow("one frame at a time") << 31 << 1;
        QTest::newRow("one buffer of forty frames") << 1 << 40;
    }

    void backlogIsBounded()
    {
        QFETCH(int, buffers);
        QFETCH(int, framesPerBuffer);
        Piped piped;
        for (int buffer = 0; buffer < buffers; ++buffer) {
            QVERIFY(!piped.stream->finished());
            QCOMPARE(piped.stream->buffered(), buffer * framesPerBuffer);
            piped.feed(1'600 * framesPerBuffer);
        }
        QVERIFY(piped.stream->finished() && piped.pipe->closed());
        piped.feed(1'600); // ignored from now on
        const DrainedStream drained(*piped.stream);
        QCOMPARE(drained.frames.size(), 30);
        QCOMPARE(drained.error, QStringLiteral("The connection cannot keep up with live audio. Capture has stopped."));
        QCOMPARE(runTask(piped.stream->next()), std::nullopt);
    }

    void failures_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("no converter") << 0 << QStringLiteral("This audio format could not be converted.");
        QTest::newRow("converter error") << 1 << QStringLiteral("Audio conversion stopped. Restart capture.");
        QTest::newRow("unusable rate") << 2 << QStringLiteral("This audio format could not be converted.");
        QTest::newRow("no samples") << 3 << QStringLiteral("This audio format could not be converted.");
    }

    void failures()
    {
        QFETCH(int, kind);
        QFETCH(QString, message);
        Piped piped(kind != 1, true);
        const QByteArray samples(960, '\0');
        AudioBuffer buffer{monoInt16k, 480, samples.constData()};
        if (kind == 0)
            buffer.format = AudioFormat{48'000, 0, SampleLayout::Float32};
        if (kind == 2)
            buffer.format = AudioFormat{std::nan(""), 1, SampleLayout::Int16};
        if (kind == 3)
            buffer.data = nullptr;
        piped.pipe->receive(buffer);
        const DrainedStream drained(*piped.stream);
        QVERIFY(drained.frames.isEmpty());
        QCOMPARE(drained.error, message);
    }
};

QTEST_GUILESS_MAIN(tst_AudioFramePipe)
#include "tst_AudioFramePipe.moc"
