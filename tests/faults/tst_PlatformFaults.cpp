#include "model/SessionModel.h"

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

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <unistd.h>

// Faults of the platform services under the real session model: the audio server going
// away while capturing, and the secret store locked. Each runs a private daemon that points
// the process environment at itself, so they have a suite of their own.

// A Secret Service secret as its D-Bus methods take it: session, parameters, value and
// content type.
struct KeyringSecret {
    QDBusObjectPath session;
    QByteArray parameters;
    QByteArray value;
    QString contentType;
};
Q_DECLARE_METATYPE(KeyringSecret)

QDBusArgument &operator<<(QDBusArgument &argument, const KeyringSecret &secret)
{
    argument.beginStructure();
    argument << secret.session << secret.parameters << secret.value << secret.contentType;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, KeyringSecret &secret)
{
    argument.beginStructure();
    argument >> secret.session >> secret.parameters >> secret.value >> secret.contentType;
    argument.endStructure();
    return argument;
}

namespace {

using namespace std::chrono_literals;

// What the user does to the login keyring outside the app, through the keyring's own
// D-Bus calls: lock it, and unlock it with its password.
class LoginKeyring {
public:
    LoginKeyring()
        : m_bus(QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), connectionName))
    {
        qDBusRegisterMetaType<KeyringSecret>();
    }
    ~LoginKeyring() { QDBusConnection::disconnectFromBus(connectionName); }

    bool lock()
    {
        QDBusMessage call = QDBusMessage::createMethodCall(serviceName, servicePath, serviceInterface, "Lock");
        call << QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath(collection)});
        return m_bus.call(call).type() == QDBusMessage::ReplyMessage;
    }

    bool unlock(const QByteArray &password)
    {
        QDBusMessage open = QDBusMessage::createMethodCall(serviceName, servicePath, serviceInterface, "OpenSession");
        open << QStringLiteral("plain") << QVariant::fromValue(QDBusVariant(QString()));
        const QDBusMessage opened = m_bus.call(open);
        if (opened.type() != QDBusMessage::ReplyMessage || opened.arguments().size() != 2)
            return false;
        const KeyringSecret master{qdbus_cast<QDBusObjectPath>(opened.arguments().at(1)), {}, password,
                                   QStringLiteral("text/plain")};
        QDBusMessage unlock = QDBusMessage::createMethodCall(
            serviceName, servicePath, "org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface",
            "UnlockWithMasterPassword");
        unlock << QVariant::fromValue(QDBusObjectPath(collection)) << QVariant::fromValue(master);
        return m_bus.call(unlock).type() == QDBusMessage::ReplyMessage;
    }

private:
    static constexpr const char *connectionName = "corvana-fault-keyring";
    static constexpr const char *serviceName = "org.freedesktop.secrets";
    static constexpr const char *servicePath = "/org/freedesktop/secrets";
    static constexpr const char *serviceInterface = "org.freedesktop.Secret.Service";
    static constexpr const char *collection = "/org/freedesktop/secrets/collection/login";
    QDBusConnection m_bus;
};

