#include "FakeFilePicker.h"

void FakeFilePicker::chooseFile(const QString &, const QStringList &nameFilters,
                                std::function<void(std::optional<QString> path)> done)
{
    ++requests;
    lastFilters = nameFilters;
    if (answer && !answer->isEmpty())
        done(answer->first());
    else
        done(std::nullopt);
}

void FakeFilePicker::chooseFiles(const QString &, const QString &message, const QStringList &nameFilters,
                                 std::function<void(QStringList paths)> done)
{
    ++requests;
    lastMessage = message;
    lastFilters = nameFilters;
    done(answer.value_or(QStringList()));
}
