#include "shell/SceneGraphChoice.h"

#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(std::optional<QString>)

class tst_SceneGraphChoice : public QObject
{
    Q_OBJECT

private slots:
    void decide_data()
    {
        QTest::addColumn<std::optional<QString>>("renderer");
        QTest::addColumn<QString>("quickBackend");
        QTest::addColumn<QString>("rhiBackend");
        QTest::addColumn<bool>("software");

        const auto says = [](const char *renderer) { return std::optional<QString>(QString::fromUtf8(renderer)); };
        const auto llvmpipe = says("llvmpipe (LLVM 15.0.6, 256 bits)");
        const auto intel = says("Mesa Intel(R) UHD Graphics 620 (KBL GT2)");
        // What the renderer says.
        QTest::newRow("llvmpipe") << llvmpipe << QString() << QString() << true;
        QTest::newRow("swrast") << says("SWRAST") << QString() << QString() << true;
        QTest::newRow("blank renderer") << says("  ") << QString() << QString() << true;
        QTest::newRow("GPU") << intel << QString() << QString() << false;
        QTest::newRow("could not tell") << std::optional<QString>() << QString() << QString() << false;
        // The user's own choice wins, whatever the renderer.
        QTest::newRow("user asks for software on a GPU") << intel << "software" << QString() << false;
        QTest::newRow("user asks for OpenGL on llvmpipe") << llvmpipe << QString() << "opengl" << false;
        QTest::newRow("user names a Quick backend on llvmpipe") << llvmpipe << "rhi" << QString() << false;
    }

    void decide()
    {
        QFETCH(std::optional<QString>, renderer);
        QFETCH(QString, quickBackend);
        QFETCH(QString, rhiBackend);
        QFETCH(bool, software);

        QProcessEnvironment environment;
        environment.insert(QStringLiteral("QT_QUICK_BACKEND"), quickBackend);
        environment.insert(QStringLiteral("QSG_RHI_BACKEND"), rhiBackend);
        QCOMPARE(SceneGraphChoice::decide(renderer, environment) == SceneGraphChoice::Backend::Software, software);
    }

    void gpuDevice_data()
    {
        QTest::addColumn<QStringList>("dri");
        QTest::addColumn<QStringList>("dev");
        QTest::addColumn<bool>("present");

        QTest::newRow("render node") << QStringList{"by-path", "card0", "renderD128"} << QStringList() << true;
        QTest::newRow("card only") << QStringList{"card1"} << QStringList() << true;
        QTest::newRow("NVIDIA driver") << QStringList() << QStringList{"nvidia0", "nvidiactl"} << true;
        QTest::newRow("none, as on Xvfb in a VM") << QStringList() << QStringList() << false;
        QTest::newRow("empty /dev/dri") << QStringList{"by-path"} << QStringList{"nvidia-caps"} << false;
    }

    void gpuDevice()
    {
        QFETCH(QStringList, dri);
        QFETCH(QStringList, dev);
        QTEST(SceneGraphChoice::gpuDevicePresent(dri, dev), "present");
    }
};

QTEST_GUILESS_MAIN(tst_SceneGraphChoice)
#include "tst_SceneGraphChoice.moc"
