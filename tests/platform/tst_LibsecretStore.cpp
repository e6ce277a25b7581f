#include "platform/linux/LibsecretStore.h"

#include "PrivateSecretService.h"
#include "access/DeviceCredential.h"

#include <QTest>

// Runs against a real Secret Service (gnome-keyring) of the test's own.
class LibsecretStoreTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_service = std::make_unique<PrivateSecretService>();
        if (!m_service->started())
            QSKIP(qPrintable(QStringLiteral("no Secret Service could be started: ") + m_service->error()));
    }

    void credentialLifecycle()
    {
        LibsecretStore store;
        DeviceCredential credential(store, QStringLiteral("com.tessaro.native"));
        QCOMPARE(credential.load(), std::optional<Connection>());
        credential.remove();

        for (const char *token : {"first-token-0123456789abcdef", "second-token-0123456789abcdef"}) {
            const Connection connection(QStringLiteral("https://api.corvana.example"), QString::fromLatin1(token));
            credential.save(connection);
            QCOMPARE(credential.load(), std::optional<Connection>(connection));
        }
        // Another build's items stay apart.
        QCOMPARE(DeviceCredential(store, QStringLiteral("com.quorrel.corvana")).load(), std::optional<Connection>());

        credential.remove();
        QCOMPARE(credential.load(), std::optional<Connection>());
    }

    void storeStatuses()
    {
        LibsecretStore store;
        const QString service = QStringLiteral("com.tessaro.native.test");
        QCOMPARE(store.update(service, "a", "x"), SecretStore::Status::NotFound);
        QCOMPARE(store.add(service, "a", "one"), SecretStore::Status::Success);
        QCOMPARE(store.update(service, "a", "two"), SecretStore::Status::Success);
        const SecretStore::Item item = store.copy(service, "a");
        QCOMPARE(item.status, SecretStore::Status::Success);
        QCOMPARE(item.data, std::optional<QByteArray>("two"));
        // Items of another account stay apart.
        QCOMPARE(store.copy(service, "b").status, SecretStore::Status::NotFound);
        QCOMPARE(store.remove(service, "a"), SecretStore::Status::Success);
        QCOMPARE(store.remove(service, "a"), SecretStore::Status::NotFound);
    }

private:
    std::unique_ptr<PrivateSecretService> m_service;
};

QTEST_GUILESS_MAIN(LibsecretStoreTest)
#include "tst_LibsecretStore.moc"
