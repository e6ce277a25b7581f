#!/usr/bin/python3
"""The real app as a native Wayland client of Weston (its X11 back end inside a private
Xvfb), with Qt left to choose its platform and no X display for the app, and a stand-in
GlobalShortcuts portal on the session bus. From a fresh profile with no service, onboarding
starts the local service on this computer and the main window offers the simulated sample;
the portal's Activated and `corvana --companion` from a second process show and hide the
companion; quitting ends the local service and removes its connection file.

usage: wayland_app.py <corvana> <corvana-devservice>
"""

import os
import subprocess

from atspi_app import wait_for, walkthrough

STANDIN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "portal_standin.py")


def body(run):
    # A Wayland session as a desktop sets it up: no X display for the app.
    env = run.profile()
    del env["DISPLAY"]
    socket = "corvana-wayland"
    env.update({"XDG_SESSION_TYPE": "wayland", "WAYLAND_DISPLAY": socket})
    weston_log = open(os.path.join(run.work, "weston.log"), "w+")
    run.processes.append(subprocess.Popen(
        ["weston", "--backend=x11-backend.so", f"--socket={socket}", "--width=1250", "--height=900",
         "--idle-time=0"], env=dict(os.environ, XDG_RUNTIME_DIR=env["XDG_RUNTIME_DIR"]),
        stdout=weston_log, stderr=subprocess.STDOUT))
    wait_for("Weston's socket", lambda: os.path.exists(os.path.join(env["XDG_RUNTIME_DIR"], socket)), 20)
    standin = subprocess.Popen(["/usr/bin/python3", STANDIN], stdout=subprocess.PIPE, text=True)
    run.processes.append(standin)
    assert standin.stdout.readline().strip() == "ready", "the stand-in portal did not start"

    main = run.start(env, platform=None)
    tree = run.tree
    assert run.shortcut_status() == "Corvana companion shortcut status: 0, 0", run.shortcut_status()
    tree.press("Use the local simulated sample", main)
    tree.onboard(main)
    services = wait_for("the local service beside the app", lambda: subprocess.run(
        ["pgrep", "-P", str(run.app.pid), "-f", "corvana-devservice"], capture_output=True, text=True).stdout.split())
    folder = os.path.join(env["XDG_RUNTIME_DIR"], "corvana")
    assert os.listdir(folder), "no connection file in the runtime folder"

    # The desktop's shortcut and the command line both toggle the companion.
    companion = lambda: tree.window("Corvana Companion")
    assert companion() is None, "the companion was open at start"
    for how in ("shortcut", "--companion", "--companion", "shortcut"):
        shown = companion() is not None
        if how == "shortcut":
            subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.portal.Desktop",
                            "/org/freedesktop/portal/desktop", "org.corvana.PortalStandIn.Press", "string:companion"],
                           check=True, stdout=subprocess.DEVNULL)
        else:
            run.second([how], env, platform=None)
        wait_for(f"the companion {'hidden' if shown else 'shown'} after {how}",
                 lambda: (companion() is None) == shown, 15)

    run.quit()
    wait_for("the local service to end", lambda: not any(os.path.exists(f"/proc/{pid}") for pid in services), 10)
    assert not os.listdir(folder), f"left behind: {os.listdir(folder)}"
    print("the app ran natively under Weston on the local service, and the companion followed the shortcut")


walkthrough(__doc__, ("weston", "pgrep"), body, size="1300x950")
