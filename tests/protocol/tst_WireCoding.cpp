#include "protocol/Account.h"
#include "protocol/Connection.h"
#include "protocol/PreparedAnswer.h"
#include "protocol/ServerEvent.h"
#include "protocol/TessaroError.h"

#include <QTest>

class WireCodingTest : public QObject {
    Q_OBJECT
private slots:
    void integersAreExact();
};

void WireCodingTest::integersAreExact()
{
    const auto wallet = wire::decode<Wallet>(
        R"({"balanceMicros":9007199254740993,"reservedMicros":-9223372036854775808,"spentMicros":9223372036854775807,"simulated":true})");
    QCOMPARE(wallet.balanceMicros, 9007199254740993LL);
    QCOMPARE(wallet.reservedMicros, std::numeric_limits<qint64>::min());
    QCOMPARE(wallet.spentMicros, std::numeric_limits<qint64>::max());
    QCOMPARE(wire::encode(wallet),
             QByteArray(R"({"balanceMicros":9007199254740993,"reservedMicros":-9223372036854775808,"spentMicros":9223372036854775807,"simulated":true})"));
}

QTEST_GUILESS_MAIN(WireCodingTest)
#include "tst_WireCoding.moc"
