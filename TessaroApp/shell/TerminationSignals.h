#pragma once

#include <QObject>
#include <QString>

#include <csignal>
#include <memory>

class QSocketNotifier;

// Turns the signals that ask the process to end — SIGTERM (the desktop session or a
// service manager), SIGINT (Control-C in a terminal), SIGHUP (the terminal went away) —
// into `received` on the thread that made this object, so the app quits the way
// "Quit Corvana" does and exits with status 0. The handler only writes the signal's
// number to a pipe the event loop watches. A signal the process was started with
// ignored stays ignored. After the first one the earlier handling is back, so a second
// signal ends the process at once should quitting ever hang.
// One object at a time: a second one installs nothing.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    bool installed() const { return m_installed; }
    // Why nothing was installed; empty when installed.
    QString errorText() const { return m_error; }

signals:
    void received(int signal);

private:
    static void handle(int signal);
    void readPending();
    void restore();

    static constexpr int watchedCount = 3;
    static constexpr int watched[watchedCount] = {SIGTERM, SIGINT, SIGHUP};

    bool m_installed = false;
    QString m_error;
    int m_readEnd = -1;
    int m_writeEnd = -1;
    bool m_replaced[watchedCount] = {};
    struct sigaction m_previous[watchedCount] = {};
    std::unique_ptr<QSocketNotifier> m_notifier;
};
