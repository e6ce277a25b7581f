#include "conversation/AnswerWindow.h"

#include <QTest>

#include <limits>

namespace {

using Spans = QList<std::pair<double, double>>;

PreparedAnswer answerAt(Spans spans, std::optional<QString> category = std::nullopt)
{
    PreparedAnswer answer;
    answer.status = QStringLiteral("ready");
    answer.category = std::move(category);
    answer.occurrences = QList<SpeechOccurrence>();
    for (const auto &[start, end] : spans)
        answer.occurrences->append(SpeechOccurrence{QStringLiteral("o"), start, end});
    return answer;
}

} // namespace

class AnswerWindowTest : public QObject {
    Q_OBJECT
private slots:
    void bounds_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<double>("anchor");
        QTest::addColumn<double>("lookback");
        QTest::addColumn<double>("elapsed");
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");

        QTest::newRow("continue clamps at 0, early") << "continue" << 30'000.0 << 60.0 << 45'000.0 << 0.0 << 45'000.0;
        QTest::newRow("continue cap from start") << "continue" << 300'000.0 << 60.0 << 2'000'000.0 << 240'000.0 << 840'000.0;
        QTest::newRow("now capped") << "now" << 120'000.0 << 60.0 << 900'000.0 << 120'000.0 << 720'000.0;
        QTest::newRow("past") << "past" << 300'000.0 << 60.0 << 0.0 << 240'000.0 << 300'000.0;
    }

    void bounds()
    {
        QFETCH(QString, mode);
        QFETCH(double, anchor);
        QFETCH(double, lookback);
        QFETCH(double, elapsed);
        QFETCH(double, start);
        QFETCH(double, end);

        const AnswerWindow w{mode, anchor, lookback, QStringLiteral("all")};
        QCOMPARE(w.startMs(), start);
        QCOMPARE(w.endMs(elapsed), end);
    }

    void contains_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("category");
        QTest::addColumn<PreparedAnswer>("answer");
        QTest::addColumn<bool>("inside");

        // "past" is 240,000 – 300,000; "continue" 240,000 – the elapsed 500,000.
        QTest::newRow("ends exactly at start") << "past" << "all" << answerAt({{230'000, 240'000}}) << true;
        QTest::newRow("starts exactly at end") << "past" << "all" << answerAt({{300'000, 310'000}}) << true;
        QTest::newRow("starts just after end") << "past" << "all" << answerAt({{300'000.5, 310'000}}) << false;
        QTest::newRow("one of several")
            << "past" << "all" << answerAt({{0, 1'000}, {500'000, 501'000}, {299'000, 299'500}}) << true;
        PreparedAnswer answer = answerAt({{250'000, 260'000}});
        answer.provisional = true;
        QTest::newRow("provisional") << "continue" << "all" << answer << false;
        // Hidden and still preparing answers are the list's business, not the window's.
        answer = answerAt({{250'000, 260'000}});
        answer.hidden = true;
        answer.status = QStringLiteral("preparing");
        QTest::newRow("hidden, preparing") << "past" << "all" << answer << true;
        answer.occurrences.reset();
        QTest::newRow("no occurrences") << "continue" << "all" << answer << false;

        using Category = std::optional<QString>;
        QTest::newRow("all keeps none") << "past" << "all" << answerAt({{250'000, 260'000}}, Category()) << true;
        QTest::newRow("term keeps term") << "past" << "term" << answerAt({{250'000, 260'000}}, "term") << true;
        QTest::newRow("term drops date") << "past" << "term" << answerAt({{250'000, 260'000}}, "date") << false;
        QTest::newRow("All is not all") << "past" << "All" << answerAt({{250'000, 260'000}}, "term") << false;
    }

    void contains()
    {
        QFETCH(QString, mode);
        QFETCH(QString, category);
        QFETCH(PreparedAnswer, answer);
        QFETCH(bool, inside);
        QCOMPARE((AnswerWindow{mode, 300'000, 60, category}).contains(answer, 500'000), inside);
    }

    void timestamp_data()
    {
        QTest::addColumn<double>("ms");
        QTest::addColumn<QString>("text");

        QTest::newRow("negative") << -5'000.0 << "0:00";
        QTest::newRow("999.9 truncates") << 999.9 << "0:00";
        QTest::newRow("61,500") << 61'500.0 << "1:01";
        QTest::newRow("beyond 32-bit minutes") << 3e17 << "5000000000000:00";
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "0:00";
    }

    void timestamp()
    {
        QFETCH(double, ms);
        QFETCH(QString, text);
        QCOMPARE(AnswerWindow::timestamp(ms), text);
    }

    void labels_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("modeLabel");
        QTest::addColumn<QString>("categoryLabel");

        QTest::newRow("past") << "past" << "Past only" << "past";
        QTest::newRow("now") << "now" << "Starting now" << "now";
        QTest::newRow("all") << "all" << "Past + present" << "All";
        QTest::newRow("term") << "term" << "Past + present" << "Terms";
        QTest::newRow("date") << "date" << "Past + present" << "Dates";
    }

    void labels()
    {
        QFETCH(QString, value);
        QFETCH(QString, modeLabel);
        QFETCH(QString, categoryLabel);
        QCOMPARE(AnswerWindow::modeLabel(value), modeLabel);
        QCOMPARE(AnswerWindow::categoryLabel(value), categoryLabel);
    }
};

QTEST_GUILESS_MAIN(AnswerWindowTest)
#include "tst_AnswerWindow.moc"
