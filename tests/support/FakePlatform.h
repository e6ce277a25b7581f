#pragma once

#include "FakeFilePicker.h"
#include "FakePreferences.h"
#include "FakeSecretStore.h"
#include "FakeWorkspace.h"
#include "platform/Platform.h"

#include <QHash>
#include <QTemporaryDir>

#include <memory>

// The fakes of every platform service, and a Platform bundle that hands them out.
// Environment variables are a map here, so tests never touch the process environment.
struct FakePlatform {
    std::shared_ptr<FakePreferences> preferences = std::make_shared<FakePreferences>();
    std::shared_ptr<FakeSecretStore> secrets = std::make_shared<FakeSecretStore>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeFilePicker> filePicker = std::make_shared<FakeFilePicker>();
    // The knowledge library lives here unless a test points TESSARO_KNOWLEDGE_DIRECTORY
    // elsewhere, so no test touches the user's own library.
    std::shared_ptr<QTemporaryDir> knowledgeDirectory = std::make_shared<QTemporaryDir>();
    std::shared_ptr<QHash<QString, QString>> environment = std::make_shared<QHash<QString, QString>>();
    std::shared_ptr<double> now = std::make_shared<double>(1'700'000'000'000.0);
    QVariantMap informationDictionary;

    FakePlatform();

    Platform bundle() const;
};
