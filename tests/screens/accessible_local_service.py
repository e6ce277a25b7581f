#!/usr/bin/python3
"""The real app under Xvfb from a fresh profile with no service configured: onboarding
starts the local service on this computer, the app connects to it, quitting ends it, and
the next launch starts it again without asking.

usage: accessible_local_service.py <corvana> <corvana-devservice>
"""

import os
import subprocess

from atspi_app import wait_for, walkthrough


def children(pid, name):
    found = subprocess.run(["pgrep", "-P", str(pid), "-f", name], capture_output=True, text=True).stdout.split()
    return [int(child) for child in found]


def gone(pid):
    try:
        os.kill(pid, 0)
        return False
    except ProcessLookupError:
        return True


def body(run):
    env = run.profile(secrets=True)
    folder = os.path.join(env["XDG_RUNTIME_DIR"], "corvana")
    connected = ("Continue", "Open Corvana", "Start simulated sample")
    for launch in ("first", "next"):
        main = run.start(env)
        tree = run.tree
        if launch == "first":
            tree.press("Use the local simulated sample", main)
        # Connected: onboarding goes on past sign-in, or the main view shows.
        wait_for("a connection to the local service", lambda: any(tree.find(name, main) for name in connected), 60)
        assert tree.find("Use the local simulated sample", main) is None, "still offered the local service"
        services = wait_for("the local service beside the app", lambda: children(run.app.pid, "corvana-devservice"))
        assert os.listdir(folder), "no connection file in the runtime folder"

        # Quitting ends the service and removes its connection file.
        run.quit()
        wait_for("the local service to end", lambda: all(gone(pid) for pid in services), 10)
        assert not os.listdir(folder), f"left behind: {os.listdir(folder)}"
        print(f"{launch} launch: connected to the local service, which ended with the app")


walkthrough(__doc__, ("gnome-keyring-daemon", "pgrep"), body)
