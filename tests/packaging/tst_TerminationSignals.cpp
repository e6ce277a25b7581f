#include "shell/TerminationSignals.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

namespace {

volatile std::sig_atomic_t earlierHandlerCalls = 0;
void earlierHandler(int) { earlierHandlerCalls = earlierHandlerCalls + 1; }

// Sets one signal's handling for the length of a test and puts back what was there.
struct SignalHandling {
    int signal;
    void (*saved)(int);
    SignalHandling(int signal, void (*handler)(int)) : signal(signal), saved(std::signal(signal, handler)) {}
    ~SignalHandling() { std::signal(signal, saved); }
};

void (*currentHandler(int signal))(int)
{
    struct sigaction action = {};
    ::sigaction(signal, nullptr, &action);
    return action.sa_handler;
}

} // namespace

class TerminationSignalsTest : public QObject {
    Q_OBJECT
private slots:
    void signalArrivesOnTheEventLoop_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    // The signal becomes `received` instead of ending the process; after the first one the
    // earlier handling is back, so a second signal is no longer caught here.
    void signalArrivesOnTheEventLoop()
    {
        QFETCH(int, signal);
        SignalHandling earlier(signal, earlierHandler);
        earlierHandlerCalls = 0;
        {
            TerminationSignals termination;
            QVERIFY2(termination.installed(), qPrintable(termination.errorText()));
            QVERIFY(currentHandler(signal) != earlierHandler);
            QSignalSpy spy(&termination, &TerminationSignals::received);
            QCOMPARE(::raise(signal), 0);
            QCOMPARE(earlierHandlerCalls, 0);
            QVERIFY(spy.wait(5000));
            QCOMPARE(spy.size(), 1);
            QCOMPARE(spy.at(0).at(0).toInt(), signal);

            QVERIFY(currentHandler(signal) == earlierHandler);
            QCOMPARE(::raise(signal), 0);
            QCOMPARE(earlierHandlerCalls, 1);
            QTest::qWait(50);
            QCOMPARE(spy.size(), 1);
        }
        QVERIFY(currentHandler(signal) == earlierHandler);
    }

    // A process started with SIGHUP ignored (nohup) keeps running when its terminal goes.
    void ignoredSignalStaysIgnored()
    {
        SignalHandling ignored(SIGHUP, SIG_IGN);
        TerminationSignals termination;
        QVERIFY(termination.installed());
        QVERIFY(currentHandler(SIGHUP) == SIG_IGN);
        QSignalSpy spy(&termination, &TerminationSignals::received);
        QCOMPARE(::raise(SIGHUP), 0);
        QTest::qWait(50);
        QCOMPARE(spy.size(), 0);
    }

    // A later object is refused while one is installed (the rows above install one after
    // another), and its end leaves the first one working.
    void oneObjectAtATime()
    {
        SignalHandling earlier(SIGTERM, earlierHandler);
        TerminationSignals first;
        {
            TerminationSignals second;
            QVERIFY(!second.installed());
            QVERIFY(!second.errorText().isEmpty());
        }
        QSignalSpy spy(&first, &TerminationSignals::received);
        QCOMPARE(::raise(SIGTERM), 0);
        QVERIFY(spy.wait(5000));
    }
};

QTEST_MAIN(TerminationSignalsTest)
#include "tst_TerminationSignals.moc"
