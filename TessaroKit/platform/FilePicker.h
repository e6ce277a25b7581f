#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The open panel. The screens own the real dialog; the model asks through this interface
// and is answered with the chosen local file, or nothing when the user cancelled.
class FilePicker {
public:
    virtual ~FilePicker() = default;

    // nameFilters as in "Recordings (*.wav)".
    virtual void chooseFile(const QString &title, const QStringList &nameFilters,
                            std::function<void(std::optional<QString> path)> done) = 0;
    // Several files, no folders; `message` is shown in the panel. Answered with the chosen
    // files in the panel's order, empty when the user cancelled.
    virtual void chooseFiles(const QString &title, const QString &message, const QStringList &nameFilters,
                             std::function<void(QStringList paths)> done) = 0;
};
