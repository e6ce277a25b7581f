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

void ModelChanges::onSelectionInputs(SessionModel &model, QObject *receiver, const std::function<void()> &refresh)
{
    const auto inputs = {&SessionModel::answersChanged, &SessionModel::memoryChanged,
                         &SessionModel::selectedIDChanged, &SessionModel::showHiddenChanged,
                         &SessionModel::simpleChanged, &SessionModel::privateKnowledgeChanged,
                         &SessionModel::windowModeChanged, &SessionModel::anchorChanged,
                         &SessionModel::lookbackChanged, &SessionModel::categoryChanged,
                         &SessionModel::rangeStateChanged, &SessionModel::detailChanged,
                         &SessionModel::domainChanged};
    for (const auto signal : inputs)
        QObject::connect(&model, signal, receiver, refresh);
    SessionModel *source = &model;
    QObject::connect(&model, &SessionModel::clockChanged, receiver, [source, refresh] {
        if (source->simple())
            refresh();
    });
}
