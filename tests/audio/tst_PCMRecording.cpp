#include "audio/PCMRecording.h"

#include "FailureOf.h"

#include <QTest>
#include <QtEndian>

namespace {

template <typename T>
QByteArray le(T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, sizeof(T));
}

struct Format {
    quint16 code = 1;
    quint16 channels = 1;
    quint32 rate = 16000;
    quint32 byteRate = 32000;
    quint16 alignment = 2;
    quint16 bits = 16;
};

QByteArray formatBody(const Format &f = {})
{
    return le(f.code) + le(f.channels) + le(f.rate) + le(f.byteRate) + le(f.alignment) + le(f.bits);
}

// Distinct, position-dependent sample bytes so that any misplaced or lost byte shows.
QByteArray samples(qsizetype count, int seed = 0)
{
    QByteArray bytes(count, Qt::Uninitialized);
    for (qsizetype i = 0; i < count; ++i)
        bytes[i] = char((i * 31 + seed * 7 + (i >> 8)) & 0xff);
    return bytes;
}

// A chunk: tag, size, body and, for odd sizes, the pad byte.
QByteArray chunk(const QByteArray &tag, const QByteArray &body, bool pad = true)
{
    return tag + le(quint32(body.size())) + body + (pad && body.size() % 2 ? QByteArray(1, '\0') : QByteArray());
}

QByteArray riff(const QByteArray &chunks, qint64 sizeAdjustment = 0)
{
    return "RIFF" + le(quint32(qint64(chunks.size()) + 4 + sizeAdjustment)) + "WAVE" + chunks;
}

QByteArray canonical(const QByteArray &pcm)
{
    return riff(chunk("fmt ", formatBody()) + chunk("data", pcm));
}

// A tenth of a second in the canonical layout, with `bytes` written over it at `at`.
QByteArray patched(qsizetype at, const QByteArray &bytes)
{
    return canonical(samples(3200)).replace(at, bytes.size(), bytes);
}

// A tenth of a second of samples in a file of that format.
QByteArray tenthIn(const Format &format, const QByteArray &extension = {})
{
    return riff(chunk("fmt ", formatBody(format) + extension) + chunk("data", samples(3200)));
}

} // namespace

class PCMRecordingTest : public QObject {
    Q_OBJECT
private slots:
    void accepted_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("pcm");
        const QByteArray ninety = samples(2'880'000);
        QTest::newRow("exactly 90 seconds") << canonical(ninety) << ninety;
        QTest::newRow("one sample") << canonical(samples(2)) << samples(2);
        const QByteArray second = samples(32'000);
        QTest::newRow("fmt extension not looked at")
            << riff(chunk("fmt ", formatBody() + QByteArray("\x16\0\xff\xff\xff\xff", 6)) + chunk("data", second)) << second;
        const QByteArray a = samples(3'200, 1), b = samples(1'600, 2);
        QTest::newRow("data before fmt") << riff(chunk("data", a) + chunk("fmt ", formatBody())) << a;
        const QByteArray odd1 = samples(1'601, 3), odd2 = samples(3'199, 4);
        QTest::newRow("two odd data chunks, even total")
            << riff(chunk("fmt ", formatBody()) + chunk("data", odd1) + chunk("data", odd2)) << odd1 + odd2;
        QTest::newRow("LIST before fmt")
            << riff(chunk("LIST", QByteArray("INFOISFT\x05\0\0\0Lavf\0", 17)) + chunk("fmt ", formatBody()) + chunk("data", a))
            << a;
        QTest::newRow("skipped odd chunk between data chunks")
            << riff(chunk("fmt ", formatBody()) + chunk("data", a) + chunk("LIST", QByteArray("abc")) + chunk("data", b))
            << a + b;
        QTest::newRow("rejected fmt replaced by a later one")
            << riff(chunk("fmt ", formatBody(Format{.rate = 8000, .byteRate = 16000})) + chunk("fmt ", formatBody())
                    + chunk("data", a))
            << a;
        QTest::newRow("seven trailing bytes") << riff(chunk("fmt ", formatBody()) + chunk("data", a) + QByteArray(7, 'z'))
                                             << a;
        QTest::newRow("odd last chunk without its pad byte")
            << riff(chunk("fmt ", formatBody()) + chunk("data", a) + chunk("LIST", QByteArray("abc"), false)) << a;
    }

