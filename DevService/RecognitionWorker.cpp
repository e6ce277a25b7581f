#include "RecognitionWorker.h"

#include <QThreadPool>

#include <deque>
#include <mutex>
#include <vector>

namespace {

QThreadPool &pool()
{
    // Every channel decoding at once gets a thread of its own up to this many.
    static QThreadPool *const shared = [] {
        QThreadPool *p = QThreadPool::globalInstance();
        p->setMaxThreadCount(std::max(p->maxThreadCount(), 8));
        return p;
    }();
    return *shared;
}

} // namespace

struct RecognitionWorker::State : std::enable_shared_from_this<State> {
    struct Job {
        enum class Kind { Begin, Audio, End };
        Kind kind;
        int ordinal = 0;
        QByteArray pcm;
    };

    Factory factory;
    std::function<void(const Result &)> deliver;

    std::mutex lock;                 // guards everything below
    QObject *receiver = nullptr;     // null once the worker is gone
    std::deque<Job> jobs;
    qsizetype backlog = 0;           // PCM bytes queued
    qint64 dropped = 0;
    bool running = false;            // a drain is scheduled or under way
    bool tried = false;              // the factory has been called
    int ordinal = 0;                 // of the utterance being queued
    qsizetype sincePartial = 0;      // audio decoded since the last partial (the worker's own)
    std::unique_ptr<SpeechRecognizer> recognizer;

    void schedule()  // with the lock held
    {
        if (running)
            return;
        running = true;
        std::shared_ptr<State> self = shared_from_this();
        pool().start([self] { self->drain(); });
    }

    void post(Result result)
    {
        const std::lock_guard guard(lock);
        if (!receiver)
            return;
        std::function<void(const Result &)> call = deliver;
        QMetaObject::invokeMethod(
            receiver, [call, result] { call(result); }, Qt::QueuedConnection);
    }

    // Runs on the worker: takes the jobs one by one until none is left.
    void drain()
    {
        std::unique_ptr<SpeechRecognizer> made;
        {
            std::unique_lock guard(lock);
            if (!tried && receiver) {
                tried = true;
                guard.unlock();
                made = factory();
                guard.lock();
                recognizer = std::move(made);
            }
        }
        for (;;) {
            Job job;
            {
                const std::lock_guard guard(lock);
                if (!receiver) {
                    // The worker is gone: free the decoder here, not on the thread that let it go.
                    jobs.clear();
                    made = std::move(recognizer);
                    running = false;
                    break;
                }
                if (jobs.empty()) {
                    running = false;
                    return;
                }
                job = std::move(jobs.front());
                jobs.pop_front();
                backlog -= job.pcm.size();
            }
            SpeechRecognizer *r = recognizer.get();
            switch (job.kind) {
            case Job::Kind::Begin:
                sincePartial = 0;
                if (r)
                    r->begin(job.ordinal);
                break;
            case Job::Kind::Audio:
                if (r)
                    r->feed(reinterpret_cast<const qint16 *>(job.pcm.constData()), std::size_t(job.pcm.size() / 2));
                sincePartial += job.pcm.size();
                if (r && sincePartial >= partialEveryBytes) {
                    sincePartial = 0;
                    post(Result{Result::Kind::Partial, job.ordinal, r->partial()});
                }
                break;
            case Job::Kind::End:
                post(Result{Result::Kind::Final, job.ordinal, r ? r->finish() : QString()});
                break;
            }
        }
        made.reset();
    }
};

RecognitionWorker::RecognitionWorker(Factory factory, QObject *receiver, std::function<void(const Result &)> deliver)
    : m_state(std::make_shared<State>())
{
    m_state->factory = std::move(factory);
    m_state->deliver = std::move(deliver);
    m_state->receiver = receiver;
    // The recogniser is made at once, so it is ready by the first speech.
    const std::lock_guard guard(m_state->lock);
    m_state->schedule();
}

RecognitionWorker::~RecognitionWorker()
{
    const std::lock_guard guard(m_state->lock);
    m_state->receiver = nullptr;
    m_state->jobs.clear();
    m_state->backlog = 0;
    if (m_state->recognizer)
        m_state->schedule();  // frees it on the worker
}

void RecognitionWorker::begin(int ordinal)
{
    const std::lock_guard guard(m_state->lock);
    m_state->ordinal = ordinal;
    m_state->jobs.push_back(State::Job{State::Job::Kind::Begin, ordinal, {}});
    m_state->schedule();
}

bool RecognitionWorker::feed(QByteArrayView pcm)
{
    const std::lock_guard guard(m_state->lock);
    if (m_state->backlog + pcm.size() > maximumBacklogBytes) {
        m_state->dropped += pcm.size();
        return false;
    }
    m_state->jobs.push_back(State::Job{State::Job::Kind::Audio, m_state->ordinal, pcm.toByteArray()});
    m_state->backlog += pcm.size();
    m_state->schedule();
    return true;
}

void RecognitionWorker::end()
{
    const std::lock_guard guard(m_state->lock);
    m_state->jobs.push_back(State::Job{State::Job::Kind::End, m_state->ordinal, {}});
    m_state->schedule();
}

qint64 RecognitionWorker::droppedBytes() const
{
    const std::lock_guard guard(m_state->lock);
    return m_state->dropped;
}
