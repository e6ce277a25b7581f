#include "access/AppConfiguration.h"

#include <QTest>

class AppConfigurationTest : public QObject {
    Q_OBJECT
private slots:
    void releaseFlag_data()
    {
        QTest::addColumn<QVariantMap>("information");
        QTest::addColumn<bool>("release");

        QTest::newRow("true") << QVariantMap{{"CVNReleaseBuild", true}} << true;
        QTest::newRow("false") << QVariantMap{{"CVNReleaseBuild", false}} << false;
        QTest::newRow("absent") << QVariantMap{} << false;
        QTest::newRow("string YES") << QVariantMap{{"CVNReleaseBuild", QStringLiteral("YES")}} << false;
    }

    void releaseFlag()
    {
        QFETCH(QVariantMap, information);
        QFETCH(bool, release);
        QCOMPARE(AppConfiguration(information).release(), release);
    }

    void address_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("accepted");

        // How addresses parse is UrlComponents' rule; these are the configuration's own.
        QTest::newRow("https host") << QVariant(QStringLiteral("https://api.corvana.app")) << true;
        QTest::newRow("https with query") << QVariant(QStringLiteral("https://corvana.app/help?topic=audio")) << true;
        QTest::newRow("fragment") << QVariant(QStringLiteral("https://corvana.app/help#top")) << false;
        QTest::newRow("http") << QVariant(QStringLiteral("http://api.corvana.app")) << false;
        QTest::newRow("user") << QVariant(QStringLiteral("https://me@api.corvana.app")) << false;
        QTest::newRow("no host") << QVariant(QStringLiteral("https:///path")) << false;
        QTest::newRow("not a string") << QVariant(42) << false;
        QTest::newRow("url value") << QVariant(QUrl(QStringLiteral("https://api.corvana.app"))) << false;
    }

    void address()
    {
        QFETCH(QVariant, value);
        QFETCH(bool, accepted);

        const AppConfiguration configuration({{"CVNServiceURL", value}, {"CVNSupportURL", value}, {"CVNPrivacyURL", value}});
        QCOMPARE(configuration.serviceURL().has_value(), accepted);
        QCOMPARE(configuration.supportURL().has_value(), accepted);
        QCOMPARE(configuration.privacyURL().has_value(), accepted);
        if (accepted) {
            // The service address is kept exactly as written; the pages as the same address.
            QCOMPARE(*configuration.serviceURL(), value.toString());
            QCOMPARE(*configuration.supportURL(), QUrl(value.toString()));
            QCOMPARE(*configuration.privacyURL(), QUrl(value.toString()));
        }
    }

    void eachKeyIsReadOnItsOwn()
    {
        const AppConfiguration configuration({{"CVNServiceURL", QStringLiteral("http://127.0.0.1:4318")},
                                              {"CVNSupportURL", QStringLiteral("https://corvana.app/support?from=app")},
                                              {"CVNPrivacyURL", QStringLiteral("https://corvana.app/privacy#data")},
                                              {"CVNReleaseBuild", true}});
        QVERIFY(!configuration.serviceURL());
        QCOMPARE(configuration.supportURL(), QUrl(QStringLiteral("https://corvana.app/support?from=app")));
        QVERIFY(!configuration.privacyURL());
        QVERIFY(configuration.release());

        const AppConfiguration empty;
        QVERIFY(!empty.serviceURL() && !empty.supportURL() && !empty.privacyURL() && !empty.release());
    }
};

QTEST_GUILESS_MAIN(AppConfigurationTest)
#include "tst_AppConfiguration.moc"
