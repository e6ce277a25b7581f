#include "model/SessionModel.h"

#include "AnswerFixtures.h"
#include "DevServiceProcess.h"
#include "FakePlatform.h"
#include "PrivatePipeWire.h"
#include "PrivateSecretService.h"
#include "RunTask.h"
#include "ScopedEnvironment.h"
#include "audio/LiveAudioCapture.h"
#include "platform/linux/LibsecretStore.h"
#include "platform/linux/PipeWireAudioHardware.h"
#include "platform/linux/PipeWireMicrophone.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

// Faults of the platform services under the real session model: the audio server going
// away while capturing, and the secret store locked. Each runs a private daemon that points
// the process environment at itself, so they have a suite of their own.

namespace {

// Locks the login keyring through its own D-Bus call, as the user would outside the app.
bool lockLoginKeyring()
{
    QDBusConnection bus = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
                                                        QStringLiteral("corvana-fault-keyring"));
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.secrets", "/org/freedesktop/secrets",
                                                       "org.freedesktop.Secret.Service", "Lock");
    call << QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath("/org/freedesktop/secrets/collection/login")});
    const bool locked = bus.call(call).type() == QDBusMessage::ReplyMessage;
    QDBusConnection::disconnectFromBus(QStringLiteral("corvana-fault-keyring"));
    return locked;
}

int killChildren(const QString &program)
{
    QProcess pgrep;
    pgrep.start(QStringLiteral("pgrep"), {QStringLiteral("-P"), QString::number(::getpid()), QStringLiteral("-x"), program});
    pgrep.waitForFinished(10000);
    int killed = 0;
    for (const QString &line : QString::fromLatin1(pgrep.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int pid = line.toInt();
        killed += pid > 0 && ::kill(pid, SIGKILL) == 0; // never 0, which would be our own group
    }
    return killed;
}

bool containsAll(const QStringList &list, const QStringList &items)
{
    return std::all_of(items.cbegin(), items.cend(), [&](const QString &item) { return list.contains(item); });
}

} // namespace

class PlatformFaultsTest : public QObject {
    Q_OBJECT
private slots:
    void audioServerRestartedWhileCapturing()
    {
        PrivatePipeWire pipewire;
        if (!pipewire.started())
            QSKIP(qPrintable(QStringLiteral("A private PipeWire could not be started: ") + pipewire.error()));
        QTemporaryDir dir;
        const QString tone = dir.filePath(QStringLiteral("tone.wav"));
        QVERIFY(PrivatePipeWire::writeTone(tone, 440, 60));
        // Live, with the words of its script: it answers the tone it is sent.
        DevServiceProcess service({QStringLiteral("--scripted-words")});
        QVERIFY2(service.started(), qPrintable(service.errorText()));

        FakePlatform platform;
        Platform bundle = platform.bundle();
        auto hardware = std::make_shared<PipeWireAudioHardware>();
        auto microphone = std::make_shared<PipeWireMicrophone>();
        bundle.audioHardware = hardware;
        bundle.microphone = microphone;
        bundle.capture = std::make_shared<LiveAudioCapture>(hardware, microphone, QStringLiteral("com.quorrel.corvana"));
        SessionModel model(bundle);
        runTask(model.connect(service.connection(), false));
        model.setSource(QStringLiteral("system"));
        QVERIFY(pipewire.play(tone));
        runTask(model.start(false, false));
        QCOMPARE(model.status(), QStringLiteral("Listening to meeting audio · microphone off"));
        QTRY_VERIFY_WITH_TIMEOUT(model.capturedFrames().value(QStringLiteral("system")) >= 10, 10000);
        model.setManualQuestion(QStringLiteral("What is the launch date?"));
        runTask(model.ask());
        // The tone is speech to the live service: it shows as a line while it lasts.
        QTRY_VERIFY_WITH_TIMEOUT(!model.transcript().isEmpty() && !model.answers().isEmpty(), 20000);
        const QStringList lines = ids(model.transcript());
        const QStringList answers = ids(model.answers());
        *platform.now += 60000;

        // The audio server goes away in the middle of the capture...
        QCOMPARE(killChildren(QStringLiteral("pipewire")), 1);
        killChildren(QStringLiteral("wireplumber"));
        QTRY_VERIFY_WITH_TIMEOUT(!model.active(), 10000);
        // The session is stopped on the service after capture ends; the status says so then.
        QTRY_COMPARE_WITH_TIMEOUT(model.status(), QStringLiteral("Session ended"), 10000);
        // The tap cannot be made again while the server is away (ENOTCONN); the text is the
        // tap's own start failure.
        QCOMPARE(model.error(),
                 std::optional<QString>(QStringLiteral("PipeWire could not start system audio (-107). Check that PipeWire and "
                                                       "its session manager are running, then retry.")));
        QCOMPARE(model.recoveryMessage(),
                 std::optional<QString>(QStringLiteral("Audio stopped. Resume the conversation or review its prepared answers.")));
        QVERIFY(containsAll(ids(model.transcript()), lines));
        QVERIFY(containsAll(ids(model.answers()), answers));

        // ...and once an audio server is back (a fresh one, as after a restart), the conversation resumes.
        PrivatePipeWire restarted;
        QVERIFY2(restarted.started(), qPrintable(restarted.error()));
        QVERIFY(restarted.play(tone));
        *platform.now += 30000;
        runTask(model.start(true, false));
        QVERIFY2(model.active(), qPrintable(model.error().value_or(model.status())));
        QCOMPARE(model.status(), QStringLiteral("Listening to meeting audio · microphone off"));
        QTRY_VERIFY_WITH_TIMEOUT(model.capturedFrames().value(QStringLiteral("system")) >= 10, 10000);
        QCOMPARE(model.gapSummary().size(), 1);
        QVERIFY(containsAll(ids(model.transcript()), lines));
        QVERIFY(containsAll(ids(model.answers()), answers));
        runTask(model.stop());
        restarted.stopPlayers();
    }

