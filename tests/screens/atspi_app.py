"""What the walkthroughs of the real app share: the frame of a run (a private D-Bus
session, a private Xvfb display, the app's processes and work folder), waiting, typing
with xdotool, the app's accessibility tree read with pyatspi, and the accessibility
audit of a window."""

import os
import random
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
# Longest a Tab press may take to move the focus before the control counts as keeping it.
TAB_SETTLE = 1.5
MAX_WALK = 90


def wait_for(what, probe, timeout=30.0, tab=False):
    """Waits for what the probe finds; with `tab`, pressing Tab in between: a control
    scrolled out of view comes into it (and into the tree) when the keyboard reaches it."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        if tab:
            xdotool("key", "Tab")
        else:
            time.sleep(0.2)
    raise AssertionError(f"timed out waiting for {what}")


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True)


class Tree:
    """The app's accessibility tree, searched afresh on every call."""

    def __init__(self, pyatspi, pid):
        """The application of that process (an earlier one may still be on the bus)."""
        self.pyatspi = pyatspi
        self.app = wait_for("the app on the accessibility bus", lambda: self._application(pid), 60)

    def _application(self, pid):
        desktop = self.pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            try:
                app = desktop.getChildAtIndex(i)
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        return None

    def window(self, title):
        for i in range(self.app.childCount):
            child = self.app.getChildAtIndex(i)
            try:
                if child is not None and child.name == title and self.showing(child):
                    return child
            except Exception:
                pass
        return None

    def state(self, node, state):
        try:
            return node.getState().contains(state)
        except Exception:
            return False

    def showing(self, node):
        return self.state(node, self.pyatspi.STATE_SHOWING)

    def find(self, name, within=None, role=None):
        test = name if callable(name) else (lambda text: text == name)

        def match(node):
            try:
                return node is not None and test(node.name) and self.showing(node) and (
                    role is None or node.getRole() == role)
            except Exception:
                return False

        try:
            return self.pyatspi.findDescendant(within if within is not None else self.app, match)
        except Exception:
            return None

    def nodes(self, within):
        """Every showing object below `within`, in reading (tree) order."""
        found = []

        def collect(node, depth):
            if node is None or depth > 60 or not self.showing(node):
                return
            found.append(node)
            try:
                for i in range(node.childCount):
                    collect(node.getChildAtIndex(i), depth + 1)
            except Exception:
                pass

        try:
            for i in range(within.childCount):
                collect(within.getChildAtIndex(i), 0)
        except Exception:
            pass
        return found

    def press(self, name, within=None, tab=False):
        def pressable():
            node = self.find(name, within)
            return node if node is not None and self.state(node, self.pyatspi.STATE_ENABLED) else None

        node = wait_for(f'an enabled "{name}"', pressable, tab=tab)
        node.queryAction().doAction(0)

    def focus(self, node, what, timeout=10):
        node.queryComponent().grabFocus()
        wait_for(f"focus in {what}", lambda: self.state(node, self.pyatspi.STATE_FOCUSED), timeout)

    def expect(self, name, within=None, timeout=30.0, tab=False):
        return wait_for(f'"{name}" on screen', lambda: self.find(name, within), timeout, tab)

    def onboard(self, main, page=None):
        """Goes through the onboarding pages a fresh profile with a connection still shows,
        calling page(name) on each, until the main view offers the sample."""
        pages = ["Continue", "Open Corvana", "Start simulated sample"]
        while True:
            shown = wait_for("onboarding or the main view", lambda: [p for p in pages if self.find(p, main)], 60)
            if shown[0] == pages[-1]:
                return
            if page:
                page(shown[0])
            self.press(shown[0], main)
            pages = pages[pages.index(shown[0]) + 1:]


def focus_window(title):
    """Gives the X window of that title the keyboard (there is no window manager)."""
    found = wait_for(f'the X window "{title}"', lambda: subprocess.run(
        ["xdotool", "search", "--name", f"^{re.escape(title)}$"], capture_output=True, text=True).stdout.split(), 10)
    xdotool("windowfocus", "--sync", found[0])


def read_display(read_fd, timeout=30):
    """The display number an Xvfb started with -displayfd writes to `read_fd`, or "" when it
    exits or stays silent first. Xvfb writes the number and its newline in two writes and
    dies when the second finds the pipe closed, so the pipe stays open until the newline."""
    received = b""
    deadline = time.monotonic() + timeout
    while not received.endswith(b"\n"):
        ready, _, _ = select.select([read_fd], [], [], max(0, deadline - time.monotonic()))
        chunk = os.read(read_fd, 64) if ready else b""
        if not chunk:
            break
        received += chunk
    os.close(read_fd)
    return received.decode().strip() if received.endswith(b"\n") else ""


