#pragma once

#include "platform/FilePicker.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <QStringList>
#include <QUrl>

#include <functional>

class QJSEngine;
class QQmlEngine;

// The open panel of the screens: a request becomes the `requested` signal, which the QML
// file dialog turns into a call of answer() or cancel(). One request is open at a time;
// a new one cancels the one before.
class QmlFilePicker : public QObject, public FilePicker {
    Q_OBJECT
    QML_NAMED_ELEMENT(FilePicker)
    QML_SINGLETON

public:
    // The screens' instance: the one the application handed to their engine.
    static QmlFilePicker *create(QQmlEngine *engine, QJSEngine *);

    // Not default-constructible on purpose: Qt 6.4 makes a singleton with a default
    // constructor itself instead of asking create(), and the screens would then answer
    // a picker nobody asks.
    explicit QmlFilePicker(QObject *parent);

    void chooseFile(const QString &title, const QStringList &nameFilters,
                    std::function<void(std::optional<QString> path)> done) override;
    void chooseFiles(const QString &title, const QString &message, const QStringList &nameFilters,
                     std::function<void(QStringList paths)> done) override;

    Q_INVOKABLE void answer(const QList<QUrl> &files);
    Q_INVOKABLE void cancel();

signals:
    void requested(const QString &title, const QString &message, const QStringList &nameFilters, bool multiple);

private:
    void open(std::function<void(QStringList)> done, const QString &title, const QString &message,
              const QStringList &nameFilters, bool multiple);

    std::function<void(QStringList)> m_pending;
};
