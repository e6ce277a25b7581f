#include "shell/AppIcon.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

class AppIconTest : public QObject {
    Q_OBJECT
private slots:
    // The icon theme's icon under the desktop entry's name when the theme has one, else the
    // brand mark compiled into the app.
    void themeIconOrBrandMark()
    {
        QTemporaryDir themes;
        QVERIFY(themes.isValid());
        QVERIFY(QDir(themes.path()).mkpath(QStringLiteral("hicolor/48x48/apps")));
        QVERIFY(QFile::copy(QStringLiteral(CORVANA_SOURCE_DIR "/packaging/icons/corvana-48.png"),
                            themes.filePath(QStringLiteral("hicolor/48x48/apps/com.example.installed.png"))));
        QVERIFY(writeFile(themes.filePath(QStringLiteral("hicolor/index.theme")),
                          "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n[48x48/apps]\nSize=48\nType=Fixed\n"));

        // A themed icon follows the theme it was found in: keep this one until the end.
        const auto restore = qScopeGuard([paths = QIcon::themeSearchPaths(), theme = QIcon::themeName()] {
            QIcon::setThemeSearchPaths(paths);
            QIcon::setThemeName(theme);
        });
        QIcon::setThemeSearchPaths({themes.path()});
        // The desktop's theme; offscreen there is none.
        QIcon::setThemeName(QStringLiteral("hicolor"));
        const QIcon installed = AppIcon::load(QStringLiteral("com.example.installed"));
        const QIcon missing = AppIcon::load(QStringLiteral("com.example.missing"));
        const QIcon unnamed = AppIcon::load(QString());

        QCOMPARE(installed.name(), QStringLiteral("com.example.installed"));
        for (const QIcon &brand : {missing, unnamed}) {
            QVERIFY(brand.name().isEmpty());
            QVERIFY(!brand.pixmap(48, 48).isNull());
        }
    }
};

QTEST_MAIN(AppIconTest)
#include "tst_AppIcon.moc"
