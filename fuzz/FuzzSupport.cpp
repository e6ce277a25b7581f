#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace fuzz {

void startApplication()
{
    static int argc = 1;
    static char name[] = "corvana-fuzz";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv); // lives until the process ends
}

const QString &scratchFolder()
{
    // tmpfs keeps the file-reading harnesses fast; the usual temporary folder otherwise.
    static const std::unique_ptr<QTemporaryDir> folder = [] {
        const QString shm = QStringLiteral("/dev/shm");
        const QFileInfo info(shm);
        const QString base = info.isDir() && info.isWritable() ? shm : QDir::tempPath();
        auto made = std::make_unique<QTemporaryDir>(base + QStringLiteral("/corvana-fuzz-XXXXXX"));
        if (!made->isValid())
            broken("a scratch folder can be made", made->errorString());
        return made;
    }();
    static const QString path = folder->path();
    return path;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        broken("the scratch file can be written", file.errorString());
}

void broken(const char *property, const QString &detail)
{
    std::fprintf(stderr, "==fuzz== property broken: %s\n", property);
    if (!detail.isEmpty())
        std::fprintf(stderr, "==fuzz== %s\n", detail.toLocal8Bit().constData());
    std::fflush(stderr);
    std::abort();
}

} // namespace fuzz
