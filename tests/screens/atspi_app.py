"""What the accessibility walkthroughs of the real app share: waiting, typing with
xdotool, a private Xvfb display and the app's accessibility tree read with pyatspi."""

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


def need(tool):
    if shutil.which(tool) is None:
        print(f"skipped: {tool} is not installed")
        sys.exit(SKIP)


def wait_for(what, probe, timeout=30.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.2)
    raise AssertionError(f"timed out waiting for {what}")


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True)


class Tree:
    """The app's accessibility tree, searched afresh on every call."""

    def __init__(self, pyatspi, name, pid=None):
        """The application of that name; of that process when there may be an older one."""
        self.pyatspi = pyatspi
        self.app = wait_for(f"the application {name} on the accessibility bus", lambda: self._application(name, pid))

    def _application(self, name, pid):
        desktop = self.pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            try:
                app = desktop.getChildAtIndex(i)
                if app is not None and app.name.lower() == name.lower() and (
                        pid is None or app.get_process_id() == pid):
                    return app
            except Exception:
                pass
        return None

    def window(self, title):
        for i in range(self.app.childCount):
            child = self.app.getChildAtIndex(i)
            try:
                if child is not None and child.name == title and child.getState().contains(
                        self.pyatspi.STATE_SHOWING):
                    return child
            except Exception:
                pass
        return None

    def showing(self, node):
        try:
            return node.getState().contains(self.pyatspi.STATE_SHOWING)
        except Exception:
            return False

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

    def names(self, within=None):
        seen = []

        def collect(node, depth):
            if node is None or depth > 60:
                return
            try:
                if node.name and self.showing(node):
                    seen.append(node.name)
                for i in range(node.childCount):
                    collect(node.getChildAtIndex(i), depth + 1)
            except Exception:
                pass

        collect(within if within is not None else self.app, 0)
        return seen

    def seek(self, what, probe, timeout=30.0):
        """Waits for what the probe finds, pressing Tab in between: a control scrolled out
        of view comes into it (and into the tree) when the keyboard reaches it."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = probe()
            if found:
                return found
            xdotool("key", "Tab")
        raise AssertionError(f"timed out seeking {what}")

    def press(self, name, within=None, tab=False):
        def pressable():
            node = self.find(name, within)
            if node is None or not node.getState().contains(self.pyatspi.STATE_ENABLED):
                return None
            return node

        node = (self.seek if tab else wait_for)(f'an enabled "{name}"', pressable)
        node.queryAction().doAction(0)

    def checked(self, node):
        return node.getState().contains(self.pyatspi.STATE_CHECKED)

    def type(self, name, text, within=None, role=None, tab=False):
        """Focuses the field and types on the keyboard, as a person does."""
        node = (self.seek if tab else wait_for)(f'the field "{name}"', lambda: self.find(name, within, role))
        node.queryComponent().grabFocus()
        wait_for(f'focus in "{name}"', lambda: node.getState().contains(self.pyatspi.STATE_FOCUSED), 10)
        xdotool("key", "ctrl+a", "Delete")
        xdotool("type", "--delay", "20", "--", text)

    def expect(self, name, within=None, timeout=30.0, tab=False):
        return (self.seek if tab else wait_for)(f'"{name}" on screen', lambda: self.find(name, within), timeout)


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
        env = dict(os.environ, DISPLAY=":" + display)

        def answers():
            if xvfb.poll() is not None:
                return True
            try:
                return subprocess.run(["xprop", "-root", "-len", "1"], capture_output=True, env=env,
                                      timeout=10).returncode == 0
            except subprocess.TimeoutExpired:
                return False

        try:
            wait_for("the display to accept clients", lambda: display != "" and answers(), 30)
        except AssertionError:
            pass
        if display != "" and xvfb.poll() is None and answers():
            os.environ["DISPLAY"] = ":" + display
            return display
        xvfb.kill()
        xvfb.wait()
        errors.seek(0)
        output = errors.read().decode(errors="replace").strip()
        reasons.append(f"try {attempt + 1} on :{number}: exit {xvfb.returncode}: {output[-1500:]}")
    raise AssertionError("Xvfb did not start:\n" + "\n".join(reasons))


def start_service(devservice, work, processes, *args):
    """Starts the development service in simulated mode with a bootstrap connection file
    in `work`; returns that file's path once the service has written it."""
    connection = os.path.join(work, "connection.json")
    processes.append(subprocess.Popen([devservice, "--simulated", "--port", "0", *args, "--bootstrap-file", connection],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    wait_for("the development service", lambda: os.path.exists(connection) and os.path.getsize(connection) > 0, 15)
    return connection


def secrets_up(env):
    reply = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                            "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                            "string:org.freedesktop.secrets"], capture_output=True, text=True, env=env)
    return "boolean true" in reply.stdout


def fresh_profile(work, processes):
    """The environment of a fresh profile in `work` with no service configured, and a
    Secret Service of its own, unlocked, on this session bus."""
    runtime = os.path.join(work, "runtime")
    os.makedirs(runtime, mode=0o700)
    env = dict(os.environ)
    env.update({
        "HOME": work,
        "XDG_RUNTIME_DIR": runtime,
        "XDG_CONFIG_HOME": os.path.join(work, "config"),
        "XDG_DATA_HOME": os.path.join(work, "data"),
        "TESSARO_KNOWLEDGE_DIRECTORY": os.path.join(work, "knowledge"),
    })
    env.pop("TESSARO_NATIVE_BOOTSTRAP", None)
    keyring = subprocess.Popen(["gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"],
                               stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               env=env)
    processes.append(keyring)
    # Its login keyring is created with this password and left unlocked.
    keyring.stdin.write(b"corvana-test-password")
    keyring.stdin.close()
    wait_for("org.freedesktop.secrets on the session bus", lambda: secrets_up(env), 15)
    return env


def start_app(corvana, env, work, processes, platform="xcb"):
    """Starts the app on the display with its accessibility bridge on; returns its log."""
    env = app_environment(env, platform)
    log = open(os.path.join(work, "app.log"), "w+")
    processes.append(subprocess.Popen([corvana], env=env, stdout=log, stderr=subprocess.STDOUT))
    return log


def app_environment(env, platform="xcb"):
    """The environment the app runs in: on that Qt platform (None leaves Qt to choose),
    with its accessibility bridge on."""
    env = dict(env)
    env.pop("QT_QPA_PLATFORM", None)
    if platform:
        env["QT_QPA_PLATFORM"] = platform
    env.update({
        "QT_QUICK_BACKEND": "software",
        "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
    })
    # libxkbcommon-x11 hands strndup length-bounded key names that are not
    # NUL-terminated, which is valid; a sanitized build must not stop on that.
    if "ASAN_OPTIONS" in env:
        env["ASAN_OPTIONS"] = env["ASAN_OPTIONS"].replace("strict_string_checks=1", "strict_string_checks=0")
    return env


class Second:
    def __init__(self, returncode, stderr, elapsed):
        self.returncode, self.stderr, self.elapsed = returncode, stderr, elapsed


def run_second(corvana, env, args, platform="xcb"):
    """Runs corvana again beside the running one; returns its status, errors and time."""
    started = time.monotonic()
    run = subprocess.run([corvana, *args], env=app_environment(env, platform), capture_output=True, text=True,
                         timeout=30)
    return Second(run.returncode, run.stderr, time.monotonic() - started)


def report_failure(failure, log, tree):
    print(f"FAIL: {failure}")
    try:
        log.seek(0)
        print("app output:\n" + log.read()[-4000:])
        print("on screen: " + " | ".join(tree.names()[:300]))
    except Exception:
        pass


def stop_all(processes):
    for process in reversed(processes):
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()


def run_privately(script, tools, usage):
    """The command line of a walkthrough: checks its tools, then runs the script again
    with --inner inside a private D-Bus session (for the accessibility bus)."""
    if len(sys.argv) != 3:
        print(usage)
        return 2
    for tool in tools:
        need(tool)
    return subprocess.run(["dbus-run-session", "--", sys.executable, os.path.abspath(script), "--inner",
                           sys.argv[1], sys.argv[2]]).returncode
