#include "FakeFilePicker.h"

void FakeFilePicker::chooseFile(const QString &, const QStringList &,
                                std::function<void(std::optional<QString> path)> done)
{
    ++requests;
    done(answer && !answer->isEmpty() ? std::optional(answer->first()) : std::nullopt);
}

void FakeFilePicker::chooseFiles(const QString &, const QString &message, const QStringList &,
                                 std::function<void(QStringList paths)> done)
{
    ++requests;
    lastMessage = message;
    done(answer.value_or(QStringList()));
}
