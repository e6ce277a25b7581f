#pragma once

#include "knowledge/PrivateKnowledgeStore.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

// Saves libraries one after another on a thread of its own
// ("com.corvana.private-knowledge"), in the order they were handed over, each from its
// own copy. Used from the main thread.
class KnowledgeWriter {
public:
    static constexpr const char *threadName = "com.corvana.private-knowledge";

    KnowledgeWriter();
    // Finishes every queued save first.
    ~KnowledgeWriter();
    KnowledgeWriter(const KnowledgeWriter &) = delete;
    KnowledgeWriter &operator=(const KnowledgeWriter &) = delete;

    // Queues a save. When it fails, `failed` runs on `context`'s thread with the failure's
    // text, unless `context` is gone by then.
    void save(PrivateKnowledgeStore store, PrivateKnowledge knowledge, QObject *context,
              std::function<void(QString)> failed);
    // Returns once every save queued before has finished.
    void wait();

private:
    QThread m_thread;
    std::unique_ptr<QObject> m_worker;
};