bool run(const QString &program, const QStringList &arguments, QString *output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(10'000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Kills this process's own children that run `program`, by their ids, the way a crash
// would end them.
int killChildren(const QString &program)
{
    QString pids;
    run(QStringLiteral("pgrep"), {QStringLiteral("-P"), QString::number(::getpid()), QStringLiteral("-x"), program}, &pids);
    int killed = 0;
    for (const QString &line : pids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int pid = line.toInt();
        killed += pid > 0 && ::kill(pid, SIGKILL) == 0; // never 0, which would be our own group
    }
    return killed;
}

// The audio server and its session manager started again in the private PipeWire's
// environment, with its null sink made again as the default output. Stopped when the
// object goes.
class RestartedAudioServer {
public:
    explicit RestartedAudioServer(PrivatePipeWire &pipewire)
    {
        m_daemon = launch(QStringLiteral("pipewire"));
        const QDeadlineTimer up(10'000);
        while (!run(QStringLiteral("pw-cli"), {QStringLiteral("info"), QStringLiteral("0")}) && !up.hasExpired())
            QThread::msleep(100);
        m_session = launch(QStringLiteral("wireplumber"));
        if (!pipewire.createNode(QString::fromLatin1(PrivatePipeWire::sinkName))) {
            m_error = pipewire.error();
            return;
        }
        const QDeadlineTimer chosen(10'000);
        QString metadata;
        while (!chosen.hasExpired()) {
            if (run(QStringLiteral("pw-metadata"), {QStringLiteral("-n"), QStringLiteral("default")}, &metadata)
                && metadata.contains(QStringLiteral("default.audio.sink"))
                && metadata.contains(QLatin1String(PrivatePipeWire::sinkName)))
                return;
            QThread::msleep(100);
        }
        m_error = QStringLiteral("no default sink after the restart: ") + metadata;
    }
    ~RestartedAudioServer()
    {
        for (QProcess *process : {m_session.get(), m_daemon.get()}) {
            process->terminate();
            if (!process->waitForFinished(3000)) {
                process->kill();
                process->waitForFinished(3000);
            }
        }
    }
    RestartedAudioServer(const RestartedAudioServer &) = delete;
    RestartedAudioServer &operator=(const RestartedAudioServer &) = delete;

    const QString &error() const { return m_error; }

private:
    static std::unique_ptr<QProcess> launch(const QString &program)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->start(program, QStringList());
        process->waitForStarted(10'000);
        return process;
    }

    std::unique_ptr<QProcess> m_daemon;
    std::unique_ptr<QProcess> m_session;
    QString m_error;
};

template<typename Item>
QStringList idsOf(const QList<Item> &items)
{
    QStringList ids;
    for (const Item &item : items)
        ids.append(item.id);
    return ids;
}

bool containsAll(const QStringList &list, const QStringList &items)
{
    return std::all_of(items.cbegin(), items.cend(), [&](const QString &item) { return list.contains(item); });
}

} // namespace

class PlatformFaultsTest : public QObject {
    Q_OBJECT
private slots:
    void audioServerRestartedWhileCapturing();
    void lockedKeyring();
    void cleanupTestCase();

private:
    // Without a display the keyring cannot ask for its password, as on a headless machine.
    ScopedEnvironment m_headless;
    // Kept until the suite ends: libsecret holds on to its bus connection.
    std::unique_ptr<PrivateSecretService> m_keyring;
};

void PlatformFaultsTest::audioServerRestartedWhileCapturing()
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
    QTRY_VERIFY_WITH_TIMEOUT(model.capturedFrames().value(QStringLiteral("system")) >= 10, 10'000);
    model.setManualQuestion(QStringLiteral("What is the launch date?"));
    runTask(model.ask());
    // The tone is speech to the live service: it shows as a line while it lasts.
    QTRY_VERIFY_WITH_TIMEOUT(!model.transcript().isEmpty() && !model.answers().isEmpty(), 20'000);
    const QStringList lines = idsOf(model.transcript());
    const QStringList answers = idsOf(model.answers());
    *platform.now += 60'000;

    // The audio server goes away in the middle of the capture...
    QCOMPARE(killChildren(QStringLiteral("pipewire")), 1);
    killChildren(QStringLiteral("wireplumber"));
    QTRY_VERIFY_WITH_TIMEOUT(!model.active(), 10'000);
    // The session is stopped on the service after capture ends; the status says so then.
    QTRY_COMPARE_WITH_TIMEOUT(model.status(), QStringLiteral("Session ended"), 10'000);
    // The tap cannot be made again while the server is away (ENOTCONN); the text is the
    // tap's own start failure.
    QCOMPARE(model.error(),
             std::optional<QString>(QStringLiteral("PipeWire could not start system audio (-107). Check that PipeWire and "
                                                   "its session manager are running, then retry.")));
    QCOMPARE(model.recoveryMessage(),
             std::optional<QString>(QStringLiteral("Audio stopped. Resume the conversation or review its prepared answers.")));
    QVERIFY(containsAll(idsOf(model.transcript()), lines));
    QVERIFY(containsAll(idsOf(model.answers()), answers));

    // ...and once it is back, the conversation resumes listening.
    RestartedAudioServer restarted(pipewire);
    QVERIFY2(restarted.error().isEmpty(), qPrintable(restarted.error()));
    QVERIFY(pipewire.play(tone));
    *platform.now += 30'000;
    runTask(model.start(true, false));
    QVERIFY2(model.active(), qPrintable(model.error().value_or(model.status())));
    QCOMPARE(model.status(), QStringLiteral("Listening to meeting audio · microphone off"));
    QTRY_VERIFY_WITH_TIMEOUT(model.capturedFrames().value(QStringLiteral("system")) >= 10, 10'000);
    QCOMPARE(model.gapSummary().size(), 1);
    QVERIFY(containsAll(idsOf(model.transcript()), lines));
    QVERIFY(containsAll(idsOf(model.answers()), answers));
    runTask(model.stop());
    pipewire.stopPlayers();
}

void PlatformFaultsTest::lockedKeyring()
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
    LoginKeyring keyring;
    QVERIFY(keyring.lock());

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

    // Unlocked (with the password the private keyring was made with), the next launch
    // connects with the very sign-in stored before.
    QVERIFY(keyring.unlock("corvana-test-password"));
    SessionModel unlocked(bundle);
    runTask(unlocked.load());
    QVERIFY2(unlocked.account(), qPrintable(unlocked.error().value_or(QString())));
    QCOMPARE(unlocked.lastConnection(), std::optional<Connection>(service.connection()));
    QVERIFY(!unlocked.onboarding());
    QCOMPARE(unlocked.domain(), domain);
}

void PlatformFaultsTest::cleanupTestCase()
{
    m_keyring.reset();
}

QTEST_GUILESS_MAIN(PlatformFaultsTest)
#include "tst_PlatformFaults.moc"
