#pragma once

#include "platform/FilePicker.h"

// An open panel the test answers in advance: the file(s) it returns, or a cancel.
class FakeFilePicker : public FilePicker {
public:
    // Absent: the user cancels.
    std::optional<QStringList> answer;
    int requests = 0;
    QString lastMessage;

    void chooseFile(const QString &title, const QStringList &nameFilters,
                    std::function<void(std::optional<QString> path)> done) override;
    void chooseFiles(const QString &title, const QString &message, const QStringList &nameFilters,
                     std::function<void(QStringList paths)> done) override;
};
