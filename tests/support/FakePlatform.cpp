#include "FakePlatform.h"

Platform FakePlatform::bundle() const
{
    Platform platform;
    platform.informationDictionary = informationDictionary;
    platform.preferences = preferences;
    platform.secrets = secrets;
    platform.workspace = workspace;
    platform.epochMilliseconds = [now = now] { return *now; };
    platform.environment = [environment = environment](const QString &name) -> std::optional<QString> {
        const auto found = environment->constFind(name);
        if (found == environment->constEnd())
            return std::nullopt;
        return *found;
    };
    return platform;
}
