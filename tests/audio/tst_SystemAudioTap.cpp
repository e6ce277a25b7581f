#include "audio/SystemAudioTap.h"

#include "DrainedStream.h"
#include "FailureOf.h"
#include "FakeAudioHardware.h"

#include <QTest>

namespace {

using Process = FakeAudioHardware::Process;

const QString own = QStringLiteral("com.quorrel.corvana");

QString startError(qint32 status)
{
    return QStringLiteral("PipeWire could not start system audio (%1). Check that PipeWire and its session manager "
                          "are running, then retry.")
        .arg(status);
}

} // namespace

class tst_SystemAudioTap : public QObject {
    Q_OBJECT

private slots:
    void sources_data()
    {
        QTest::addColumn<QList<Process>>("processes");
        QTest::addColumn<QStringList>("expected"); // "id: objects"

        QTest::newRow("helper processes join their application")
            << QList<Process>{{11, QStringLiteral("com.example.meet")},
                              {12, QStringLiteral("com.example.meet.helper.renderer")},
                              {13, QStringLiteral("com.example.meet")}}
            << QStringList{"com.example.meet: 11 12 13"};
        QTest::newRow("helper in the middle keeps the prefix")
            << QList<Process>{{12, QStringLiteral("com.example.helper.audio")}, {11, QStringLiteral("com.example")}}
            << QStringList{"com.example: 12 11"};
        QTest::newRow("own processes are left out")
            << QList<Process>{{11, own}, {12, QStringLiteral("com.example.meet")}, {13, own}}
            << QStringList{"com.example.meet: 12"};
        QTest::newRow("code point order, upper case first")
            << QList<Process>{{11, QStringLiteral("com.c")},
                              {12, QStringLiteral("com.b")},
                              {13, QStringLiteral("com.B")},
                              {14, QStringLiteral("org.a")}}
            << QStringList{"com.B: 13", "com.b: 12", "com.c: 11", "org.a: 14"};
        QTest::newRow("astral characters sort after the fullwidth forms")
            << QList<Process>{{11, QString::fromUcs4(U"app.\U0001F600")}, {12, QString::fromUcs4(U"app.\uFF21")}}
            << QStringList{QString::fromUcs4(U"app.\uFF21: 12"), QString::fromUcs4(U"app.\U0001F600: 11")};
        QTest::newRow("unreadable and empty identifiers are skipped")
            << QList<Process>{{11, std::nullopt}, {12, QString()}, {13, QStringLiteral("com.example.meet")}}
            << QStringList{"com.example.meet: 13"};
    }

    void sources()
    {
        QFETCH(QList<Process>, processes);
        QFETCH(QStringList, expected);
        FakeAudioHardware hardware;
        hardware.processes = processes;
        QStringList listed;
        for (const AudioSource &source : SystemAudioTap::sources(hardware, own)) {
            QCOMPARE(source.name, source.id);
            QStringList objects;
            for (quint32 object : source.processIDs)
                objects.append(QString::number(object));
            listed.append(source.id + QStringLiteral(": ") + objects.join(' '));
        }
        QCOMPARE(listed, expected);
    }

