#!/usr/bin/python3
"""An accessibility audit of the real app under Xvfb: each window and state a person
meets (onboarding pages, the main window idle and with a running sample and answers,
its menu, the companion, Setup, About) is brought on screen and checked through the
accessibility tree and the keyboard alone:
  - no focusable object without a name;
  - no editable text that reaches the tree as a panel or an unknown object;
  - a Tab walk from the first control returns to it having visited every enabled,
    showing control once, none of them keeping Tab;
  - every focused control lies inside its window's visible area.
Prints a table of windows x objects checked x problems, and fails on any problem.

usage: accessible_audit.py <corvana> <corvana-devservice>
Runs itself again inside a private D-Bus session (for the accessibility bus). Exits 77
(skipped) when Xvfb, xdotool, xprop, dbus-run-session or pyatspi are missing.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

from atspi_app import (SKIP, Tree, focus_window, private_display, report_failure, run_privately, start_app, stop_all,
                       wait_for, xdotool)

# Longest a Tab press may take to move the focus before the control counts as keeping it.
TAB_SETTLE = 1.5
MAX_WALK = 90


class Audit:
    def __init__(self, pyatspi, tree):
        self.pyatspi = pyatspi
        self.tree = tree
        self.rows = []
        self.focused = None
        self.focus_events = 0
        from gi.repository import GLib
        self.context = GLib.MainContext.default()
        self.began = time.monotonic()
        pyatspi.Registry.registerEventListener(self._on_focus, "object:state-changed:focused")

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

    def state(self, node):
        try:
            return node.getState()
        except Exception:
            return None

    def describe(self, node):
        try:
            return f'{node.getRoleName()} "{node.name}"'
        except Exception:
            return "a vanished object"

    def objects(self, window):
        """Every showing object under the window, in reading (tree) order."""
        found = []

        def collect(node, depth):
            if node is None or depth > 60:
                return
            state = self.state(node)
            if state is None or not state.contains(self.pyatspi.STATE_SHOWING):
                return
            found.append((node, state))
            try:
                count = node.childCount
            except Exception:
                return
            for i in range(count):
                try:
                    collect(node.getChildAtIndex(i), depth + 1)
                except Exception:
                    pass

        try:
            for i in range(window.childCount):
                collect(window.getChildAtIndex(i), 0)
        except Exception:
            pass
        return found

    def named(self, node):
        """A name; a password field, whose name and description Qt 6.4 keeps off the bus,
        counts as named by the visible label just before it (as a screen reader infers)."""
        P = self.pyatspi
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

    def extents(self, node):
        box = node.queryComponent().getExtents(self.pyatspi.DESKTOP_COORDS)
        return box.x, box.y, box.width, box.height

    def inside(self, node, window):
        try:
            x, y, w, h = self.extents(node)
            wx, wy, ww, wh = self.extents(window)
        except Exception:
            return True
        return w > 0 and h > 0 and x >= wx - 1 and y >= wy - 1 and x + w <= wx + ww + 1 and y + h <= wy + wh + 1

    def check(self, label, title, window=None, walk=True, known=()):
        """Audits one window in its current state and adds a row to the table."""
        started = time.monotonic()
        window = window or wait_for(f'the window "{title}"', lambda: self.tree.window(title), 15)
        focus_window(title)
        P = self.pyatspi
        problems = list(known)
        found = self.objects(window)
        focusable = []
        for node, state in found:
            try:
                role = node.getRole()
                name = node.name
            except Exception:
                continue
            if state.contains(P.STATE_EDITABLE) and role in (P.ROLE_PANEL, P.ROLE_UNKNOWN, P.ROLE_FILLER):
                problems.append(f'editable text exposed as {node.getRoleName()} "{name}"')
            # Text on screen may report itself focusable; the controls are what Tab must reach.
            if state.contains(P.STATE_FOCUSABLE) and role not in (P.ROLE_LABEL, P.ROLE_STATIC):
                if not self.named(node):
                    problems.append(f"focusable {node.getRoleName()} without a name")
                if state.contains(P.STATE_ENABLED) and state.contains(P.STATE_SENSITIVE):
                    focusable.append(node)
        length = 0
        self.walked_names = []
        if walk and focusable:
            length = self.tab_walk(window, focusable, problems)
        self.rows.append((label, len(found), len(focusable), length, problems))
        if os.environ.get("CORVANA_AUDIT_VERBOSE"):
            print(label, "Tab order:", " → ".join(self.walked_names))
        print(f"{label}: {time.monotonic() - started:.1f} s (at {time.monotonic() - self.began:.1f} s)", flush=True)

    def tab_walk(self, window, focusable, problems):
        """Focuses the first control, then presses Tab until a control comes round again:
        that must be the first one Tab reached, after every other."""
        P = self.pyatspi
        first = focusable[0]
        first.queryComponent().grabFocus()
        try:
            wait_for(f"focus in {self.describe(first)}",
                     lambda: self.pump(0.05) or (self.state(first) or P.StateSet()).contains(P.STATE_FOCUSED), 5)
        except AssertionError:
            problems.append(f"{self.describe(first)} does not take the focus")
            return 0
        self.pump(0.1)
        visited = []
        self.walked_names = []
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
                if len(stops) == 1 and not (self.state(current) or P.StateSet()).contains(P.STATE_EDITABLE):
                    # The window's one control: Tab comes round to it at once.
                    self.walked_names.append(self.describe(current))
                    return 1
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
            unnamed = not self.named(current)
            if unnamed:
                try:
                    inside = f" in {self.describe(current.parent)}"
                except Exception:
                    inside = ""
                problems.append(f"Tab stops on {self.describe(current)} without a name{inside}")
            visited.append(current)
            self.walked_names.append(self.describe(current))
        else:
            problems.append(f"Tab does not come round within {MAX_WALK} presses")
        P = self.pyatspi
        for node in focusable:
            # Gone (a list row recreated meanwhile), read-only (a disabled field), or a
            # scroll bar: none of them is a stop of the Tab order.
            try:
                state = node.getState()
                if state.contains(P.STATE_READ_ONLY) or node.getRole() == P.ROLE_SCROLL_BAR:
                    continue
            except Exception:
                continue
            if node not in visited:
                names = [P.stateToString(s) for s in state.getStates()]
                problems.append(f"Tab never reaches {self.describe(node)} ({', '.join(names)})")
        return len(visited)

    def table(self):
        lines = [f"{'window / state':34} {'objects':>7} {'focusable':>9} {'Tab walk':>8} {'problems':>8}"]
        total = 0
        for label, objects, focusable, length, problems in self.rows:
            lines.append(f"{label:34} {objects:7} {focusable:9} {length:8} {len(problems):8}")
            total += len(problems)
        for label, _, _, _, problems in self.rows:
            for problem in problems:
                lines.append(f"  {label}: {problem}")
        return "\n".join(lines), total


def inner(corvana, devservice):
    try:
        import pyatspi
    except ImportError:
        print("skipped: python3-pyatspi is not installed")
        return SKIP

    work = tempfile.mkdtemp(prefix="corvana-audit-")
    processes = []
    log = None
    tree = None
    try:
        private_display(processes)
        service = subprocess.Popen([devservice, "--simulated", "--port", "0", "--time-scale", "0.1",
                                    "--bootstrap-file", os.path.join(work, "connection.json")],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        processes.append(service)
        wait_for("the development service", lambda: os.path.exists(os.path.join(work, "connection.json"))
                 and os.path.getsize(os.path.join(work, "connection.json")) > 0, 15)
        env = dict(os.environ)
        env.update({
            "HOME": work,
            "XDG_CONFIG_HOME": os.path.join(work, "config"),
            "XDG_DATA_HOME": os.path.join(work, "data"),
            "TESSARO_NATIVE_BOOTSTRAP": os.path.join(work, "connection.json"),
            "TESSARO_KNOWLEDGE_DIRECTORY": os.path.join(work, "knowledge"),
        })
        # First without a service: the sign-in page, and Setup opened at the connection.
        bootstrap = env.pop("TESSARO_NATIVE_BOOTSTRAP")
        log = start_app(corvana, env, work, processes)
        first = processes[-1]
        tree = Tree(pyatspi, "corvana")
        audit = Audit(pyatspi, tree)
        main = wait_for('the window "Corvana"', lambda: tree.window("Corvana"))
        tree.expect("Development connection…", main)
        audit.check("Onboarding · no service", "Corvana", main)
        tree.press("Development connection…", main)
        setup = wait_for('the window "Corvana Setup"', lambda: tree.window("Corvana Setup"), 15)
        focus_window("Corvana Setup")
        opened = []
        try:
            field = wait_for("the service URL field", lambda: tree.find("Service URL", setup, pyatspi.ROLE_TEXT), 10)
            wait_for("the keyboard in the service URL", lambda: field.getState().contains(pyatspi.STATE_FOCUSED), 10)
        except AssertionError as failure:
            opened.append(f"Development connection… opens Setup elsewhere: {failure}")
        audit.check("Setup · development connection", "Corvana Setup", setup, known=opened)
        first.terminate()
        first.wait(15)
        processes.remove(first)

        env["TESSARO_NATIVE_BOOTSTRAP"] = bootstrap
        log = start_app(corvana, env, work, processes)
        tree = Tree(pyatspi, "corvana", processes[-1].pid)
        audit.tree = tree
        main = wait_for('the window "Corvana"', lambda: tree.window("Corvana"))

        # Onboarding, page by page.
        pages = ("Continue", "Open Corvana", "Start simulated sample")
        shown = wait_for("onboarding or the main view", lambda: set(pages) & set(tree.names(main)))
        if "Continue" in shown:
            audit.check("Onboarding · domain", "Corvana", main)
            tree.press("Continue", main)
            shown = wait_for("the next page", lambda: set(pages[1:]) & set(tree.names(main)))
        if "Open Corvana" in shown:
            audit.check("Onboarding · audio", "Corvana", main)
            tree.press("Open Corvana", main)
        tree.expect("Start simulated sample", main)
        audit.check("Main · idle", "Corvana", main)

        # The More options menu, opened from the keyboard.
        more = tree.expect("More options", main)
        more.queryComponent().grabFocus()
        wait_for("focus on More options", lambda: more.getState().contains(pyatspi.STATE_FOCUSED), 5)
        xdotool("key", "space")
        menu = wait_for("the More options menu", lambda: tree.find(lambda text: True, main, pyatspi.ROLE_MENU)
                        or tree.find(lambda text: True, main, pyatspi.ROLE_POPUP_MENU), 5)
        audit.check("Main · More options menu", "Corvana", main, walk=False)
        xdotool("key", "Escape")
        wait_for("the menu to close", lambda: tree.find("About Corvana", main) is None, 5)

        # Setup, at its default size: Tab must bring every group into view.
        tree.press("Setup", main)
        audit.check("Setup", "Corvana Setup")
        setup = tree.window("Corvana Setup")
        connection = tree.find("Service connection", setup)
        if connection is not None:
            if not tree.checked(connection):
                tree.press("Service connection", setup)
            tree.expect("Service URL", setup)
            audit.check("Setup · service connection open", "Corvana Setup", setup)

        focus_window("Corvana")
        more.queryComponent().grabFocus()
        xdotool("key", "space")
        about = wait_for("About Corvana in the menu", lambda: tree.find("About Corvana", main), 5)
        about.queryComponent().grabFocus()
        wait_for("focus on About Corvana", lambda: about.getState().contains(pyatspi.STATE_FOCUSED), 5)
        xdotool("key", "Return")
        audit.check("About", "About Corvana")

        # A running sample with answers.
        focus_window("Corvana")
        tree.press("Start simulated sample", main)
        tree.expect("CUE + DEEPER READY", main, 60)
        audit.check("Main · sample with answers", "Corvana", main)

        tree.press("Time", main)
        tree.expect("Session memory · hidden answers included", main)
        audit.check("Main · range panel", "Corvana", main)

        # The companion over the ended session: a running one rebuilds its form buttons
        # as answers arrive, which a walk cannot tell from a fault.
        tree.press("End session", main)
        tree.expect("Resume", main)
        focus_window("Corvana")
        xdotool("key", "ctrl+alt+space")
        wait_for('the window "Corvana Companion"', lambda: tree.window("Corvana Companion"), 15)
        audit.check("Companion", "Corvana Companion")

        text, total = audit.table()
        print(text)
        if total:
            print(f"FAIL: {total} accessibility problems")
            return 1
        print("accessibility audit passed")
        return 0
    except Exception as failure:
        import traceback
        traceback.print_exc()
        report_failure(failure, log, tree)
        try:
            print(audit.table()[0])
        except Exception:
            pass
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
