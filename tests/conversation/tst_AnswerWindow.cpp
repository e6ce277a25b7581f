#include "conversation/AnswerWindow.h"

#include <QTest>

#include <limits>

namespace {

AnswerWindow window(const QString &mode, double anchorMs, double lookbackSeconds, const QString &category = "all")
{
    return AnswerWindow{mode, anchorMs, lookbackSeconds, category};
}

PreparedAnswer answerAt(QList<std::pair<double, double>> spans, std::optional<QString> category = std::nullopt,
                        bool provisional = false)
{
    PreparedAnswer answer;
    answer.id = QStringLiteral("a");
    answer.status = QStringLiteral("ready");
    answer.category = std::move(category);
    answer.provisional = provisional;
    QList<SpeechOccurrence> occurrences;
    for (const auto &[start, end] : spans)
        occurrences.append(SpeechOccurrence{QStringLiteral("o"), start, end});
    answer.occurrences = occurrences;
    return answer;
}

using Spans = QList<std::pair<double, double>>;

} // namespace

class AnswerWindowTest : public QObject {
    Q_OBJECT
private slots:
    void bounds_data();
    void bounds();
    void overlap_data();
    void overlap();
    void category_data();
    void category();
    void timestamp_data();
    void timestamp();
    void labels_data();
    void labels();
};

void AnswerWindowTest::bounds_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<double>("anchor");
    QTest::addColumn<double>("lookback");
    QTest::addColumn<double>("elapsed");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");

    QTest::newRow("continue clamps at 0, early") << "continue" << 30'000.0 << 60.0 << 45'000.0 << 0.0 << 45'000.0;
    QTest::newRow("continue cap from start") << "continue" << 300'000.0 << 60.0 << 2'000'000.0 << 240'000.0 << 840'000.0;
    QTest::newRow("continue fractional lookback") << "continue" << 10'000.0 << 2.5 << 20'000.0 << 7'500.0 << 20'000.0;
    QTest::newRow("now capped") << "now" << 120'000.0 << 60.0 << 900'000.0 << 120'000.0 << 720'000.0;
    QTest::newRow("now negative anchor") << "now" << -5'000.0 << 60.0 << 900'000.0 << 0.0 << 600'000.0;
    QTest::newRow("past") << "past" << 300'000.0 << 60.0 << 0.0 << 240'000.0 << 300'000.0;
    QTest::newRow("unknown mode is continue") << "later" << 300'000.0 << 60.0 << 2'000'000.0 << 240'000.0 << 840'000.0;
}

void AnswerWindowTest::bounds()
{
    QFETCH(QString, mode);
    QFETCH(double, anchor);
    QFETCH(double, lookback);
    QFETCH(double, elapsed);
    QFETCH(double, start);
    QFETCH(double, end);

    const AnswerWindow w = window(mode, anchor, lookback);
    QCOMPARE(w.startMs(), start);
    QCOMPARE(w.endMs(elapsed), end);
}

