#pragma once

#include <QFileDevice>
#include <QJsonObject>
#include <QString>

#include <optional>

// The evidence a developer mode leaves behind: pretty-printed JSON with sorted keys,
// replacing any earlier file in one step.
class EvidenceFile {
public:
    // Writes the evidence; with `permissions` the file has them from the moment it appears
    // under its name. Throws the write failure's text.
    static void write(const QString &path, const QJsonObject &evidence,
                      std::optional<QFileDevice::Permissions> permissions = std::nullopt);
};
