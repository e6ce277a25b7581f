#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

// Which Qt Quick scene graph the windows draw with. Qt's default draws through OpenGL (or
// another GPU API); where the OpenGL renderer is itself a software rasteriser, as on most
// virtual machines and remote desktops, every frame then costs whole CPU cores, while the
// software scene graph repaints only what changed. A user's own QT_QUICK_BACKEND or
// QSG_RHI_BACKEND always wins.
class SceneGraphChoice
{
public:
    enum class Backend { QtDefault, Software };

    // `renderer` is the GL_RENDERER of a context made on this display, empty when no GL
    // context could be made; nullopt when it could not be found out.
    static Backend decide(const std::optional<QString> &renderer, const QProcessEnvironment &environment);

    // Whether the environment names a scene graph backend itself.
    static bool userChose(const QProcessEnvironment &environment);

    // Whether `devices` (a /dev listing) holds a GPU a GL driver could use: a DRM node or
    // the NVIDIA driver's control device. Without one, GL can only be a CPU rasteriser.
    static bool gpuDevicePresent(const QStringList &dri, const QStringList &dev);

    // Makes a GL context in a short-lived child process, so that this process never maps
    // a GL driver it may not use, and returns its GL_RENDERER (see `decide`). Call before
    // the application object exists: the child builds its own with these arguments.
    static std::optional<QString> probeRenderer(int argc, char **argv,
                                                std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Probes when the user chose nothing (without a GPU device there is nothing to probe)
    // and sets the scene graph the windows will use.
    static Backend apply(int argc, char **argv);
};
