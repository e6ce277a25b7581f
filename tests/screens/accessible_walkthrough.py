#!/usr/bin/python3
"""The real app under Xvfb, used through its accessibility tree as a screen reader user
would: the simulated sample from "Start simulated sample" to "End session", then the
global hot key Ctrl+Alt+Space brings up the companion, and a second start hands over to
the running app.

usage: accessible_walkthrough.py <corvana> <corvana-devservice>
Runs itself again inside a private D-Bus session (for the accessibility bus). Exits 77
(skipped) when Xvfb, xdotool, xprop, dbus-run-session or pyatspi are missing.
"""

import os
import shutil
import subprocess
import sys
import tempfile

from atspi_app import (SKIP, Tree, private_display, report_failure, run_privately, run_second, start_app,
                       start_service, stop_all, wait_for)


def inner(corvana, devservice):
    try:
        import pyatspi
    except ImportError:
        print("skipped: python3-pyatspi is not installed")
        return SKIP

    work = tempfile.mkdtemp(prefix="corvana-atspi-")
    processes = []
    log = None
    tree = None
    try:
        private_display(processes)

        connection = start_service(devservice, work, processes, "--time-scale", "0.2")

        env = dict(os.environ)
        env.update({
            "HOME": work,
            "XDG_CONFIG_HOME": os.path.join(work, "config"),
            "XDG_DATA_HOME": os.path.join(work, "data"),
            "TESSARO_NATIVE_BOOTSTRAP": connection,
            "TESSARO_KNOWLEDGE_DIRECTORY": os.path.join(work, "knowledge"),
        })
        log = start_app(corvana, env, work, processes)

        tree = Tree(pyatspi, "corvana")
        main = wait_for('the window "Corvana"', lambda: tree.window("Corvana"))

        # The hot key registered on this display.
        def status_line():
            log.seek(0)
            for line in log.read().splitlines():
                if line.startswith("Corvana companion shortcut status: "):
                    return line
            return None

        line = wait_for("the shortcut status line", status_line, 10)
        assert line == "Corvana companion shortcut status: 0, 0", line

        # A fresh profile signed in through the bootstrap connection still finishes onboarding.
        if tree.find("Continue", main) is not None:
            tree.press("Continue", main)
        if tree.find("Open Corvana", main) is not None:
            tree.press("Open Corvana", main)
        tree.expect("Answers, already in reach.", main)

        tree.press("Start simulated sample", main)
        tree.expect("Meeting", main)
        tree.expect("CUE + DEEPER READY", main, 60)
        tree.expect("End session", main)
        for form in ("Deeper", "Cue"):
            tree.press(form, main)
        tree.press("I know that", main)
        tree.expect("CUE + DEEPER READY", main)
        tree.press("Dismiss", main)
        tree.press("Reveal previously prepared answers", main)
        tree.expect("Hidden answer", main)
        tree.type("Optional follow-up question", "How do we check drift?", main)
        tree.press("Ask", main)
        tree.expect("How do we check drift?", main, 30)
        tree.press("End session", main)
        tree.expect("Resume", main)

        # Ctrl+Alt+Space from anywhere brings the companion forward.
        assert tree.window("Corvana Companion") is None, "the companion was open before the hot key"
        subprocess.run(["xdotool", "key", "ctrl+alt+space"], check=True)
        companion = wait_for('the window "Corvana Companion"', lambda: tree.window("Corvana Companion"), 15)
        tree.expect("Open main window", companion)
        desktop = subprocess.run(["xprop", "-name", "Corvana Companion", "_NET_WM_DESKTOP"],
                                 capture_output=True, text=True).stdout
        assert "4294967295" in desktop, f"the companion is not on every workspace: {desktop!r}"

        # A second start hands over to this one and exits at once: plain, it brings the main
        # window forward; with --companion it hides the companion shown now.
        for args, what in (([], "main window active"), (["--companion"], "companion hidden")):
            second = run_second(corvana, env, args)
            assert second.returncode == 0, f"corvana {' '.join(args)} exited {second.returncode}: {second.stderr}"
            assert second.elapsed < 1.5, f"corvana {' '.join(args)} took {second.elapsed:.2f} s"
            if args:
                wait_for(what, lambda: tree.window("Corvana Companion") is None, 10)
            else:
                wait_for(what, lambda: tree.window("Corvana").getState().contains(pyatspi.STATE_ACTIVE), 10)
        print("accessible walkthrough passed")
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
    return run_privately(__file__, ("Xvfb", "xdotool", "xprop", "dbus-run-session"), __doc__)

if __name__ == "__main__":
    sys.exit(main())
