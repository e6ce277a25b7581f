#!/usr/bin/python3
"""Corvana installed from its Debian package. The package CPack makes from this build
tree depends on the package of every QML module the screens import; unpacked with
dpkg-deb into a temporary root, it holds the binaries, the desktop entry, the metainfo
and the icons, which desktop-file-validate and appstreamcli accept. The app started from
that root (offscreen, in a fresh profile) connects to the development service started
from the same root, and quits with status 0 when asked to with SIGTERM.

usage: installed_app.py <build dir> <cpack> <identifier> <version> <qml sources> <Qt qml dir>
Exits 77 (skipped) when dpkg-deb, dpkg-shlibdeps, dpkg-query, file, appstreamcli or
desktop-file-validate is missing."""

import configparser
import glob
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import urllib.request
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "screens"))
from atspi_app import SKIP, wait_for  # noqa: E402

def make_package(build, cpack, out):
    run = subprocess.run([cpack, "-G", "DEB", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", out],
                         capture_output=True, text=True)
    if run.returncode != 0:
        print(run.stdout + run.stderr)
        raise AssertionError(f"cpack exited {run.returncode}")
    packages = glob.glob(os.path.join(out, "*.deb"))
    assert len(packages) == 1, f"cpack made {packages}"
    return packages[0]


def field(package, name):
    return subprocess.run(["dpkg-deb", "-f", package, name], capture_output=True, text=True,
                          check=True).stdout.strip()


def imported_modules(qml_sources):
    modules = set()
    for path in glob.glob(os.path.join(qml_sources, "**", "*.qml"), recursive=True):
        with open(path, encoding="utf-8") as source:
            for line in source:
                found = re.match(r"\s*import\s+([A-Za-z][\w.]*)", line)
                if found and found.group(1) != "Corvana":
                    modules.add(found.group(1))
    return modules


def check_depends(package, qml_sources, qt_qml):
    """Every module a screen imports is on the system through a package the .deb depends on."""
    depends = {alternative.strip().split(" ")[0]
               for item in field(package, "Depends").split(",") for alternative in item.split("|")}
    missing = []
    for module in sorted(imported_modules(qml_sources)):
        qmldir = os.path.join(qt_qml, *module.split("."), "qmldir")
        owner = subprocess.run(["dpkg-query", "-S", qmldir], capture_output=True, text=True)
        assert owner.returncode == 0, f"no installed package holds {qmldir} (import {module})"
        name = owner.stdout.split(":")[0]
        if name not in depends:
            missing.append(f"{module} ({name})")
    assert not missing, f"the package does not depend on the QML modules {', '.join(missing)}"
    for needed in ("libqt6svg6", "pipewire"):
        assert needed in depends, f"the package does not depend on {needed}"
    for library in ("libqt6core6", "libsecret-1-0", "libpoppler-cpp0v5", "libpipewire-0.3-0"):
        assert any(name.startswith(library) for name in depends), f"shlibdeps found no {library}"


def validate(command, failing):
    run = subprocess.run(command, capture_output=True, text=True)
    output = (run.stdout + run.stderr).strip()
    problems = [line for line in output.splitlines() if failing(line)]
    assert run.returncode == 0 and not problems, f"{command[0]} {command[1]}:\n{output}"


def check_files(root, identifier, version):
    """The binaries, and the desktop entry, metainfo and icons as the desktop and a software
    centre read them from /usr: clean for desktop-file-validate and appstreamcli (warnings
    fail), and named after the bundle identifier so they and the app agree on one name."""
    usr = os.path.join(root, "usr")
    for binary in ("corvana", "corvana-devservice"):
        assert os.access(os.path.join(usr, "bin", binary), os.X_OK), f"/usr/bin/{binary} is not an executable"
    icons = [f"share/icons/hicolor/{size}x{size}/apps/{identifier}.png" for size in (16, 32, 48, 64, 128, 256)]
    for relative in icons + [f"share/icons/hicolor/scalable/apps/{identifier}.svg"]:
        assert os.path.isfile(os.path.join(usr, relative)), f"the package holds no /usr/{relative}"
    validate(["appstreamcli", "validate-tree", "--no-net", root], lambda line: line.startswith(("E:", "W:")))

    entry = os.path.join(usr, "share", "applications", identifier + ".desktop")
    validate(["desktop-file-validate", entry], lambda line: ": error: " in line or ": warning: " in line)
    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str
    parser.read(entry, encoding="utf-8")
    group = parser["Desktop Entry"]
    assert group.get("Icon") == identifier, f"Icon={group.get('Icon')}"
    assert group.get("Exec", "").split()[0] == "corvana", f"Exec={group.get('Exec')}"
    assert group.get("StartupWMClass"), "no StartupWMClass"
    # The launcher's context menu offers the command-line actions a running app takes over.
    actions = [name for name in group.get("Actions", "").split(";") if name]
    assert actions == ["companion", "main"], f"Actions={group.get('Actions')}"
    for name in actions:
        command = parser[f"Desktop Action {name}"].get("Exec", "")
        assert command == f"corvana --{name}", f"the action {name} runs {command!r}"
    # Launchers activate a DBusActivatable entry over D-Bus; that needs a D-Bus service file.
    assert group.get("DBusActivatable", "false") == "false", "DBusActivatable without a D-Bus service file"

    metainfo = ElementTree.parse(os.path.join(usr, "share", "metainfo", identifier + ".metainfo.xml")).getroot()
    assert metainfo.findtext("id") == identifier, f"<id>{metainfo.findtext('id')}</id>"
    launchable = metainfo.find("launchable[@type='desktop-id']")
    assert launchable is not None and launchable.text == identifier + ".desktop", "the launchable is not the entry"
    releases = [release.get("version") for release in metainfo.iter("release")]
    assert releases and releases[0] == version, f"the newest release is {releases[:1]}, not {version}"
    assert metainfo.find("content_rating[@type='oars-1.1']") is not None, "no OARS content rating"
    for image in metainfo.iter("image"):
        assert image.text.startswith("https://"), f"screenshot {image.text} is not https"


def run_installed(root, work):
    """The installed app, offscreen in a fresh profile, asks the installed service for the
    account with the bootstrap token, and quits with status 0 on SIGTERM."""
    bin_dir = os.path.join(root, "usr", "bin")
    connection = os.path.join(work, "connection.json")
    log = open(os.path.join(work, "output.log"), "w+")
    service = subprocess.Popen([os.path.join(bin_dir, "corvana-devservice"), "--port", "0",
                                "--bootstrap-file", connection], stdout=log, stderr=subprocess.STDOUT, cwd=work)
    app = None
    try:
        wait_for("the development service's connection file",
                 lambda: os.path.exists(connection) and os.path.getsize(connection) > 0, 20)
        with open(connection, encoding="utf-8") as file:
            details = json.load(file)
        env = {key: value for key, value in os.environ.items()
               if key not in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "QML_IMPORT_PATH",
                              "QML2_IMPORT_PATH", "QT_PLUGIN_PATH", "LD_LIBRARY_PATH")}
        for name in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"):
            env[name] = os.path.join(work, name.lower())
            os.makedirs(env[name], mode=0o700)
        env.update({
            "XDG_DATA_DIRS": os.path.join(root, "usr", "share") + ":/usr/local/share:/usr/share",
            "QT_QPA_PLATFORM": "offscreen",
            "QT_QUICK_BACKEND": "software",
            "TESSARO_NATIVE_BOOTSTRAP": connection,
            "TESSARO_KNOWLEDGE_DIRECTORY": os.path.join(work, "knowledge"),
        })
        app = subprocess.Popen([os.path.join(bin_dir, "corvana")], env=env, cwd=env["HOME"], stdout=log,
                               stderr=subprocess.STDOUT)

        def account_requests():
            assert app.poll() is None, f"the app exited with status {app.returncode} before connecting"
            with urllib.request.urlopen(details["serviceUrl"].rstrip("/") + "/dev/log", timeout=5) as reply:
                return [request for request in json.load(reply).get("requests", [])
                        if request.get("method") == "GET" and request.get("path") == "/v1/account"]

        requests = wait_for("the app's GET /v1/account", account_requests, 60)
        assert requests[0].get("authorization") == "Bearer " + details["token"], \
            f"the app asked with {requests[0].get('authorization')!r}"
        app.send_signal(signal.SIGTERM)
        assert app.wait(timeout=30) == 0, f"the app exited with status {app.returncode} after SIGTERM"
        print("the installed app connected and quit with status 0 on SIGTERM")
    except (AssertionError, subprocess.TimeoutExpired):
        log.seek(0)
        print(f"--- app and service output ---\n{log.read()}")
        raise
    finally:
        for process in (app, service):
            if process is not None and process.poll() is None:
                process.kill()
                process.wait()
        log.close()


