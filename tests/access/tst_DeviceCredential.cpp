#include "access/DeviceCredential.h"

#include "FailureOf.h"
#include "FakeSecretStore.h"

#include <QTest>

namespace {

const QString tessaroService = QStringLiteral("com.tessaro.native.device");

Connection connection(const QString &token)
{
    return Connection(QStringLiteral("https://api.corvana.example"), token);
}

} // namespace

class DeviceCredentialTest : public QObject {
    Q_OBJECT
private slots:
    void serviceName_data()
    {
        QTest::addColumn<QString>("bundle");
        QTest::addColumn<QString>("service");
        QTest::newRow("quorrel") << "com.quorrel.corvana" << "com.quorrel.corvana.device";
        QTest::newRow("case differs") << "com.Quorrel.corvana" << "com.tessaro.native.device";
        QTest::newRow("longer") << "com.quorrel.corvana.beta" << "com.tessaro.native.device";
    }

    void serviceName()
    {
        QFETCH(QString, bundle);
        QFETCH(QString, service);
        QCOMPARE(DeviceCredential::serviceName(bundle), service);
    }

    void saveTwiceKeepsOneItem()
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

    void storedItemThatNoLongerValidates()
    {
        FakeSecretStore store;
        store.items.insert({tessaroService, "connection"},
                           "{\"serviceUrl\":\"https://api.corvana.example\",\"token\":\"0123456789\"}");
        DeviceCredential credential(store, QStringLiteral("com.tessaro.native"));
        QCOMPARE(failureOf([&] { credential.load(); }), Connection::invalidMessage);

        store.items.insert({tessaroService, "connection"}, "not json");
        QVERIFY_THROWS_EXCEPTION(WireFormatError, credential.load());
    }

    void failures_data()
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

    void failures()
    {
        QFETCH(QString, operation);
        QFETCH(QString, fault);
        QFETCH(bool, stored);
        QFETCH(QString, message);
        FakeSecretStore store;
        DeviceCredential credential(store, QStringLiteral("com.tessaro.native"));
        if (stored)
            credential.save(connection(QStringLiteral("stored-token-0123456789abcdef")));
        store.failing = fault;
        QString failure;
        if (operation == "save")
            failure = failureOf([&] { credential.save(connection(QStringLiteral("new-token-0123456789abcdefgh"))); });
        else if (operation == "load")
            failure = failureOf([&] { credential.load(); });
        else
            failure = failureOf([&] { credential.remove(); });
        QCOMPARE(failure, message);
    }

    void buildsDoNotShareItems()
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
};

QTEST_GUILESS_MAIN(DeviceCredentialTest)
#include "tst_DeviceCredential.moc"