def private_display(processes, size="1400x1000"):
    """Starts an Xvfb of our own on a display number drawn at random (the lowest free
    number is where servers starting at the same moment race each other), tried again
    elsewhere when it exits or does not answer, and makes it this process's DISPLAY.
    The server's own output says why in the failure."""
    reasons = []
    for attempt in range(5):
        number = str(random.randrange(100, 30000))
        read_fd, write_fd = os.pipe()
        errors = tempfile.TemporaryFile()
        xvfb = subprocess.Popen(["Xvfb", ":" + number, "-displayfd", str(write_fd), "-screen", "0", size + "x24",
                                 "-noreset", "-nolisten", "tcp"], pass_fds=[write_fd], stdout=subprocess.DEVNULL,
                                stderr=errors)
        processes.append(xvfb)
        os.close(write_fd)
        # Xvfb writes its display number once it accepts clients, or closes the pipe
        # when it exits first.
        display = read_display(read_fd)
        if display != "" and xvfb.poll() is None:
            os.environ["DISPLAY"] = ":" + display
            return display
        xvfb.kill()
        xvfb.wait()
        errors.seek(0)
        output = errors.read().decode(errors="replace").strip()
        reasons.append(f"try {attempt + 1} on :{number}: exit {xvfb.returncode}: {output[-1500:]}")
    raise AssertionError("Xvfb did not start:\n" + "\n".join(reasons))


def secrets_up(env):
    reply = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                            "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                            "string:org.freedesktop.secrets"], capture_output=True, text=True, env=env)
    return "boolean true" in reply.stdout


def app_environment(env, platform="xcb"):
    """The environment the app runs in: on that Qt platform (None leaves Qt to choose),
    with its accessibility bridge on."""
    env = dict(env)
    env.pop("QT_QPA_PLATFORM", None)
    if platform:
        env["QT_QPA_PLATFORM"] = platform
    env.update({"QT_QUICK_BACKEND": "software", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})
    # libxkbcommon-x11 hands strndup length-bounded key names that are not
    # NUL-terminated, which is valid; a sanitized build must not stop on that.
    if "ASAN_OPTIONS" in env:
        env["ASAN_OPTIONS"] = env["ASAN_OPTIONS"].replace("strict_string_checks=1", "strict_string_checks=0")
    return env


