#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The write end of the installed object's pipe, read by the handler; -1 when none is
// installed.
std::atomic<int> handlerPipe{-1};

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_error = QStringLiteral("no pipe for termination signals: ") + QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    int expected = -1;
    if (!handlerPipe.compare_exchange_strong(expected, ends[1])) {
        ::close(ends[0]);
        ::close(ends[1]);
        m_error = QStringLiteral("termination signals are already handled by another object");
        return;
    }
    m_readEnd = ends[0];
    m_writeEnd = ends[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_readEnd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TerminationSignals::readPending);

    struct sigaction action = {};
    action.sa_handler = &TerminationSignals::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < watchedCount; ++i) {
        if (::sigaction(watched[i], nullptr, &m_previous[i]) != 0)
            continue;
        // Started with the signal ignored (nohup, a background job): keep it so.
        if (!(m_previous[i].sa_flags & SA_SIGINFO) && m_previous[i].sa_handler == SIG_IGN)
            continue;
        m_replaced[i] = ::sigaction(watched[i], &action, nullptr) == 0;
    }
    m_installed = true;
}

TerminationSignals::~TerminationSignals()
{
    restore();
    if (m_writeEnd >= 0) {
        int mine = m_writeEnd;
        handlerPipe.compare_exchange_strong(mine, -1);
    }
    m_notifier.reset();
    if (m_readEnd >= 0)
        ::close(m_readEnd);
    if (m_writeEnd >= 0)
        ::close(m_writeEnd);
}

void TerminationSignals::handle(int signal)
{
    const int savedErrno = errno;
    const int fd = handlerPipe.load();
    if (fd >= 0) {
        const unsigned char number = static_cast<unsigned char>(signal);
        // A full pipe already holds a request to quit; nothing more to say.
        [[maybe_unused]] const ssize_t written = ::write(fd, &number, 1);
    }
    errno = savedErrno;
}

void TerminationSignals::readPending()
{
    unsigned char numbers[16];
    QList<int> arrived;
    for (;;) {
        const ssize_t count = ::read(m_readEnd, numbers, sizeof numbers);
        if (count > 0) {
            for (ssize_t i = 0; i < count; ++i)
                arrived.append(numbers[i]);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        break;
    }
    if (arrived.isEmpty())
        return;
    restore();
    for (const int signal : arrived)
        emit received(signal);
}

void TerminationSignals::restore()
{
    for (int i = 0; i < watchedCount; ++i) {
        if (m_replaced[i])
            ::sigaction(watched[i], &m_previous[i], nullptr);
        m_replaced[i] = false;
    }
}