    void lockedKeyring()
    {
        m_headless.unset("DISPLAY");
        m_headless.unset("WAYLAND_DISPLAY");
        m_keyring = std::make_unique<PrivateSecretService>();
        if (!m_keyring->started())
            QSKIP(qPrintable(QStringLiteral("no Secret Service could be started: ") + m_keyring->error()));
        DevServiceProcess service(QStringList{QStringLiteral("--simulated")});
        QVERIFY2(service.started(), qPrintable(service.errorText()));
        FakePlatform platform;
        const QString domain = QStringLiteral("Heart failure trials and their endpoints");
        platform.preferences->values.insert(QStringLiteral("domain"), domain);
        Platform bundle = platform.bundle();
        bundle.secrets = std::make_shared<LibsecretStore>();

        // The development connection is kept in the login keyring, which then gets locked.
        SessionModel connected(bundle);
        runTask(connected.load());
        runTask(connected.connect(service.connection(), true));
        QVERIFY(connected.account());
        QVERIFY(lockLoginKeyring());

        // Signing out cannot remove the stored sign-in: nothing is cleared and the user is told.
        runTask(connected.signOut());
        QCOMPARE(connected.accountMessage(),
                 std::optional<QString>(QString::fromUtf8(
                     "Could not sign out: Unlock your keyring to remove this device’s saved sign-in. Reconnect and try "
                     "again, or use account recovery on another computer to remove this device.")));
        QVERIFY(connected.account());
        QVERIFY(connected.client());

        // A launch while it is locked says so and keeps the user's setup.
        SessionModel locked(bundle);
        runTask(locked.load());
        QCOMPARE(locked.error(), std::optional<QString>(QStringLiteral("Unlock your keyring to reconnect Corvana.")));
        QCOMPARE(locked.signInMessage(), locked.error());
        QVERIFY(locked.onboarding());
        QVERIFY(!locked.client());
        QCOMPARE(locked.domain(), domain);
    }

    void cleanupTestCase()
    {
        m_keyring.reset();
    }

private:
    // Without a display the keyring cannot ask for its password, as on a headless machine.
    ScopedEnvironment m_headless;
    // Kept until the suite ends: libsecret holds on to its bus connection.
    std::unique_ptr<PrivateSecretService> m_keyring;
};

QTEST_GUILESS_MAIN(PlatformFaultsTest)
#include "tst_PlatformFaults.moc"
