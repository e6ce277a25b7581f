#include "model/SessionSetup.h"

#include <QTest>

using Message = std::optional<QString>;
Q_DECLARE_METATYPE(Message)
Q_DECLARE_METATYPE(std::optional<qint64>)

namespace {

QString repeated(const QString &piece, int count)
{
    return piece.repeated(count);
}

} // namespace

class SessionSetupTest : public QObject {
    Q_OBJECT
private slots:
    void budget_data()
    {
        QTest::addColumn<QString>("budget");
        QTest::addColumn<bool>("acceptable");
        QTest::addColumn<std::optional<qint64>>("micros");
        const auto micros = [](qint64 value) { return std::optional<qint64>(value); };
        const std::optional<qint64> none;
        QTest::newRow("lowest") << "0.01" << true << micros(10'000);
        QTest::newRow("highest") << "20" << true << micros(20'000'000);
        // The limits hold for the typed digits, before rounding to micro-dollars.
        QTest::newRow("just above highest") << "20.0000000001" << false << micros(20'000'000);
        QTest::newRow("just below lowest") << "0.0099999999" << false << micros(10'000);
        QTest::newRow("negative") << "-1" << false << micros(-1'000'000);
        QTest::newRow("leading point") << ".5" << true << micros(500'000);
        QTest::newRow("exponent above") << "2.1e1" << false << micros(21'000'000);
        QTest::newRow("fractional exponent") << "1.5e1" << true << micros(15'000'000);
        QTest::newRow("huge exponent") << "1e999999999999999" << false << none;
        // The double nearest 2.0000025 lies below the half; the typed digits do not.
        QTest::newRow("half rounds up") << "2.0000025" << true << micros(2'000'003);
        QTest::newRow("below half") << "2.00000249" << true << micros(2'000'002);
        QTest::newRow("smallest half") << "0.0000005" << false << micros(1);
        QTest::newRow("negative half away from zero") << "-0.0000005" << false << micros(-1);
        QTest::newRow("empty") << "" << false << none;
        QTest::newRow("hexadecimal") << "0x10" << false << none;
        QTest::newRow("bare exponent") << "1e" << false << none;
        QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0665") << false << none;
    }

    void budget()
    {
        QFETCH(QString, budget);
        QTEST(SessionSetup::budgetAcceptable(budget), "acceptable");
        QTEST(SessionSetup::budgetMicros(budget), "micros");
    }

    void overrideBudget_data()
    {
        QTest::addColumn<QString>("limit");
        QTest::addColumn<Message>("budget");
        QTest::newRow("lowest") << "10000" << Message("0.01");
        QTest::newRow("whole dollars keep a fraction") << "2000000" << Message("2.0");
        QTest::newRow("micro precision") << "1234567" << Message("1.234567");
        QTest::newRow("plus sign") << "+10000" << Message("0.01");
        QTest::newRow("below") << "9999" << Message();
        QTest::newRow("above") << "20000001" << Message();
        QTest::newRow("negative") << "-10000" << Message();
        QTest::newRow("words") << "lots" << Message();
        QTest::newRow("sign only") << "-" << Message();
        QTest::newRow("beyond 64 bits") << "99999999999999999999" << Message();
        QTest::newRow("64-bit minimum") << "-9223372036854775808" << Message();
    }

    void overrideBudget()
    {
        QFETCH(QString, limit);
        QFETCH(Message, budget);
        QCOMPARE(SessionSetup::overrideBudget(limit), budget);
    }

    void setupProblem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("familiarity");
        QTest::addColumn<QString>("budget");
        QTest::addColumn<Message>("message");
        const QString domain = QStringLiteral("Radiology");
        QTest::newRow("all good") << "ML" << domain << "" << "1" << Message();
        QTest::newRow("bad budget comes first")
            << repeated("n", 81) << "" << repeated("f", 1501) << "0" << Message(SessionSetup::setupBudgetMessage);
        QTest::newRow("short once trimmed") << "ML" << "  ab \n" << "" << "1" << Message(SessionSetup::setupDomainMessage);
        QTest::newRow("three graphemes of many code points")
            << "ML" << QString::fromUtf8("e\u0301e\u0301e\u0301") << "" << "1" << Message();
        QTest::newRow("2,000 plus a line break") << "ML" << repeated("d", 2000) + "\n" << "" << "1" << Message();
        QTest::newRow("2,001") << "ML" << repeated("d", 2001) << "" << "1" << Message(SessionSetup::setupDomainMessage);
        QTest::newRow("familiarity 1,500") << "ML" << domain << repeated("f", 1500) << "1" << Message();
        QTest::newRow("familiarity 1,501")
            << "ML" << domain << repeated("f", 1501) << "1" << Message(SessionSetup::setupFamiliarityMessage);
        QTest::newRow("familiarity counts untrimmed")
            << "ML" << domain << repeated("f", 1500) + " " << "1" << Message(SessionSetup::setupFamiliarityMessage);
        QTest::newRow("name 80 emoji") << repeated(QString::fromUtf8("👍🏽"), 80) << domain << "" << "1" << Message();
        QTest::newRow("name 81") << repeated("n", 81) << domain << "" << "1" << Message(SessionSetup::setupNameMessage);
    }

    void setupProblem()
    {
        QFETCH(QString, name);
        QFETCH(QString, domain);
        QFETCH(QString, familiarity);
        QFETCH(QString, budget);
        QFETCH(Message, message);
        QCOMPARE(SessionSetup::setupProblem(name, domain, familiarity, budget), message);
    }

    void startProblem_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("familiarity");
        QTest::addColumn<QString>("budget");
        QTest::addColumn<bool>("refused");
        QTest::newRow("good") << "Radiology" << "" << "20" << false;
        QTest::newRow("bad budget") << "Radiology" << "" << "20.01" << true;
        // A start measures the domain as held, so a trailing line break counts.
        QTest::newRow("2,000 plus a line break") << repeated("d", 2000) + "\n" << "" << "1" << true;
        QTest::newRow("2,000") << repeated("d", 2000) << "" << "1" << false;
        QTest::newRow("long familiarity") << "Radiology" << repeated("f", 1501) << "1" << true;
    }

    void startProblem()
    {
        QFETCH(QString, domain);
        QFETCH(QString, familiarity);
        QFETCH(QString, budget);
        QFETCH(bool, refused);
        const Message expected = refused ? Message(SessionSetup::startMessage) : Message();
        QCOMPARE(SessionSetup::startProblem(domain, familiarity, budget), expected);
    }

    void durationChoices_data()
    {
        QTest::addColumn<std::optional<qint64>>("accountMaximum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QList<int>>("choices");
        QTest::newRow("no value") << std::optional<qint64>() << 60 << QList<int>{15, 30, 60};
        QTest::newRow("capped at 120") << std::optional<qint64>(500) << 120 << QList<int>{15, 30, 60, 90, 120};
        QTest::newRow("below every choice") << std::optional<qint64>(10) << 10 << QList<int>{10};
    }

    void durationChoices()
    {
        QFETCH(std::optional<qint64>, accountMaximum);
        QFETCH(int, maximum);
        QFETCH(QList<int>, choices);
        Account account;
        account.health.maxSessionMinutes = accountMaximum;
        QCOMPARE(SessionSetup::maximumMinutes(account), maximum);
        QCOMPARE(SessionSetup::durationChoices(maximum), choices);
        QCOMPARE(SessionSetup::maximumMinutes(std::nullopt), 60);
    }
};

QTEST_GUILESS_MAIN(SessionSetupTest)
#include "tst_SessionSetup.moc"