void AnswerWindowTest::overlap_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<double>("elapsed");
    QTest::addColumn<Spans>("spans");
    QTest::addColumn<QString>("state"); // "provisional", "hidden", "no occurrences"
    QTest::addColumn<bool>("inside");

    // "past" 240,000 – 300,000.
    QTest::newRow("ends exactly at start") << "past" << 0.0 << Spans{{230'000, 240'000}} << QString() << true;
    QTest::newRow("starts exactly at end") << "past" << 0.0 << Spans{{300'000, 310'000}} << QString() << true;
    QTest::newRow("starts just after end") << "past" << 0.0 << Spans{{300'000.5, 310'000}} << QString() << false;
    QTest::newRow("covers the window") << "past" << 0.0 << Spans{{100'000, 400'000}} << QString() << true;
    QTest::newRow("one of several") << "past" << 0.0 << Spans{{0, 1'000}, {500'000, 501'000}, {299'000, 299'500}} << QString() << true;
    QTest::newRow("none of several") << "past" << 0.0 << Spans{{0, 1'000}, {500'000, 501'000}} << QString() << false;
    QTest::newRow("provisional") << "continue" << 500'000.0 << Spans{{250'000, 260'000}} << "provisional" << false;
    // Hidden and still preparing answers are the list's business, not the window's.
    QTest::newRow("hidden, preparing") << "past" << 0.0 << Spans{{250'000, 260'000}} << "hidden" << true;
    QTest::newRow("no occurrences") << "continue" << 500'000.0 << Spans{} << "no occurrences" << false;
}

void AnswerWindowTest::overlap()
{
    QFETCH(QString, mode);
    QFETCH(double, elapsed);
    QFETCH(Spans, spans);
    QFETCH(QString, state);
    QFETCH(bool, inside);

    PreparedAnswer answer = answerAt(spans, std::nullopt, state == "provisional");
    if (state == "hidden") {
        answer.hidden = true;
        answer.status = QStringLiteral("preparing");
    } else if (state == "no occurrences") {
        answer.occurrences.reset();
    }
    QCOMPARE(window(mode, 300'000, 60).contains(answer, elapsed), inside);
}

void AnswerWindowTest::category_data()
{
    QTest::addColumn<QString>("windowCategory");
    QTest::addColumn<std::optional<QString>>("answerCategory");
    QTest::addColumn<bool>("inside");

    using Category = std::optional<QString>;
    QTest::newRow("all keeps none") << "all" << Category() << true;
    QTest::newRow("term keeps term") << "term" << Category("term") << true;
    QTest::newRow("term drops date") << "term" << Category("date") << false;
    QTest::newRow("term drops none") << "term" << Category() << false;
    QTest::newRow("All is not all") << "All" << Category("term") << false;
}

void AnswerWindowTest::category()
{
    QFETCH(QString, windowCategory);
    QFETCH(std::optional<QString>, answerCategory);
    QFETCH(bool, inside);

    const AnswerWindow w = window("past", 300'000, 60, windowCategory);
    QCOMPARE(w.contains(answerAt({{250'000, 260'000}}, answerCategory), 0), inside);
    // Outside the time range nothing is kept, whatever the category.
    QVERIFY(!w.contains(answerAt({{0, 1'000}}, answerCategory), 0));
}

void AnswerWindowTest::timestamp_data()
{
    QTest::addColumn<double>("ms");
    QTest::addColumn<QString>("text");

    QTest::newRow("negative") << -5'000.0 << "0:00";
    QTest::newRow("999.9 truncates") << 999.9 << "0:00";
    QTest::newRow("61,500") << 61'500.0 << "1:01";
    QTest::newRow("minutes do not wrap") << 4'500'000.0 << "75:00";
    QTest::newRow("beyond 32-bit minutes") << 3e17 << "5000000000000:00";
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "0:00";
}

void AnswerWindowTest::timestamp()
{
    QFETCH(double, ms);
    QFETCH(QString, text);
    QCOMPARE(AnswerWindow::timestamp(ms), text);
}

void AnswerWindowTest::labels_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("modeLabel");
    QTest::addColumn<QString>("categoryLabel");

    QTest::newRow("continue") << "continue" << "Past + present" << "continue";
    QTest::newRow("past") << "past" << "Past only" << "past";
    QTest::newRow("now") << "now" << "Starting now" << "now";
    QTest::newRow("all") << "all" << "Past + present" << "All";
    QTest::newRow("term") << "term" << "Past + present" << "Terms";
    QTest::newRow("date") << "date" << "Past + present" << "Dates";
}

void AnswerWindowTest::labels()
{
    QFETCH(QString, value);
    QFETCH(QString, modeLabel);
    QFETCH(QString, categoryLabel);
    QCOMPARE(AnswerWindow::modeLabel(value), modeLabel);
    QCOMPARE(AnswerWindow::categoryLabel(value), categoryLabel);
}

QTEST_GUILESS_MAIN(AnswerWindowTest)
#include "tst_AnswerWindow.moc"
