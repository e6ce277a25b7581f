#pragma once

#include <QObject>

class QQmlEngine;

// The objects the application owns reach the screens as QML singletons. The owner hands each
// one to the engine before it loads the windows; the type's create() takes it back from there,
// so every engine sees the instances of the application that made it, and the engine never
// deletes them.
class QmlInstances {
public:
    template<typename T>
    static void provide(QQmlEngine *engine, T *object)
    {
        store(engine, T::staticMetaObject, object);
    }

    template<typename T>
    static T *take(QQmlEngine *engine)
    {
        return static_cast<T *>(find(engine, T::staticMetaObject));
    }

private:
    static void store(QQmlEngine *engine, const QMetaObject &type, QObject *object);
    static QObject *find(QQmlEngine *engine, const QMetaObject &type);
};
