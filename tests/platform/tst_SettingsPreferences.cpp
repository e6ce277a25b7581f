#include "platform/linux/SettingsPreferences.h"

#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

// Values are read back by a second instance, so they pass through the file.
class SettingsPreferencesTest : public QObject {
    Q_OBJECT
private slots:
    void valuesSurviveTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Corvana.conf"));
        {
            SettingsPreferences preferences(path);
            preferences.setString(QStringLiteral("domain"), QStringLiteral("Oncology, radiology; \"imaging\"\nsecond line"));
            preferences.setString(QStringLiteral("budget"), QStringLiteral("1"));
            preferences.setString(QStringLiteral("familiarity"), QString());
            preferences.setInteger(QStringLiteral("durationMinutes"), 45);
            preferences.setBoolean(QStringLiteral("onboardingComplete"), true);
        }
        SettingsPreferences preferences(path);
        QCOMPARE((QList<std::optional<QString>>{preferences.string(QStringLiteral("domain")),
                                                preferences.string(QStringLiteral("budget")),
                                                preferences.string(QStringLiteral("familiarity")),
                                                preferences.string(QStringLiteral("missing"))}),
                 (QList<std::optional<QString>>{QStringLiteral("Oncology, radiology; \"imaging\"\nsecond line"),
                                                QStringLiteral("1"), QString(), std::nullopt}));
        QCOMPARE(preferences.integer(QStringLiteral("durationMinutes")), std::optional<qint64>(45));
        QCOMPARE(preferences.boolean(QStringLiteral("onboardingComplete")), std::optional<bool>(true));
        QCOMPARE(preferences.integer(QStringLiteral("missing")), std::optional<qint64>());
    }

    void kindsFromHandWrittenFile_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<std::optional<qint64>>("integer");
        QTest::addColumn<std::optional<bool>>("boolean");
        QTest::addColumn<bool>("isString");
        QTest::newRow("number") << QByteArray("value=60") << std::optional<qint64>(60) << std::optional<bool>() << true;
        QTest::newRow("negative") << QByteArray("value=-3") << std::optional<qint64>(-3) << std::optional<bool>() << true;
        QTest::newRow("words") << QByteArray("value=sixty") << std::optional<qint64>() << std::optional<bool>() << true;
        QTest::newRow("boolean") << QByteArray("value=true") << std::optional<qint64>() << std::optional<bool>(true) << true;
        // An unquoted comma makes the file's value a list, which is no kind we read.
        QTest::newRow("list") << QByteArray("value=a, b") << std::optional<qint64>() << std::optional<bool>() << false;
        QTest::newRow("beyond 64 bits")
            << QByteArray("value=99999999999999999999") << std::optional<qint64>() << std::optional<bool>() << true;
    }

    void kindsFromHandWrittenFile()
    {
        QFETCH(QByteArray, line);
        QFETCH(std::optional<qint64>, integer);
        QFETCH(std::optional<bool>, boolean);
        QFETCH(bool, isString);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Corvana.conf"));
        QVERIFY(writeFile(path, "[General]\n" + line + "\n"));
        SettingsPreferences preferences(path);
        QCOMPARE(preferences.integer(QStringLiteral("value")), integer);
        QCOMPARE(preferences.boolean(QStringLiteral("value")), boolean);
        QCOMPARE(preferences.string(QStringLiteral("value")).has_value(), isString);
    }
};

QTEST_GUILESS_MAIN(SettingsPreferencesTest)
#include "tst_SettingsPreferences.moc"
