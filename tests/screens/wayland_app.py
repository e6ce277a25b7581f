#!/usr/bin/python3
"""The real app as a native Wayland client of Weston (its X11 back end inside a private
Xvfb), with Qt left to choose its platform and no X display for the app, and a stand-in
GlobalShortcuts portal on the session bus: the main window offers the simulated sample;
the portal's Activated and `corvana --companion` from a second process show and hide the
companion.

usage: wayland_app.py <corvana> <corvana-devservice>
Runs itself again inside a private D-Bus session. Exits 77 (skipped) when Xvfb, weston,
dbus-run-session, dbus-send or pyatspi are missing."""

import os
import shutil
import subprocess
import sys
import tempfile

from atspi_app import (SKIP, Tree, private_display, report_failure, run_privately, run_second, start_app,
                       start_service, stop_all, wait_for)

HERE = os.path.dirname(os.path.abspath(__file__))
STANDIN = os.path.join(HERE, "..", "support", "portal_standin.py")


def press_shortcut():
    subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.portal.Desktop",
                    "/org/freedesktop/portal/desktop", "org.corvana.PortalStandIn.Press", "string:companion"],
                   check=True, stdout=subprocess.DEVNULL)


def inner(corvana, devservice):
    try:
        import pyatspi
    except ImportError:
        print("skipped: python3-pyatspi is not installed")
        return SKIP

    work = tempfile.mkdtemp(prefix="corvana-wayland-")
    processes = []
    log = None
    tree = None
    try:
        private_display(processes, "1300x950")
        runtime = os.path.join(work, "runtime")
        os.makedirs(runtime, mode=0o700)
        socket = "corvana-wayland"
        weston_log = open(os.path.join(work, "weston.log"), "w+")
        processes.append(subprocess.Popen(
            ["weston", "--backend=x11-backend.so", f"--socket={socket}", "--width=1250", "--height=900",
             "--idle-time=0"], env=dict(os.environ, XDG_RUNTIME_DIR=runtime),
            stdout=weston_log, stderr=subprocess.STDOUT))
        wait_for("Weston's socket", lambda: os.path.exists(os.path.join(runtime, socket)), 20)

        standin = subprocess.Popen(["/usr/bin/python3", STANDIN], stdout=subprocess.PIPE, text=True)
        processes.append(standin)
        assert standin.stdout.readline().strip() == "ready", "the stand-in portal did not start"

        connection = start_service(devservice, work, processes)

        # A Wayland session as a desktop sets it up: no X display for the app.
        env = {key: value for key, value in os.environ.items() if key != "DISPLAY"}
        env.update({
            "HOME": work,
            "XDG_CONFIG_HOME": os.path.join(work, "config"),
            "XDG_DATA_HOME": os.path.join(work, "data"),
            "XDG_RUNTIME_DIR": runtime,
            "XDG_SESSION_TYPE": "wayland",
            "WAYLAND_DISPLAY": socket,
            "TESSARO_NATIVE_BOOTSTRAP": connection,
            "TESSARO_KNOWLEDGE_DIRECTORY": os.path.join(work, "knowledge"),
        })
        log = start_app(corvana, env, work, processes, platform=None)

        tree = Tree(pyatspi, "corvana")
        main = wait_for('the window "Corvana"', lambda: tree.window("Corvana"))

        def output_line(prefix):
            log.seek(0)
            return next((line for line in log.read().splitlines() if line.startswith(prefix)), None)

        line = wait_for("the shortcut status line", lambda: output_line("Corvana companion shortcut status: "), 10)
        assert line == "Corvana companion shortcut status: 0, 0", line
        if tree.find("Continue", main) is not None:
            tree.press("Continue", main)
        if tree.find("Open Corvana", main) is not None:
            tree.press("Open Corvana", main)
        tree.expect("Start simulated sample", main)

        # The desktop's shortcut and the command line both toggle the companion.
        companion = lambda: tree.window("Corvana Companion")
        assert companion() is None, "the companion was open at start"
        for how in ("shortcut", "--companion", "--companion", "shortcut"):
            shown = companion() is not None
            if how == "shortcut":
                press_shortcut()
            else:
                second = run_second(corvana, env, [how], platform=None)
                assert second.returncode == 0, f"corvana {how} exited {second.returncode}: {second.stderr}"
                assert second.elapsed < 1.5, f"corvana {how} took {second.elapsed:.2f} s"
            wait_for(f"the companion {'hidden' if shown else 'shown'} after {how}",
                     lambda: (companion() is None) == shown, 15)
        print("the app ran natively under Weston and the companion followed the shortcut")
        return 0
    except AssertionError as failure:
        report_failure(failure, log, tree)
        return 1
    finally:
        stop_all(processes)
        shutil.rmtree(work, ignore_errors=True)


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--inner":
        return inner(sys.argv[2], sys.argv[3])
    return run_privately(__file__, ("Xvfb", "weston", "xprop", "dbus-run-session", "dbus-send"), __doc__)


if __name__ == "__main__":
    sys.exit(main())
