#!/usr/bin/python3
"""What the real app costs on an X display without a GPU: Corvana on a private Xvfb against
the local development service, idle on its main window, then through a stretch of the
simulated sample played at its real pace. For the app's own choice of scene graph and
for each backend forced, it prints the app's CPU use (its own user and system time over
wall time, from /proc/<pid>/stat) and its peak resident memory (VmHWM), idle and during
the sample, side by side.

usage: app_on_display.py [--sample-seconds N] [--idle-seconds N] [--only NAME] <corvana> <corvana-devservice>
Measures each configuration in a private D-Bus session (the app is driven through its
accessibility tree) and X display of its own. Exits 77 when Xvfb, xprop, dbus-run-session or pyatspi are missing.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "screens"))
from atspi_app import SKIP, Tree, need, private_display, stop_all, wait_for  # noqa: E402

# Each configuration: its name and what it adds to (or removes from) the app's environment.
CONFIGURATIONS = [
    ("default", {}),
    ("software", {"QT_QUICK_BACKEND": "software"}),
    ("opengl", {"QSG_RHI_BACKEND": "opengl"}),
]
TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        # The command may hold spaces; the fields after it are fixed.
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def memory_mb(pid, key):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(key + ":"):
                return int(line.split()[1]) / 1024
    raise AssertionError(f"no {key} for process {pid}")


def measure(pid, seconds):
    """CPU use in percent of one core over the next `seconds`, then VmHWM and VmRSS."""
    cpu, wall = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    used = cpu_seconds(pid) - cpu
    return 100 * used / (time.monotonic() - wall), memory_mb(pid, "VmHWM"), memory_mb(pid, "VmRSS")


def run_one(pyatspi, corvana, devservice, extra, args):
    work = tempfile.mkdtemp(prefix="corvana-bench-")
    processes = []
    try:
        connection = os.path.join(work, "connection.json")
        processes.append(subprocess.Popen(
            [devservice, "--simulated", "--free-sample", "--sample-rounds", "3", "--port", "0",
             "--bootstrap-file", connection], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_for("the development service", lambda: os.path.exists(connection) and os.path.getsize(connection) > 0,
                 15)
        env = {k: v for k, v in os.environ.items() if k not in ("QT_QUICK_BACKEND", "QSG_RHI_BACKEND", "QSG_INFO")}
        env.update({
            "HOME": work,
            "XDG_CONFIG_HOME": os.path.join(work, "config"),
            "XDG_DATA_HOME": os.path.join(work, "data"),
            "TESSARO_NATIVE_BOOTSTRAP": connection,
            "TESSARO_KNOWLEDGE_DIRECTORY": os.path.join(work, "knowledge"),
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            **extra,
        })
        log = open(os.path.join(work, "app.log"), "w+")
        app = subprocess.Popen([corvana], env=env, stdout=log, stderr=subprocess.STDOUT)
        processes.append(app)

        tree = None
        try:
            tree = Tree(pyatspi, "corvana")
            main = wait_for('the window "Corvana"', lambda: tree.window("Corvana"))
            if tree.find("Continue", main) is not None:
                tree.press("Continue", main)
            if tree.find("Open Corvana", main) is not None:
                tree.press("Open Corvana", main)
            tree.expect("Answers, already in reach.", main, 90)
            time.sleep(2)  # start-up work settles
            idle = measure(app.pid, args.idle_seconds)

            tree.press("Start simulated sample", main)
            tree.expect("End session", main)
            sample = measure(app.pid, args.sample_seconds)
            if app.poll() is not None:
                raise AssertionError(f"the app stopped with status {app.returncode}")
            return idle, sample
        except AssertionError:
            log.seek(0)
            print("app output:\n" + log.read()[-3000:], file=sys.stderr)
            if tree is not None:
                print("on screen: " + " | ".join(tree.names()[:200]), file=sys.stderr)
            raise
    finally:
        stop_all(processes)
        shutil.rmtree(work, ignore_errors=True)


def inner(args):
    """Measures one configuration on the display in DISPLAY and prints its figures as one JSON line."""
    try:
        import pyatspi
    except ImportError:
        print("skipped: python3-pyatspi is not installed")
        return SKIP
    idle, sample = run_one(pyatspi, args.corvana, args.devservice, dict(CONFIGURATIONS)[args.only], args)
    print(json.dumps({"idle": idle, "sample": sample}))
    return 0


def table(args):
    """Each configuration in a private D-Bus session and display of its own, then the table."""
    rows = []
    for name, _ in CONFIGURATIONS:
        if args.only and name != args.only:
            continue
        # The display is started outside the D-Bus session: inside one, Xvfb can take half a
        # minute to come up.
        display = []
        try:
            private_display(display)
            run = subprocess.run(["dbus-run-session", "--", sys.executable, os.path.abspath(__file__), "--inner",
                                  "--only", name, "--idle-seconds", str(args.idle_seconds), "--sample-seconds",
                                  str(args.sample_seconds), args.corvana, args.devservice],
                                 stdout=subprocess.PIPE, text=True)
        finally:
            stop_all(display)
        if run.returncode != 0:
            print(run.stdout)
            return run.returncode
        figures = json.loads(run.stdout.strip().splitlines()[-1])
        rows.append((name, figures["idle"], figures["sample"]))

    print(f"Corvana on Xvfb: idle {args.idle_seconds:g} s on the main window, "
          f"then {args.sample_seconds:g} s of the simulated sample")
    print(f"{'scene graph':<12} {'idle CPU':>9} {'idle peak':>10} {'idle RSS':>9} "
          f"{'sample CPU':>11} {'sample peak':>12} {'sample RSS':>11}")
    for name, idle, sample in rows:
        print(f"{name:<12} {idle[0]:>8.1f}% {idle[1]:>7.0f} MB {idle[2]:>6.0f} MB "
              f"{sample[0]:>10.1f}% {sample[1]:>9.0f} MB {sample[2]:>8.0f} MB", flush=True)
    return 0


def parse(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sample-seconds", type=float, default=60)
    parser.add_argument("--idle-seconds", type=float, default=20)
    parser.add_argument("--only", choices=[name for name, _ in CONFIGURATIONS])
    parser.add_argument("--inner", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("corvana")
    parser.add_argument("devservice")
    return parser.parse_args(argv)


def main():
    args = parse(sys.argv[1:])
    if args.inner:
        return inner(args)
    for tool in ("Xvfb", "xprop", "xdotool", "dbus-run-session"):
        need(tool)
    return table(args)


if __name__ == "__main__":
    sys.exit(main())
