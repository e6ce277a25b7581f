#include "QmlInstances.h"

#include <QByteArray>
#include <QDebug>
#include <QQmlEngine>

namespace {

QByteArray key(const QMetaObject &type)
{
    return QByteArrayLiteral("_corvana_instance_") + type.className();
}

} // namespace

void QmlInstances::store(QQmlEngine *engine, const QMetaObject &type, QObject *object)
{
    engine->setProperty(key(type).constData(), QVariant::fromValue(object));
}

QObject *QmlInstances::find(QQmlEngine *engine, const QMetaObject &type)
{
    QObject *object = engine ? engine->property(key(type).constData()).value<QObject *>() : nullptr;
    if (object)
        QJSEngine::setObjectOwnership(object, QJSEngine::CppOwnership);
    else
        qWarning("%s was not handed to this QML engine", type.className());
    return object;
}
