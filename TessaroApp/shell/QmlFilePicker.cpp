#include "QmlFilePicker.h"

#include "model/QmlInstances.h"

QmlFilePicker::QmlFilePicker(QObject *parent) : QObject(parent) {}

void QmlFilePicker::chooseFile(const QString &title, const QStringList &nameFilters,
                               std::function<void(std::optional<QString> path)> done)
{
    open(
        [done = std::move(done)](const QStringList &paths) {
            done(paths.isEmpty() ? std::nullopt : std::optional<QString>(paths.first()));
        },
        title, QString(), nameFilters, false);
}

void QmlFilePicker::chooseFiles(const QString &title, const QString &message, const QStringList &nameFilters,
                                std::function<void(QStringList paths)> done)
{
    open(std::move(done), title, message, nameFilters, true);
}

void QmlFilePicker::open(std::function<void(QStringList)> done, const QString &title, const QString &message,
                         const QStringList &nameFilters, bool multiple)
{
    cancel();
    m_pending = std::move(done);
    emit requested(title, message, nameFilters, multiple);
}

void QmlFilePicker::answer(const QList<QUrl> &files)
{
    QStringList paths;
    for (const QUrl &file : files) {
        if (file.isLocalFile())
            paths.append(file.toLocalFile());
    }
    const std::function<void(QStringList)> done = std::exchange(m_pending, nullptr);
    if (done)
        done(paths);
}

void QmlFilePicker::cancel()
{
    const std::function<void(QStringList)> done = std::exchange(m_pending, nullptr);
    if (done)
        done({});
}

QmlFilePicker *QmlFilePicker::create(QQmlEngine *engine, QJSEngine *)
{
    return QmlInstances::take<QmlFilePicker>(engine);
}
