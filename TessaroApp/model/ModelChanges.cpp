#include "ModelChanges.h"

#include "model/SessionModel.h"

#include <QMetaMethod>

void ModelChanges::forwardAll(SessionModel &model, QObject *receiver)
{
    const QMetaObject *meta = model.metaObject();
    const QMetaObject *target = receiver->metaObject();
    const QMetaMethod notify = target->method(target->indexOfSignal("changed()"));
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() == QMetaMethod::Signal && method.parameterCount() == 0)
            QObject::connect(&model, method, receiver, notify);
    }
}