    void accepted()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, pcm);
        const PCMRecording recording(file);
        QVERIFY(recording.pcm() == pcm);
        QCOMPARE(recording.seconds(), double(pcm.size()) / 32000.0);
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("2,880,002 bytes of samples") << canonical(samples(2'880'002));
        QTest::newRow("over the limit in two chunks")
            << riff(chunk("fmt ", formatBody()) + chunk("data", samples(2'000'000)) + chunk("data", samples(880'002)));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("43 bytes of RIFF header shape") << riff(chunk("fmt ", formatBody()) + QByteArray(7, '\0'));
        QByteArray huge = canonical(samples(2'880'000));
        huge += QByteArray(3'000'001 - huge.size(), '\0');
        QTest::newRow("3,000,001 bytes") << huge;
        QTest::newRow("RIFF size one more") << riff(chunk("fmt ", formatBody()) + chunk("data", samples(3200)), +1);
        QTest::newRow("RIFX") << patched(0, "RIFX");
        QTest::newRow("not WAVE") << patched(8, "AVI ");
        QTest::newRow("fmt of 14 bytes") << riff(chunk("fmt ", formatBody().left(14)) + chunk("data", samples(3200)));
        QTest::newRow("format 0xFFFE (extensible)") << tenthIn(Format{.code = 0xFFFE}, QByteArray(24, '\0'));
        QTest::newRow("two channels") << tenthIn(Format{.channels = 2, .byteRate = 64000, .alignment = 4});
        QTest::newRow("44,100 Hz") << tenthIn(Format{.rate = 44100, .byteRate = 88200});
        QTest::newRow("8-bit") << tenthIn(Format{.byteRate = 16000, .alignment = 1, .bits = 8});
        QTest::newRow("wrong byte rate") << tenthIn(Format{.byteRate = 32001});
        QTest::newRow("wrong block alignment") << tenthIn(Format{.alignment = 4});
        QTest::newRow("second fmt with 8,000 Hz")
            << riff(chunk("fmt ", formatBody()) + chunk("data", samples(3200))
                    + chunk("fmt ", formatBody(Format{.rate = 8000, .byteRate = 16000})));
        QTest::newRow("fmt tag in other case") << riff(chunk("FMT ", formatBody()) + chunk("data", samples(3200)));
        QTest::newRow("data of size 0") << canonical({});
        QTest::newRow("single odd data chunk") << canonical(samples(3201));
        QTest::newRow("data chunk runs past the end") << patched(40, le(quint32(3201)));
        QTest::newRow("data chunk size 0xFFFFFFFF") << patched(40, le(quint32(0xFFFFFFFF)));
    }

    void refusedFiles()
    {
        QFETCH(QByteArray, file);
        QCOMPARE(failureOf([&] { PCMRecording{file}; }),
                 QStringLiteral("Choose a 16 kHz, mono, 16-bit PCM WAV recording, up to 90 seconds."));
    }

    // Whole 100 ms frames and a last partial one, which together are the recording.
    void frames_data()
    {
        QTest::addColumn<qsizetype>("length");
        QTest::addColumn<QList<qsizetype>>("sizes");
        QTest::newRow("one sample") << qsizetype(2) << QList<qsizetype>{2};
        QTest::newRow("3,202 bytes") << qsizetype(3202) << QList<qsizetype>{3200, 2};
        QTest::newRow("4,800 bytes") << qsizetype(4800) << QList<qsizetype>{3200, 1600};
        QTest::newRow("90 seconds") << qsizetype(2'880'000) << QList<qsizetype>(900, 3200);
    }

    void frames()
    {
        QFETCH(qsizetype, length);
        QFETCH(QList<qsizetype>, sizes);
        const QByteArray pcm = samples(length);
        QList<qsizetype> found;
        QByteArray joined;
        for (const QByteArray &frame : PCMRecording(canonical(pcm)).frames()) {
            found.append(frame.size());
            joined += frame;
        }
        QCOMPARE(found, sizes);
        QVERIFY(joined == pcm);
    }
};

QTEST_GUILESS_MAIN(PCMRecordingTest)
#include "tst_PCMRecording.moc"
