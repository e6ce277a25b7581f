#include "access/DeviceCredential.h"

#include "FakeSecretStore.h"
#include "protocol/TessaroError.h"

#include <QTest>

#include <functional>

namespace {

const QString tessaroService = QStringLiteral("com.tessaro.native.device");

Connection connection(const QString &token)
{
    return Connection(QStringLiteral("https://api.corvana.example"), token);
}

QString failureOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const TessaroError &error) {
        return error.description();
    } catch (const std::exception &error) {
        return QStringLiteral("other: ") + QString::fromUtf8(error.what());
    }
    return {};
}

} // namespace

class DeviceCredentialTest : public QObject {
    Q_OBJECT
private slots:
    void serviceName_data();
    void serviceName();
    void saveTwiceKeepsOneItem();
    void storedItemThatNoLongerValidates();
    void failures_data();
    void failures();
    void buildsDoNotShareItems();
};

void DeviceCredentialTest::serviceName_data()
{
    QTest::addColumn<QString>("bundle");
    QTest::addColumn<QString>("service");
    QTest::newRow("quorrel") << "com.quorrel.corvana" << "com.quorrel.corvana.device";
    QTest::newRow("tessaro") << "com.tessaro.native" << "com.tessaro.native.device";
    QTest::newRow("case differs") << "com.Quorrel.corvana" << "com.tessaro.native.device";
    QTest::newRow("longer") << "com.quorrel.corvana.beta" << "com.tessaro.native.device";
    QTest::newRow("none") << "" << "com.tessaro.native.device";
}

void DeviceCredentialTest::serviceName()
{
    QFETCH(QString, bundle);
    QFETCH(QString, service);
    QCOMPARE(DeviceCredential::serviceName(bundle), service);
}

void DeviceCredentialTest::saveTwiceKeepsOneItem()
{
    FakeSecretStore store;
    DeviceCredential credential(store, QStringLiteral("com.tessaro.native"));
    credential.save(connection(QStringLiteral("first-token-0123456789abcdef")));
    credential.save(connection(QStringLiteral("second-token-0123456789abcdef")));
    QCOMPARE(store.items.size(), 1);
    QCOMPARE(store.items.value({tessaroService, "connection"}),
             QByteArray("{\"serviceUrl\":\"https://api.corvana.example\",\"token\":\"second-token-0123456789abcdef\"}"));
    QCOMPARE(credential.load(), std::optional<Connection>(connection(QStringLiteral("second-token-0123456789abcdef"))));
}

void DeviceCredentialTest::storedItemThatNoLongerValidates()
{
    FakeSecretStore store;
    store.items.insert({tessaroService, "connection"},
                       "{\"serviceUrl\":\"https://api.corvana.example\",\"token\":\"0123456789\"}");
    DeviceCredential credential(store, QStringLiteral("com.tessaro.native"));
    QCOMPARE(failureOf([&] { credential.load(); }), Connection::invalidMessage);

    store.items.insert({tessaroService, "connection"}, "not json");
    const QString malformed = failureOf([&] { credential.load(); });
    QVERIFY(!malformed.isEmpty());
    QVERIFY(malformed != Connection::invalidMessage);
}

void DeviceCredentialTest::failures_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("message");
    QTest::newRow("add refused") << "save" << "add" << false << "Could not save the device token in your keyring.";
    QTest::newRow("update refused") << "save" << "update" << true << "Could not update the device token in your keyring.";
    QTest::newRow("locked on load") << "load" << "copy" << true << "Unlock your keyring to reconnect Corvana.";
    QTest::newRow("found without data") << "load" << "nodata" << true << "Unlock your keyring to reconnect Corvana.";
    QTest::newRow("locked on remove")
        << "remove" << "remove" << true << QString::fromUtf8("Unlock your keyring to remove this device\u2019s saved sign-in.");
}

void DeviceCredentialTest::failures()
{
    QFETCH(QString, operation);
    QFETCH(QString, fault);
    QFETCH(bool, stored);
    QFETCH(QString, message);
    FakeSecretStore store;
    DeviceCredential credential(store, QStringLiteral("com.tessaro.native"));
    if (stored)
        credential.save(connection(QStringLiteral("stored-token-0123456789abcdef")));
    store.failAdd = fault == "add";
    store.failUpdate = fault == "update";
    store.failCopy = fault == "copy";
    store.copyWithoutData = fault == "nodata";
    store.failRemove = fault == "remove";
    QString failure;
    if (operation == "save")
        failure = failureOf([&] { credential.save(connection(QStringLiteral("new-token-0123456789abcdefgh"))); });
    else if (operation == "load")
        failure = failureOf([&] { credential.load(); });
    else
        failure = failureOf([&] { credential.remove(); });
    QCOMPARE(failure, message);
}

void DeviceCredentialTest::buildsDoNotShareItems()
{
    FakeSecretStore store;
    DeviceCredential quorrel(store, QStringLiteral("com.quorrel.corvana"));
    DeviceCredential tessaro(store, QStringLiteral("com.tessaro.native"));
    quorrel.save(connection(QStringLiteral("quorrel-token-0123456789abcdef")));
    // A build with no item of its own loads nothing and has nothing to remove.
    QCOMPARE(tessaro.load(), std::optional<Connection>());
    tessaro.remove();
    QVERIFY(quorrel.load().has_value());
}

QTEST_GUILESS_MAIN(DeviceCredentialTest)
#include "tst_DeviceCredential.moc"
