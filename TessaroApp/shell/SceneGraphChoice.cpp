#include "SceneGraphChoice.h"

#include <QDir>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace {

// The GL_RENDERER of a context made with a fresh application object of this process.
QByteArray rendererHere(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    if (!surface.isValid() || !context.create() || !context.makeCurrent(&surface))
        return {};
    const auto *name = reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
    QByteArray renderer = name != nullptr ? QByteArray(name) : QByteArray();
    context.doneCurrent();
    return renderer;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

} // namespace

SceneGraphChoice::Backend SceneGraphChoice::decide(const std::optional<QString> &renderer,
                                                   const QProcessEnvironment &environment)
{
    if (userChose(environment) || !renderer)
        return Backend::QtDefault;
    // No usable GL, or Mesa's CPU rasterisers (llvmpipe, softpipe, the classic swrast and
    // its "Software Rasterizer" name).
    static const char *const rasterisers[] = {"llvmpipe", "softpipe", "swrast", "software rasterizer"};
    if (renderer->trimmed().isEmpty())
        return Backend::Software;
    for (const char *name : rasterisers) {
        if (renderer->contains(QLatin1String(name), Qt::CaseInsensitive))
            return Backend::Software;
    }
    return Backend::QtDefault;
}

bool SceneGraphChoice::userChose(const QProcessEnvironment &environment)
{
    return !environment.value(QStringLiteral("QT_QUICK_BACKEND")).isEmpty()
        || !environment.value(QStringLiteral("QSG_RHI_BACKEND")).isEmpty();
}

bool SceneGraphChoice::gpuDevicePresent(const QStringList &dri, const QStringList &dev)
{
    for (const QString &name : dri) {
        if (name.startsWith(QLatin1String("renderD")) || name.startsWith(QLatin1String("card")))
            return true;
    }
    return dev.contains(QLatin1String("nvidiactl"));
}

std::optional<QString> SceneGraphChoice::probeRenderer(int argc, char **argv, std::chrono::milliseconds timeout)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return std::nullopt;
    }
    if (child == 0) {
        // The child's own complaints (no display, no GL) are the parent's to tell, if any.
        ::close(fds[0]);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0)
            ::dup2(null, STDERR_FILENO);
        // Nor does it show itself to assistive technologies.
        qunsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
        const bool sent = writeAll(fds[1], rendererHere(argc, argv) + '\n');
        ::_exit(sent ? 0 : 1);
    }
    ::close(fds[1]);

    // A line with the renderer (empty: no context), or nothing when the child failed.
    QByteArray answer;
    bool complete = false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!complete) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd ready{fds[0], POLLIN, 0};
        const int polled = ::poll(&ready, 1, int(left.count()));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            break;
        char buffer[512];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        answer.append(buffer, n);
        complete = answer.contains('\n') || answer.size() > 4096;
    }
    ::close(fds[0]);
    if (!complete)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }

    // A child that hung or died making a context had no usable GL: the app would fare no better.
    if (!complete)
        return QString();
    return QString::fromUtf8(answer.left(answer.indexOf('\n')));
}

SceneGraphChoice::Backend SceneGraphChoice::apply(int argc, char **argv)
{
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (userChose(environment))
        return Backend::QtDefault;
    // Making a context costs about half a second (llvmpipe compiles its shaders with LLVM),
    // so the probe runs only where a GPU could answer.
    const auto devices = QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot;
    const QStringList dri = QDir(QStringLiteral("/dev/dri")).entryList(devices);
    const QStringList dev = QDir(QStringLiteral("/dev")).entryList({QStringLiteral("nvidia*")}, devices);
    const std::optional<QString> renderer = gpuDevicePresent(dri, dev) ? probeRenderer(argc, argv) : QString();
    const Backend backend = decide(renderer, environment);
    if (backend == Backend::Software)
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return backend;
}