class Run:
    """One walkthrough: the app and the development service it drives, their processes
    and the work folder they share."""

    def __init__(self, pyatspi, corvana, devservice, work):
        self.pyatspi, self.corvana, self.devservice, self.work = pyatspi, corvana, devservice, work
        self.processes = []
        self.log = None
        self.tree = None
        self.app = None

    def profile(self):
        """The environment of a fresh profile in the work folder, with a Secret Service of
        its own, unlocked, on this session bus."""
        runtime = os.path.join(self.work, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env = dict(os.environ)
        env.pop("TESSARO_NATIVE_BOOTSTRAP", None)
        env.update({
            "HOME": self.work,
            "XDG_RUNTIME_DIR": runtime,
            "XDG_CONFIG_HOME": os.path.join(self.work, "config"),
            "XDG_DATA_HOME": os.path.join(self.work, "data"),
            "TESSARO_KNOWLEDGE_DIRECTORY": os.path.join(self.work, "knowledge"),
        })
        keyring = subprocess.Popen(["gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"],
                                   stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        self.processes.append(keyring)
        # Its login keyring is created with this password and left unlocked.
        keyring.stdin.write(b"corvana-test-password")
        keyring.stdin.close()
        wait_for("org.freedesktop.secrets on the session bus", lambda: secrets_up(env), 15)
        return env

    def start(self, env, platform="xcb"):
        """Starts the app with its accessibility bridge on; returns its main window."""
        self.log = open(os.path.join(self.work, "app.log"), "w+")
        self.app = subprocess.Popen([self.corvana], env=app_environment(env, platform), stdout=self.log,
                                    stderr=subprocess.STDOUT)
        self.processes.append(self.app)
        self.tree = Tree(self.pyatspi, self.app.pid)
        return wait_for('the window "Corvana"', lambda: self.tree.window("Corvana"))

    def quit(self):
        """Ends the app as the desktop does; it must exit cleanly."""
        self.app.send_signal(signal.SIGTERM)
        assert self.app.wait(15) == 0, "the app did not quit cleanly"
        self.processes.remove(self.app)

    def shortcut_status(self):
        """The hot key's status line the app printed at launch."""
        def line():
            self.log.seek(0)
            return next((text for text in self.log.read().splitlines()
                         if text.startswith("Corvana companion shortcut status: ")), None)

        return wait_for("the shortcut status line", line, 10)

    def second(self, args, env, platform="xcb"):
        """Runs corvana again beside the running one: it must hand over and exit 0 (a second
        app would stay, and time out here)."""
        run = subprocess.run([self.corvana, *args], env=app_environment(env, platform), capture_output=True,
                             text=True, timeout=15)
        assert run.returncode == 0, f"corvana {' '.join(args)} exited {run.returncode}: {run.stderr}"


class Audit:
    """The accessibility audit of each window and state a person meets, through the tree
    and the keyboard alone:
      - no focusable object without a name;
      - no editable text that reaches the tree as a panel or an unknown object;
      - a Tab walk from the first control returns to it having visited every enabled,
        showing control once, none of them keeping Tab;
      - every focused control lies inside its window's visible area.
    Its table lists windows x objects checked x problems."""

    def __init__(self, run):
        self.run = run
        self.P = run.pyatspi
        self.rows = []
        self.focused = None
        self.focus_events = 0
        from gi.repository import GLib
        self.context = GLib.MainContext.default()
        self.P.Registry.registerEventListener(self._on_focus, "object:state-changed:focused")

    def _on_focus(self, event):
        if event.detail1 == 1:
            self.focused = event.source
            self.focus_events += 1

    def pump(self, seconds=0.0):
        deadline = time.monotonic() + seconds
        while True:
            while self.context.iteration(False):
                pass
            if time.monotonic() >= deadline:
                return
            time.sleep(0.02)

    def has(self, node, state):
        return self.run.tree.state(node, state)

    def describe(self, node):
        try:
            return f'{node.getRoleName()} "{node.name}"'
        except Exception:
            return "a vanished object"

    def named(self, node):
        """A name; a password field, whose name and description Qt 6.4 keeps off the bus,
        counts as named by the visible label just before it (as a screen reader infers)."""
        P = self.P
        try:
            if node.name.strip():
                return True
            if node.getRole() != P.ROLE_PASSWORD_TEXT:
                return False
            index = node.getIndexInParent()
            before = node.parent.getChildAtIndex(index - 1) if index > 0 else None
            return before is not None and before.getRole() in (P.ROLE_LABEL, P.ROLE_STATIC) and before.name.strip() != ""
        except Exception:
            return True  # gone already: a row recreated meanwhile

    def inside(self, node, window):
        try:
            a = node.queryComponent().getExtents(self.P.DESKTOP_COORDS)
            b = window.queryComponent().getExtents(self.P.DESKTOP_COORDS)
        except Exception:
            return True
        return (a.width > 0 and a.height > 0 and a.x >= b.x - 1 and a.y >= b.y - 1
                and a.x + a.width <= b.x + b.width + 1 and a.y + a.height <= b.y + b.height + 1)

    def check(self, label, title, walk=True):
        """Audits one window in its current state and adds a row to the table."""
        P = self.P
        window = wait_for(f'the window "{title}"', lambda: self.run.tree.window(title), 15)
        focus_window(title)
        problems = []
        found = self.run.tree.nodes(window)
        focusable = []
        for node in found:
            try:
                role = node.getRole()
                name = node.name
            except Exception:
                continue
            if self.has(node, P.STATE_EDITABLE) and role in (P.ROLE_PANEL, P.ROLE_UNKNOWN, P.ROLE_FILLER):
                problems.append(f'editable text exposed as {node.getRoleName()} "{name}"')
            # Text on screen may report itself focusable; the controls are what Tab must reach.
            if self.has(node, P.STATE_FOCUSABLE) and role not in (P.ROLE_LABEL, P.ROLE_STATIC):
                if not self.named(node):
                    problems.append(f"focusable {node.getRoleName()} without a name")
                if self.has(node, P.STATE_ENABLED) and self.has(node, P.STATE_SENSITIVE):
                    focusable.append(node)
        length = self.tab_walk(window, focusable, problems) if walk and focusable else 0
        self.rows.append((label, len(found), len(focusable), length, problems))

    def tab_walk(self, window, focusable, problems):
        """Focuses the first control, then presses Tab until a control comes round again:
        that must be the first one Tab reached, after every other."""
        P = self.P
        first = focusable[0]
        first.queryComponent().grabFocus()
        try:
            wait_for(f"focus in {self.describe(first)}",
                     lambda: self.pump(0.05) or self.has(first, P.STATE_FOCUSED), 5)
        except AssertionError:
            problems.append(f"{self.describe(first)} does not take the focus")
            return 0
        self.pump(0.1)
        visited = []
        current = first
        for _ in range(MAX_WALK):
            before = self.focus_events
            xdotool("key", "Tab")
            deadline = time.monotonic() + TAB_SETTLE
            while time.monotonic() < deadline:
                self.pump(0.02)
                if self.focus_events != before and self.focused is not None and self.focused != current:
                    break
            if self.focus_events == before or self.focused is None or self.focused == current:
                stops = [node for node in focusable if node.getRole() != P.ROLE_SCROLL_BAR]
                if len(stops) == 1 and not self.has(current, P.STATE_EDITABLE):
                    return 1  # the window's one control: Tab comes round to it at once
                problems.append(f"Tab stays in {self.describe(current)}")
                return len(visited)
            # The focus settles on the last control that announced it.
            self.pump(0.03)
            current = self.focused
            if current in visited:
                if current != visited[0]:
                    problems.append(f"Tab comes back to {self.describe(current)} instead of "
                                    f"{self.describe(visited[0])}")
                break
            if not self.inside(current, window):
                problems.append(f"focused {self.describe(current)} lies outside the window's visible area")
            if not self.named(current):
                problems.append(f"Tab stops on {self.describe(current)} without a name")
            visited.append(current)
        else:
            problems.append(f"Tab does not come round within {MAX_WALK} presses")
        for node in focusable:
            # Gone (a list row recreated meanwhile), read-only (a disabled field), or a
            # scroll bar: none of them is a stop of the Tab order.
            try:
                if self.has(node, P.STATE_READ_ONLY) or node.getRole() == P.ROLE_SCROLL_BAR:
                    continue
            except Exception:
                continue
            if node not in visited:
                states = [P.stateToString(s) for s in node.getState().getStates()]
                problems.append(f"Tab never reaches {self.describe(node)} ({', '.join(states)})")
        return len(visited)

    def verdict(self):
        """Prints the table; fails on any problem."""
        lines = [f"{'window / state':34} {'objects':>7} {'focusable':>9} {'Tab walk':>8} {'problems':>8}"]
        lines += [f"{label:34} {objects:7} {focusable:9} {length:8} {len(problems):8}"
                  for label, objects, focusable, length, problems in self.rows]
        lines += [f"  {row[0]}: {problem}" for row in self.rows for problem in row[4]]
        print("\n".join(lines))
        total = sum(len(row[4]) for row in self.rows)
        assert total == 0, f"{total} accessibility problems"


def _inner(body, size, corvana, devservice):
    try:
        import pyatspi
    except ImportError:
        print("skipped: python3-pyatspi is not installed")
        return SKIP
    work = tempfile.mkdtemp(prefix="corvana-walkthrough-")
    run = Run(pyatspi, corvana, devservice, work)
    try:
        private_display(run.processes, size)
        body(run)
        return 0
    except Exception as failure:
        import traceback
        traceback.print_exc()
        print(f"FAIL: {failure}")
        try:
            run.log.seek(0)
            print("app output:\n" + run.log.read()[-4000:])
            print("on screen: " + " | ".join(node.name for node in run.tree.nodes(run.tree.app) if node.name)[:20000])
        except Exception:
            pass
        return 1
    finally:
        for process in reversed(run.processes):
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
        shutil.rmtree(work, ignore_errors=True)


def walkthrough(usage, tools, body, size="1400x1000"):
    """The whole command line of a walkthrough script, `<script> <corvana> <corvana-devservice>`:
    checks its tools (exit 77, skipped, when one is missing) and runs itself again inside a
    private D-Bus session (for the accessibility bus), where `body(run)` drives the app on
    a private display; its processes and work folder go afterwards whatever happened.
    A failure exits 1 with the app's output and what was on screen."""
    if len(sys.argv) == 4 and sys.argv[1] == "--inner":
        sys.exit(_inner(body, size, sys.argv[2], sys.argv[3]))
    if len(sys.argv) != 3:
        print(usage)
        sys.exit(2)
    for tool in ("Xvfb", "xdotool", "xprop", "dbus-run-session", "dbus-send", "gnome-keyring-daemon", *tools):
        if shutil.which(tool) is None:
            print(f"skipped: {tool} is not installed")
            sys.exit(SKIP)
    sys.exit(subprocess.run(["dbus-run-session", "--", sys.executable, os.path.abspath(sys.argv[0]), "--inner",
                             sys.argv[1], sys.argv[2]]).returncode)
