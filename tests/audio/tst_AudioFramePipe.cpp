#include "audio/AudioFramePipe.h"
#include "audio/SoxrSampleConverter.h"
#include "RunTask.h"
#include "protocol/TessaroError.h"

#include <QCoro/QCoroTask>
#include <QTest>
#include <QtEndian>

#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

namespace {

const AudioFormat stereoFloat48k{48'000, 2, SampleLayout::Float32};
const AudioFormat monoInt16k{16'000, 1, SampleLayout::Int16};

// Writes `value` for every input frame: a converter whose output is easy to predict.
class MarkerConverter : public SampleConverter {
public:
    MarkerConverter(qint16 value, bool failing) : m_value(value), m_failing(failing) {}
    std::optional<qsizetype> convert(const AudioBuffer &input, qint16 *output, qsizetype capacity) override
    {
        if (m_failing)
            return std::nullopt;
        const qsizetype count = std::min(input.frames, capacity);
        std::fill(output, output + count, m_value);
        return count;
    }

private:
    qint16 m_value;
    bool m_failing;
};

struct MarkerFactory {
    std::shared_ptr<int> builds = std::make_shared<int>(0);
    bool failing = false;
    SampleConverterFactory make() const
    {
        return [builds = builds, failing = failing](const AudioFormat &format) -> std::unique_ptr<SampleConverter> {
            ++*builds;
            return std::make_unique<MarkerConverter>(static_cast<qint16>(format.channels), failing);
        };
    }
};

std::vector<float> stereoTone(qsizetype frames, qsizetype &phase, float leftAmplitude, float rightAmplitude)
{
    std::vector<float> samples(static_cast<size_t>(frames * 2));
    for (qsizetype frame = 0; frame < frames; ++frame, ++phase) {
        const float value = static_cast<float>(std::sin(2 * std::numbers::pi * 440.0 * phase / 48'000.0));
        samples[static_cast<size_t>(frame * 2)] = leftAmplitude * value;
        samples[static_cast<size_t>(frame * 2 + 1)] = rightAmplitude * value;
    }
    return samples;
}

// A pipe on the "system" channel; with `marked`, its converters write markers.
struct Piped {
    explicit Piped(bool marked = true)
        : pipe(std::make_shared<AudioFramePipe>(QStringLiteral("system"), stream,
                                                marked ? factory.make() : SampleConverterFactory()))
    {
    }
    // `frames` silent samples in that format.
    void feed(qsizetype frames, const AudioFormat &format = monoInt16k)
    {
        const QByteArray samples(frames * 2 * std::max(format.channels, 1), '\0');
        pipe->receive(AudioBuffer{format, frames, samples.constData()});
    }
    qint16 sampleAt(const CapturedAudio &frame, qsizetype index) const
    {
        return qFromLittleEndian<qint16>(frame.pcm.constData() + index * 2);
    }

    MarkerFactory factory;
    std::shared_ptr<CaptureStream> stream = std::make_shared<CaptureStream>();
    std::shared_ptr<AudioFramePipe> pipe;
};

// Everything the stream hands out until it ends: the frames, then the error text
// (empty when it ended without error).
struct Drained {
    QList<CapturedAudio> frames;
    QString error;
};

Drained drain(CaptureStream &stream)
{
    Drained drained;
    try {
        while (const std::optional<CapturedAudio> frame = runTask(stream.next()))
            drained.frames.append(*frame);
    } catch (const TessaroError &error) {
        drained.error = error.description();
    }
    return drained;
}

std::optional<CapturedAudio> nextIfAny(CaptureStream &stream)
{
    if (stream.buffered() == 0)
        return std::nullopt;
    return runTask(stream.next());
}

} // namespace

class tst_AudioFramePipe : public QObject {
    Q_OBJECT

private slots:
    void tenMillisecondBuffersBecomeWholeFrames()
    {
        auto stream = std::make_shared<CaptureStream>();
        auto pipe = std::make_shared<AudioFramePipe>(QStringLiteral("system"), stream);
        qsizetype phase = 0;

        // One 10 ms buffer is about 160 samples: no frame yet.
        std::vector<float> first = stereoTone(480, phase, 0.5f, 0.0f);
        pipe->receive(AudioBuffer{stereoFloat48k, 480, first.data()});
        QCOMPARE(stream->buffered(), 0);

        QList<CapturedAudio> frames;
        for (int buffer = 1; buffer < 300; ++buffer) {
            std::vector<float> samples = stereoTone(480, phase, 0.5f, 0.0f);
            pipe->receive(AudioBuffer{stereoFloat48k, 480, samples.data()});
            while (std::optional<CapturedAudio> frame = nextIfAny(*stream))
                frames.append(*frame);
        }
        // 3 s of input is 48,000 output samples = 30 frames, less what the resampler
        // still holds back (its delay is a few milliseconds, never a whole frame).
        QVERIFY2(frames.size() == 29 || frames.size() == 30, qPrintable(QString::number(frames.size())));
        QVERIFY(!stream->finished());
        for (const CapturedAudio &frame : std::as_const(frames)) {
            QCOMPARE(frame.channel, QStringLiteral("system"));
            QCOMPARE(frame.pcm.size(), 3'200);
        }
        // The channels are averaged: a 0.5 tone on the left and silence on the right
        // give a 0.25 tone.
        const float settled = frames.last().level;
        QVERIFY2(std::fabs(settled - 0.25f) < 0.01f, qPrintable(QString::number(settled)));
    }

    void conversionRoundsAndClipsToSixteenBits()
    {
        auto stream = std::make_shared<CaptureStream>();
        auto pipe = std::make_shared<AudioFramePipe>(QStringLiteral("microphone"), stream);
        const AudioFormat monoFloat16k{16'000, 1, SampleLayout::Float32};
        std::vector<float> loud(1'600, -1.5f);
        for (int buffer = 0; buffer < 4; ++buffer)
            pipe->receive(AudioBuffer{monoFloat16k, 1'600, loud.data()});
        QVERIFY(stream->buffered() >= 3);
        runTask(stream->next());
        const CapturedAudio frame = *runTask(stream->next());
        // Far past full scale clips to -32,768 instead of wrapping around.
        const qint16 sample = qFromLittleEndian<qint16>(frame.pcm.constData() + 1'000);
        QCOMPARE(sample, qint16(-32'768));
        QCOMPARE(frame.level, 1.0f);
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
        const CapturedAudio frame = *runTask(piped.stream->next());
        // 1,000 samples from the first converter, then 600 from the second; the other
        // 400 wait for the next buffer.
        QCOMPARE(piped.sampleAt(frame, 999), qint16(1));
        QCOMPARE(piped.sampleAt(frame, 1'000), qint16(2));
        QCOMPARE(piped.sampleAt(frame, 1'599), qint16(2));
        piped.feed(1'200, stereo);
        QCOMPARE(piped.stream->buffered(), 1);
        QCOMPARE(piped.sampleAt(*runTask(piped.stream->next()), 0), qint16(2));
    }

    void level_data()
    {
        QTest::addColumn<QList<qint16>>("samples");
        QTest::addColumn<float>("expected");
        QTest::newRow("silence") << QList<qint16>{} << 0.0f;
        QTest::newRow("one full-scale negative sample") << QList<qint16>{-32'768} << 1.0f;
        QTest::newRow("largest magnitude 16384") << QList<qint16>{100, 16'384, -200} << 0.5f;
        QTest::newRow("largest magnitude -16384") << QList<qint16>{-16'384, 8'000} << 0.5f;
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
        QVERIFY(piped.stream->finished());
        QVERIFY(piped.pipe->closed());
        piped.feed(1'600); // ignored from now on
        const Drained drained = drain(*piped.stream);
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
        Piped piped(false);
        piped.factory.failing = true;
        piped.pipe = std::make_shared<AudioFramePipe>(QStringLiteral("system"), piped.stream,
                                                      kind == 1 ? piped.factory.make() : SampleConverterFactory());
        const QByteArray samples(960, '\0');
        AudioBuffer buffer{monoInt16k, 480, samples.constData()};
        if (kind == 0)
            buffer.format = AudioFormat{48'000, 0, SampleLayout::Float32};
        if (kind == 2)
            buffer.format = AudioFormat{std::nan(""), 1, SampleLayout::Int16};
        if (kind == 3)
            buffer.data = nullptr;
        piped.pipe->receive(buffer);
        const Drained drained = drain(*piped.stream);
        QCOMPARE(drained.frames.size(), 0);
        QCOMPARE(drained.error, message);
    }

    void closedPipeIgnoresInputWithoutError()
    {
        Piped piped(false);
        piped.feed(1'000);
        piped.pipe->close();
        piped.feed(3'000);
        QCOMPARE(piped.stream->buffered(), 0);
        QVERIFY(!piped.stream->finished());
    }

    void twoChannelsShareOneStream()
    {
        MarkerFactory factory;
        auto stream = std::make_shared<CaptureStream>();
        auto system = std::make_shared<AudioFramePipe>(QStringLiteral("system"), stream, factory.make());
        auto microphone = std::make_shared<AudioFramePipe>(QStringLiteral("microphone"), stream, factory.make());
        const QByteArray samples(3'200, '\0');
        const AudioBuffer buffer{monoInt16k, 1'600, samples.constData()};
        system->receive(buffer);
        microphone->microphoneCallback()(buffer, 1234);
        microphone->receive(buffer);
        system->receive(buffer);
        stream->finish();
        const Drained drained = drain(*stream);
        QStringList channels;
        for (const CapturedAudio &frame : drained.frames)
            channels.append(frame.channel);
        QCOMPARE(channels, (QStringList{"system", "microphone", "microphone", "system"}));
        QCOMPARE(drained.error, QString());
    }

    void consumerWakesForFramesFromAnotherThread()
    {
        auto stream = std::make_shared<CaptureStream>();
        auto pipe = std::make_shared<AudioFramePipe>(QStringLiteral("system"), stream);
        std::thread producer([pipe] {
            const QByteArray samples(320, '\0');
            for (int buffer = 0; buffer < 200; ++buffer) {
                pipe->receive(AudioBuffer{monoInt16k, 160, samples.constData()});
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            pipe->output()->finish();
        });
        const Drained drained = drain(*stream);
        producer.join();
        // 32,000 samples minus what the resampler holds back.
        QVERIFY2(drained.frames.size() == 19 || drained.frames.size() == 20,
                 qPrintable(QString::number(drained.frames.size())));
        QCOMPARE(drained.error, QString());
    }
};

QTEST_GUILESS_MAIN(tst_AudioFramePipe)
#include "tst_AudioFramePipe.moc"
