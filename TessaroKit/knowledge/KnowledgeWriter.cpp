#include "knowledge/KnowledgeWriter.h"

#include "protocol/TessaroError.h"

#include <QPointer>

KnowledgeWriter::KnowledgeWriter() : m_worker(std::make_unique<QObject>())
{
    m_thread.setObjectName(QString::fromLatin1(threadName));
    m_worker->moveToThread(&m_thread);
    m_thread.start(QThread::LowPriority);
}

KnowledgeWriter::~KnowledgeWriter()
{
    wait();
    m_thread.quit();
    m_thread.wait();
    // The worker has no more events; deleting it from here is safe once its thread ended.
    m_worker.reset();
}

void KnowledgeWriter::save(PrivateKnowledgeStore store, PrivateKnowledge knowledge, QObject *context,
                           std::function<void(QString)> failed)
{
    QPointer<QObject> receiver(context);
    QMetaObject::invokeMethod(
        m_worker.get(),
        [store = std::move(store), knowledge = std::move(knowledge), receiver, failed = std::move(failed)] {
            try {
                store.save(knowledge);
            } catch (const std::exception &failure) {
                const QString text = describeFailure(failure);
                QObject *target = receiver.data();
                if (target && failed)
                    QMetaObject::invokeMethod(target, [failed, text] { failed(text); }, Qt::QueuedConnection);
            }
        },
        Qt::QueuedConnection);
}

void KnowledgeWriter::wait()
{
    if (!m_thread.isRunning() || QThread::currentThread() == &m_thread)
        return;
    QMetaObject::invokeMethod(m_worker.get(), [] {}, Qt::BlockingQueuedConnection);
}