    void listingFailureIsTheStartError()
    {
        FakeAudioHardware hardware;
        hardware.statuses.insert(QStringLiteral("processObjects"), -1'852'797'029);
        QCOMPARE(failureOf([&] { SystemAudioTap::sources(hardware, own); }), startError(-1'852'797'029));
    }

    // Which processes the tap takes: all but this app's own (and, without an identifier of
    // its own, those it cannot tell apart from it), or a mixdown of the chosen ones.
    void tapDescription_data()
    {
        QTest::addColumn<QString>("ownIdentifier");
        QTest::addColumn<QList<quint32>>("chosen"); // none: the global tap
        QTest::addColumn<bool>("mixdown");
        QTest::addColumn<QList<quint32>>("processes");
        QTest::newRow("everything but this app") << own << QList<quint32>() << false
                                                  << QList<quint32>{11, 14};
        QTest::newRow("no identifier of its own") << QString() << QList<quint32>() << false
                                                   << QList<quint32>{13, 15};
        QTest::newRow("chosen processes") << own << QList<quint32>{21, 22} << true
                                          << QList<quint32>{21, 22};
    }

    void tapDescription()
    {
        QFETCH(QString, ownIdentifier);
        QFETCH(QList<quint32>, chosen);
        QFETCH(bool, mixdown);
        QFETCH(QList<quint32>, processes);
        auto hardware = std::make_shared<FakeAudioHardware>();
        hardware->processes = {{11, own}, {12, QStringLiteral("com.example.meet")}, {13, std::nullopt}, {14, own}, {15, QString()}};
        SystemAudioTap tap(hardware, ownIdentifier);
        tap.start(chosen.isEmpty() ? std::nullopt : std::optional(chosen), std::make_shared<AudioFramePipe>(QStringLiteral("system"), std::make_shared<CaptureStream>()),
                  [] {});
        QCOMPARE(hardware->tapDescriptions.size(), 1);
        const AudioHardware::TapDescription &description = hardware->tapDescriptions.first();
        QCOMPARE(description.kind == AudioHardware::TapDescription::Kind::MixdownOf, mixdown);
        QCOMPARE(description.processes, processes);
        QCOMPARE(hardware->log.contains(QStringLiteral("processObjects")), !mixdown);
        QCOMPARE(description.name, QStringLiteral("Corvana meeting audio"));
        QVERIFY(description.isPrivate && !description.muted && !description.uuid.isNull());
        const AudioHardware::AggregateDeviceDescription &device = hardware->deviceDescriptions.first();
        QCOMPARE(device.name, QStringLiteral("Corvana private capture"));
        QVERIFY(device.isPrivate && device.tapAutoStart && device.taps.size() == 1 && device.taps.first().drift);
        QCOMPARE(QUuid::fromString(device.taps.first().uid), description.uuid);
        QVERIFY(!QUuid::fromString(device.uid).isNull());
        QVERIFY(tap.running() && hardware->liveListeners() == 2);
    }

    void startFailures_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<bool>("unusableFormat");
        QTest::addColumn<QString>("message");
        QTest::newRow("tap") << "createProcessTap" << false << startError(560'947'818);
        QTest::newRow("format read") << "tapFormat" << false << startError(560'947'818);
        QTest::newRow("format unusable") << QString() << true
                                         << QStringLiteral("The output device has an unsupported audio format.");
        QTest::newRow("output read") << "defaultOutputDevices" << false << startError(560'947'818);
        QTest::newRow("device") << "createAggregateDevice" << false << startError(560'947'818);
        QTest::newRow("callback") << "createIOProc" << false << startError(560'947'818);
        QTest::newRow("device start") << "startDevice" << false << startError(560'947'818);
        QTest::newRow("second listener") << "addPropertyListener tfmt" << false << startError(560'947'818);
        QTest::newRow("no process chosen") << "none chosen" << false
                                           << QStringLiteral("Open the meeting app, refresh sources, and select it again.");
    }

    void startFailures()
    {
        QFETCH(QString, failing);
        QFETCH(bool, unusableFormat);
        QFETCH(QString, message);
        auto hardware = std::make_shared<FakeAudioHardware>();
        const bool noneChosen = failing == QLatin1String("none chosen");
        if (!failing.isEmpty() && !noneChosen)
            hardware->statuses.insert(failing, 560'947'818);
        if (unusableFormat)
            hardware->format.reset();
        SystemAudioTap tap(hardware, own);
        auto pipe = std::make_shared<AudioFramePipe>(QStringLiteral("system"), std::make_shared<CaptureStream>());
        QCOMPARE(failureOf([&] { tap.start(noneChosen ? QList<quint32>() : QList<quint32>{21}, pipe, [] {}); }), message);
        QCOMPARE(hardware->tapDescriptions.isEmpty(), noneChosen);
        // Nothing survives a failed start.
        QCOMPARE((QList<int>{hardware->liveTaps(), hardware->liveDevices(), hardware->runningProcs(),
                             hardware->liveListeners(), int(tap.tap()), int(tap.device())}),
                 QList<int>(6, 0));
        QVERIFY(pipe->closed() && !tap.running());
    }

    void formatNotifications()
    {
        auto hardware = std::make_shared<FakeAudioHardware>();
        hardware->format = AudioFormat{16'000, 1, SampleLayout::Int16};
        SystemAudioTap tap(hardware, own);
        auto stream = std::make_shared<CaptureStream>();
        tap.start(QList<quint32>{21}, std::make_shared<AudioFramePipe>(QStringLiteral("system"), stream), [] {});

        // The callback's bytes are read in the tap's format and fed to the pipe.
        QByteArray first(1'600 * 2, '\0');
        reinterpret_cast<qint16 *>(first.data())[7] = -16'384;
        QVERIFY(hardware->deliver(first.constData(), first.size()));
        QCOMPARE(stream->buffered(), 1);
        const CapturedAudio frame = *runTask(stream->next());
        QVERIFY(frame.channel == QLatin1String("system") && frame.pcm.size() == 3'200 && frame.level == 0.5f);

        // A readable format only changes how the next buffer is read: 3,200 bytes of
        // 16-bit stereo are half a frame of mono.
        hardware->format = AudioFormat{16'000, 2, SampleLayout::Int16};
        hardware->notify(AudioHardware::Property::TapFormat);
        QVERIFY(!stream->finished());
        QByteArray samples(1'600 * 2, '\0');
        hardware->deliver(samples.constData(), samples.size());
        QCOMPARE(stream->buffered(), 0);
        hardware->deliver(samples.constData(), samples.size());
        QCOMPARE(stream->buffered(), 1);

        hardware->format.reset();
        hardware->notify(AudioHardware::Property::TapFormat);
        const DrainedStream drained(*stream);
        QCOMPARE(drained.error, QStringLiteral("The output device has an unsupported audio format."));
        QCOMPARE(drained.frames.size(), 1);
    }

    void outputNotifications_data()
    {
        QTest::addColumn<QList<quint32>>("outputAtStart");
        QTest::addColumn<QList<quint32>>("outputAfter");
        QTest::addColumn<bool>("readFails");
        QTest::addColumn<int>("changes");
        QTest::newRow("same device") << QList<quint32>{40} << QList<quint32>{40} << false << 0;
        QTest::newRow("new device") << QList<quint32>{40} << QList<quint32>{41} << false << 1;
        QTest::newRow("no device at start") << QList<quint32>{} << QList<quint32>{} << false << 1;
        QTest::newRow("read fails") << QList<quint32>{40} << QList<quint32>{40} << true << 1;
    }

    void outputNotifications()
    {
        QFETCH(QList<quint32>, outputAtStart);
        QFETCH(QList<quint32>, outputAfter);
        QFETCH(bool, readFails);
        QFETCH(int, changes);
        auto hardware = std::make_shared<FakeAudioHardware>();
        hardware->defaultOutputs = outputAtStart;
        SystemAudioTap tap(hardware, own);
        auto pipe = std::make_shared<AudioFramePipe>(QStringLiteral("system"), std::make_shared<CaptureStream>());
        int called = 0;
        tap.start(QList<quint32>{21}, pipe, [&] { ++called; });
        hardware->defaultOutputs = outputAfter;
        if (readFails)
            hardware->statuses.insert(QStringLiteral("defaultOutputDevices"), -50);
        hardware->notify(AudioHardware::Property::DefaultOutputDevice);
        QCOMPARE(called, changes);
        QCOMPARE(pipe->closed(), changes > 0);
        if (changes) {
            // Each further notification is reported again.
            hardware->notify(AudioHardware::Property::DefaultOutputDevice);
            QCOMPARE(called, 2);
        }
    }

    void stopReleasesInOrder()
    {
        auto hardware = std::make_shared<FakeAudioHardware>();
        auto pipe = std::make_shared<AudioFramePipe>(QStringLiteral("system"), std::make_shared<CaptureStream>());
        int called = 0;
        {
            SystemAudioTap tap(hardware, own);
            tap.stop(); // never started: nothing happens
            QVERIFY(hardware->log.isEmpty());
            tap.start(QList<quint32>{21}, pipe, [&called] { ++called; });
            hardware->log.clear();
        } // releasing the tap stops it
        QCOMPARE(hardware->log,
                 (QStringList{"removePropertyListener dOut", "removePropertyListener tfmt", "stopDevice",
                              "destroyIOProc", "destroyAggregateDevice", "destroyProcessTap"}));
        QVERIFY(pipe->closed() && hardware->liveListeners() == 0);
        QVERIFY(!hardware->deliver("\0\0\0\0\0\0\0\0", 8));
        hardware->defaultOutputs = {41};
        hardware->notify(AudioHardware::Property::DefaultOutputDevice);
        QCOMPARE(called, 0);
    }
};

QTEST_GUILESS_MAIN(tst_SystemAudioTap)
#include "tst_SystemAudioTap.moc"
