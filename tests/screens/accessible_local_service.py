#!/usr/bin/python3
"""The real app under Xvfb from a fresh profile with no service configured: onboarding
starts the local service on this computer, the app connects to it, quitting ends it, and
the next launch starts it again without asking.

usage: accessible_local_service.py <corvana> <corvana-devservice>
Runs itself again inside a private D-Bus session. Exits 77 (skipped) when Xvfb, xdotool,
xprop, dbus-run-session, gnome-keyring-daemon or pyatspi are missing.
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile

from atspi_app import SKIP, Tree, fresh_profile, private_display, report_failure, run_privately, start_app, stop_all, wait_for


def children(pid, name):
    found = subprocess.run(["pgrep", "-P", str(pid), "-f", name], capture_output=True, text=True).stdout.split()
    return [int(child) for child in found]


def gone(pid):
    try:
        os.kill(pid, 0)
        return False
    except ProcessLookupError:
        return True


def inner(corvana, devservice):
    try:
        import pyatspi
    except ImportError:
        print("skipped: python3-pyatspi is not installed")
        return SKIP

    work = tempfile.mkdtemp(prefix="corvana-local-service-")
    processes = []
    log = None
    tree = None
    try:
        private_display(processes)
        env = fresh_profile(work, processes)
        runtime = env["XDG_RUNTIME_DIR"]

        connected = ("Continue", "Open Corvana", "Start simulated sample")
        for launch in ("first", "next"):
            log = start_app(corvana, env, work, processes)
            app = processes[-1]
            tree = Tree(pyatspi, "corvana")
            main = wait_for('the window "Corvana"', lambda: tree.window("Corvana"))
            if launch == "first":
                tree.press("Use the local simulated sample", main)
            # Connected: onboarding goes on past sign-in, or the main view shows.
            wait_for("a connection to the local service",
                     lambda: any(tree.find(name, main) is not None for name in connected), 60)
            assert tree.find("Use the local simulated sample", main) is None, "still offered the local service"
            services = wait_for("the local service beside the app", lambda: children(app.pid, "corvana-devservice"))
            folder = os.path.join(runtime, "corvana")
            assert os.listdir(folder), "no connection file in the runtime folder"

            # Quitting ends the service and removes its connection file.
            app.send_signal(signal.SIGTERM)
            assert app.wait(15) == 0, "the app did not quit cleanly"
            processes.remove(app)
            wait_for("the local service to end", lambda: all(gone(pid) for pid in services), 10)
            assert not os.listdir(folder), f"left behind: {os.listdir(folder)}"
            print(f"{launch} launch: connected to the local service, which ended with the app")
        print("accessible local service passed")
        return 0
    except Exception as failure:
        report_failure(failure, log, tree)
        return 1
    finally:
        stop_all(processes)
        shutil.rmtree(work, ignore_errors=True)


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--inner":
        return inner(sys.argv[2], sys.argv[3])
    return run_privately(__file__, ("Xvfb", "xdotool", "xprop", "dbus-run-session", "dbus-send",
                                    "gnome-keyring-daemon"), __doc__)


if __name__ == "__main__":
    sys.exit(main())
