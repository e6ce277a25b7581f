#include "audio/PCMRecording.h"
#include "protocol/TessaroError.h"

#include <QTest>
#include <QtEndian>

namespace {

const QString refusal = QStringLiteral("Choose a 16 kHz, mono, 16-bit PCM WAV recording, up to 90 seconds.");

template <typename T>
void put(QByteArray &bytes, T value)
{
    char buffer[sizeof(T)];
    qToLittleEndian(value, buffer);
    bytes.append(buffer, sizeof(T));
}

struct Format {
    quint16 code = 1;
    quint16 channels = 1;
    quint32 rate = 16000;
    quint32 byteRate = 32000;
    quint16 alignment = 2;
    quint16 bits = 16;
};

QByteArray formatBody(const Format &format = {})
{
    QByteArray body;
    put<quint16>(body, format.code);
    put<quint16>(body, format.channels);
    put<quint32>(body, format.rate);
    put<quint32>(body, format.byteRate);
    put<quint16>(body, format.alignment);
    put<quint16>(body, format.bits);
    return body;
}

// Distinct, position-dependent sample bytes so that any misplaced or lost byte shows.
QByteArray samples(qsizetype count, int seed = 0)
{
    QByteArray bytes(count, Qt::Uninitialized);
    for (qsizetype i = 0; i < count; ++i)
        bytes[i] = char((i * 31 + seed * 7 + (i >> 8)) & 0xff);
    return bytes;
}

// A chunk: tag, size (as declared, normally the body length), body and, for odd sizes,
// the pad byte.
QByteArray chunk(const QByteArray &tag, const QByteArray &body, bool pad = true)
{
    QByteArray bytes = tag;
    put<quint32>(bytes, quint32(body.size()));
    bytes += body;
    if (pad && body.size() % 2)
        bytes += '\0';
    return bytes;
}

QByteArray riff(const QByteArray &chunks, qint64 sizeAdjustment = 0)
{
    QByteArray bytes("RIFF");
    put<quint32>(bytes, quint32(qint64(chunks.size()) + 4 + sizeAdjustment));
    bytes += "WAVE";
    bytes += chunks;
    return bytes;
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

QByteArray le32(quint32 value)
{
    QByteArray bytes;
    put(bytes, value);
    return bytes;
}

// A tenth of a second of samples in a file of that format.
QByteArray tenthIn(const Format &format, const QByteArray &extension = {})
{
    return riff(chunk("fmt ", formatBody(format) + extension) + chunk("data", samples(3200)));
}

bool refused(const QByteArray &file)
{
    try {
        PCMRecording recording(file);
        return false;
    } catch (const TessaroError &error) {
        if (error.kind() != TessaroError::Kind::Message || error.description() != refusal)
            qWarning() << "unexpected refusal" << error.description();
        return error.kind() == TessaroError::Kind::Message && error.description() == refusal;
    }
}

QList<qsizetype> frameSizes(const PCMRecording &recording)
{
    QList<qsizetype> sizes;
    for (const QByteArray &frame : recording.frames())
        sizes.append(frame.size());
    return sizes;
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
        QTest::newRow("fmt of 18 bytes") << riff(chunk("fmt ", formatBody() + QByteArray("\0\0", 2)) + chunk("data", second))
                                         << second;
        QTest::newRow("fmt extension not looked at")
            << riff(chunk("fmt ", formatBody() + QByteArray("\x16\0\xff\xff\xff\xff", 6)) + chunk("data", second)) << second;

        const QByteArray a = samples(3'200, 1), b = samples(1'600, 2);
        QTest::newRow("two data chunks") << riff(chunk("fmt ", formatBody()) + chunk("data", a) + chunk("data", b)) << a + b;
        QTest::newRow("data before fmt") << riff(chunk("data", a) + chunk("fmt ", formatBody())) << a;

        const QByteArray odd1 = samples(1'601, 3), odd2 = samples(3'199, 4);
        QTest::newRow("two odd data chunks, even total")
            << riff(chunk("fmt ", formatBody()) + chunk("data", odd1) + chunk("data", odd2)) << odd1 + odd2;

        QTest::newRow("LIST before fmt")
            << riff(chunk("LIST", QByteArray("INFOISFT\x05\0\0\0Lavf\0", 17)) + chunk("fmt ", formatBody()) + chunk("data", a))
            << a;
        QTest::newRow("odd LIST skips its pad byte")
            << riff(chunk("fmt ", formatBody()) + chunk("LIST", QByteArray("abc")) + chunk("data", a)) << a;
        QTest::newRow("fact between fmt and data")
            << riff(chunk("fmt ", formatBody()) + chunk("fact", QByteArray("\x80\x3e\0\0", 4)) + chunk("data", a)) << a;
        QTest::newRow("skipped chunk between data chunks")
            << riff(chunk("fmt ", formatBody()) + chunk("data", a) + chunk("fact", QByteArray("x")) + chunk("data", b))
            << a + b;
        QTest::newRow("empty unknown chunk") << riff(chunk("fmt ", formatBody()) + chunk("junk", {}) + chunk("data", a)) << a;
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
        QCOMPARE(recording.pcm().size(), pcm.size());
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
        QTest::newRow("43 bytes") << canonical(samples(2)).left(43);
        QTest::newRow("43 bytes of RIFF header shape") << riff(chunk("fmt ", formatBody()) + QByteArray(7, '\0'));
        QByteArray huge = canonical(samples(2'880'000));
        huge += QByteArray(3'000'001 - huge.size(), '\0');
        QTest::newRow("3,000,001 bytes") << huge;

        QTest::newRow("RIFF size one less") << riff(chunk("fmt ", formatBody()) + chunk("data", samples(3200)), -1);
        QTest::newRow("RIFF size one more") << riff(chunk("fmt ", formatBody()) + chunk("data", samples(3200)), +1);
        QTest::newRow("RIFX") << patched(0, "RIFX");
        QTest::newRow("lower-case riff") << patched(0, "riff");
        QTest::newRow("not WAVE") << patched(8, "AVI ");
        QTest::newRow("fmt of 14 bytes") << riff(chunk("fmt ", formatBody().left(14)) + chunk("data", samples(3200)));
        QTest::newRow("format 3 (float)") << tenthIn(Format{.code = 3});
        QTest::newRow("format 0xFFFE (extensible)") << tenthIn(Format{.code = 0xFFFE}, QByteArray(24, '\0'));
        QTest::newRow("two channels") << tenthIn(Format{.channels = 2, .byteRate = 64000, .alignment = 4});
        QTest::newRow("44,100 Hz") << tenthIn(Format{.rate = 44100, .byteRate = 88200});
        QTest::newRow("8-bit") << tenthIn(Format{.byteRate = 16000, .alignment = 1, .bits = 8});
        QTest::newRow("wrong byte rate") << tenthIn(Format{.byteRate = 32001});
        QTest::newRow("wrong block alignment") << tenthIn(Format{.alignment = 4});
        QTest::newRow("no fmt") << riff(chunk("data", samples(3200)) + chunk("LIST", samples(8)));
        QTest::newRow("second fmt with 8,000 Hz")
            << riff(chunk("fmt ", formatBody()) + chunk("data", samples(3200))
                    + chunk("fmt ", formatBody(Format{.rate = 8000, .byteRate = 16000})));
        QTest::newRow("fmt tag in other case") << riff(chunk("FMT ", formatBody()) + chunk("data", samples(3200)));

        QTest::newRow("data of size 0") << canonical({});
        QTest::newRow("only a skipped chunk") << riff(chunk("fmt ", formatBody()) + chunk("LIST", samples(16)));
        QTest::newRow("single odd data chunk") << canonical(samples(3201));
        QTest::newRow("odd data chunk without pad byte") << riff(chunk("fmt ", formatBody()) + chunk("data", samples(3201), false));

        QTest::newRow("data chunk runs past the end") << patched(40, le32(3201));
        QTest::newRow("data chunk size 0xFFFFFFFF") << patched(40, le32(0xFFFFFFFF));
        QTest::newRow("fmt chunk runs past the end") << patched(16, le32(3244 - 20 + 1));
        QTest::newRow("skipped chunk runs past the end")
            << riff(chunk("fmt ", formatBody()) + chunk("data", samples(3200)) + QByteArray("LIST\x10\0\0\0abcd", 12));
    }

    void refusedFiles()
    {
        QFETCH(QByteArray, file);
        QVERIFY(refused(file));
    }

    void frames_data()
    {
        QTest::addColumn<qsizetype>("length");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QList<qsizetype>>("sizes");

        QTest::newRow("one sample") << qsizetype(2) << 2 / 32000.0 << QList<qsizetype>{2};
        QTest::newRow("one frame") << qsizetype(3200) << 0.1 << QList<qsizetype>{3200};
        QTest::newRow("3,202 bytes") << qsizetype(3202) << 3202 / 32000.0 << QList<qsizetype>{3200, 2};
        QTest::newRow("4,800 bytes") << qsizetype(4800) << 0.15 << QList<qsizetype>{3200, 1600};
        QTest::newRow("48,000 bytes") << qsizetype(48000) << 1.5 << QList<qsizetype>(15, 3200);
        QList<qsizetype> ninety(900, 3200);
        QTest::newRow("90 seconds") << qsizetype(2'880'000) << 90.0 << ninety;
    }

    void frames()
    {
        QFETCH(qsizetype, length);
        QFETCH(double, seconds);
        QFETCH(QList<qsizetype>, sizes);

        const QByteArray pcm = samples(length);
        const PCMRecording recording(canonical(pcm));
        QCOMPARE(recording.seconds(), seconds);
        QCOMPARE(frameSizes(recording), sizes);
        QByteArray joined;
        for (const QByteArray &frame : recording.frames())
            joined += frame;
        QVERIFY(joined == pcm);
    }
};

QTEST_GUILESS_MAIN(PCMRecordingTest)
#include "tst_PCMRecording.moc"
