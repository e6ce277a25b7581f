#include "FakePlatform.h"

FakePlatform::FakePlatform()
{
    environment->insert(QStringLiteral("TESSARO_KNOWLEDGE_DIRECTORY"),
                        knowledgeDirectory->filePath(QStringLiteral("knowledge")));
}

Platform FakePlatform::bundle() const
{
    Platform platform;
    platform.informationDictionary = informationDictionary;
    platform.preferences = preferences;
    platform.secrets = secrets;
    platform.workspace = workspace;
    platform.filePicker = filePicker;
    platform.epochMilliseconds = [now = now] { return *now; };
    platform.computerName = [] { return QStringLiteral("Ada\u2019s laptop"); };
    platform.environment = [environment = environment](const QString &name) -> std::optional<QString> {
        const auto found = environment->constFind(name);
        if (found == environment->constEnd())
            return std::nullopt;
        return *found;
    };
    return platform;
}