def main():
    if len(sys.argv) != 7:
        print(__doc__, file=sys.stderr)
        return 2
    build, cpack, identifier, version, qml_sources, qt_qml = sys.argv[1:]
    # CPack finds the binaries for dpkg-shlibdeps with file(1).
    for tool in ("dpkg-deb", "dpkg-shlibdeps", "dpkg-query", "file", "appstreamcli", "desktop-file-validate"):
        if shutil.which(tool) is None:
            print(f"skipped: {tool} is not installed")
            return SKIP

    work = tempfile.mkdtemp(prefix="corvana-installed-")
    try:
        package = make_package(build, cpack, os.path.join(work, "package"))
        name = os.path.basename(package)
        arch = subprocess.run(["dpkg", "--print-architecture"], capture_output=True, text=True,
                              check=True).stdout.strip()
        assert name == f"corvana_{version}_{arch}.deb", f"the package is named {name}"
        print(f"{name}\nDepends: {field(package, 'Depends')}\nRecommends: {field(package, 'Recommends')}")
        check_depends(package, qml_sources, qt_qml)

        root = os.path.join(work, "root")
        subprocess.run(["dpkg-deb", "-x", package, root], check=True)
        check_files(root, identifier, version)
        run_installed(root, work)
        return 0
    except (AssertionError, subprocess.TimeoutExpired) as failure:
        print(f"FAIL: {failure}")
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
