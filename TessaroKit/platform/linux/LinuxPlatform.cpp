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

#include <QDateTime>

Platform LinuxPlatform::make()
{
    Platform platform;
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
