#include "LinuxPlatform.h"

#include "DevServiceLauncher.h"
#include "LibsecretStore.h"
#include "LogindWorkspace.h"
#include "PipeWireAudioHardware.h"
#include "PipeWireMicrophone.h"
#include "PopplerPdfText.h"
#include "PwPlayFixturePlayer.h"
#include "SettingsPreferences.h"
#include "access/BundleInfo.h"
#include "audio/LiveAudioCapture.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDateTime>
#include <QSysInfo>

QString LinuxPlatform::computerName()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.hostname1"), QStringLiteral("/org/freedesktop/hostname1"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.hostname1") << QStringLiteral("PrettyHostname");
    const QDBusMessage reply = QDBusConnection::systemBus().call(get, QDBus::Block, 1000);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        const QString pretty = qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toString().trimmed();
        if (!pretty.isEmpty())
            return pretty;
    }
    return QSysInfo::machineHostName();
}

Platform LinuxPlatform::make()
{
    Platform platform;
    platform.computerName = &LinuxPlatform::computerName;
    platform.informationDictionary = BundleInfo::informationDictionary();
    platform.bundleIdentifier = BundleInfo::bundleIdentifier();
    platform.preferences = std::make_shared<SettingsPreferences>();
    platform.secrets = std::make_shared<LibsecretStore>();
    platform.workspace = std::make_shared<LogindWorkspace>();
    platform.audioHardware = std::make_shared<PipeWireAudioHardware>();
    platform.microphone = std::make_shared<PipeWireMicrophone>();
    platform.capture =
        std::make_shared<LiveAudioCapture>(platform.audioHardware, platform.microphone, platform.bundleIdentifier);
    platform.fixturePlayer = std::make_shared<PwPlayFixturePlayer>();
    platform.localService = std::make_shared<DevServiceLauncher>();
    platform.openPdf = PopplerPdfText::opener();
    platform.epochMilliseconds = [] { return double(QDateTime::currentMSecsSinceEpoch()); };
    platform.environment = [](const QString &name) -> std::optional<QString> {
        const QByteArray key = name.toLocal8Bit();
        if (!qEnvironmentVariableIsSet(key.constData()))
            return std::nullopt;
        return qEnvironmentVariable(key.constData());
    };
    return platform;
}
