#!/usr/bin/python3
"""The real app under Xvfb, from a fresh profile with no stored access and a private
Secret Service, used through its accessibility tree and the keyboard alone as a screen
reader user would, each window and state it passes audited: the sign-in page without a
service, Setup's development connection, the onboarding pages, the main window idle and
with a running sample and answers, its menu, the range panel, the companion, Setup with a
Markdown file imported through the file dialog, About. The hot key Ctrl+Alt+Space brings
up the companion on every workspace, and a second start hands over to the running app.

usage: accessible_walkthrough.py <corvana> <corvana-devservice>
"""

import os
import re
import subprocess

from atspi_app import Audit, focus_window, wait_for, walkthrough, xdotool


def connect_in_setup(run, url, token):
    """Enters the development connection in Setup, as the sign-in page offers it."""
    P, tree = run.pyatspi, run.tree
    setup = wait_for('the window "Corvana Setup"', lambda: tree.window("Corvana Setup"), 15)
    focus_window("Corvana Setup")
    # It opens at the connection fields, the keyboard in the first one.
    field = wait_for("the service URL field", lambda: tree.find("Service URL", setup, P.ROLE_TEXT))
    wait_for("focus in the service URL", lambda: tree.state(field, P.STATE_FOCUSED), 10)
    xdotool("key", "ctrl+a", "Delete")
    xdotool("type", "--delay", "20", "--", url)
    # The token field follows, as a keyboard user reaches it (a password field keeps
    # its name to itself on this bus).
    xdotool("key", "Tab")
    xdotool("type", "--delay", "20", "--", token)
    tree.press("Connect & save", setup)
    tree.expect("Service connected. Save your domain preferences when ready.", setup)


def import_through_the_dialog(run, main, setup, path):
    """Imports a file with Setup's file dialog, typing its path."""
    P, tree = run.pyatspi, run.tree
    focus_window("Corvana Setup")
    tree.press("Import documents…", setup, tab=True)
    dialog = wait_for("the file dialog", lambda: tree.find(lambda text: True, main, P.ROLE_DIALOG), 15)
    focus_window("Corvana")
    # Control+L turns the folder bar into a path field with the keyboard in it.
    xdotool("key", "ctrl+l")
    bar = wait_for("the folder bar", lambda: tree.find(lambda text: True, dialog, P.ROLE_PAGE_TAB_LIST))

    def path_field():
        field = tree.find(lambda text: True, bar, P.ROLE_TEXT)
        return field if field is not None and tree.state(field, P.STATE_FOCUSED) else None

    wait_for("the path field", path_field, 10)
    xdotool("key", "ctrl+a", "BackSpace")
    xdotool("type", "--delay", "20", "--", path)
    xdotool("key", "Return")
    wait_for("the file dialog to close", lambda: tree.find(lambda text: True, main, P.ROLE_DIALOG) is None)
    focus_window("Corvana Setup")
    tree.expect(os.path.basename(path), setup, tab=True)
    tree.expect("Reference documents · 1", setup, tab=True)


def body(run):
    P = run.pyatspi
    env = run.profile()
    # The development service, which the app is not told about.
    service = subprocess.Popen([run.devservice, "--simulated", "--port", "0", "--time-scale", "0.1"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    run.processes.append(service)
    listening = re.match(r"^listening on (http://127\.0\.0\.1:\d+) token (\S+)", service.stdout.readline())
    assert listening, "the development service printed no listening line"
    notes = os.path.join(run.work, "evaluation-notes.md")
    with open(notes, "w", encoding="utf-8") as file:
        file.write("# Evaluation notes\n\nCalibration is checked on the held-out set before every release.\n")

    main = run.start(env)
    tree = run.tree
    audit = Audit(run)
    # The hot key registered on this display.
    assert run.shortcut_status() == "Corvana companion shortcut status: 0, 0", run.shortcut_status()

    # No service configured: the development connection, entered in Setup, is saved in
    # the keyring, and onboarding goes on.
    tree.expect("This development build has no beta service configured. Use the free development launcher, "
                "or install a configured beta release.", main)
    audit.check("Onboarding · no service", "Corvana")
    tree.press("Development connection…", main)
    connect_in_setup(run, listening.group(1), listening.group(2))
    audit.check("Setup · development connection", "Corvana Setup")
    focus_window("Corvana")
    pages = {"Continue": "Onboarding · domain", "Open Corvana": "Onboarding · audio"}
    tree.onboard(main, lambda page: audit.check(pages[page], "Corvana"))
    audit.check("Main · idle", "Corvana")

    # The More options menu, opened from the keyboard.
    more = tree.expect("More options", main)
    tree.focus(more, "More options", 5)
    xdotool("key", "space")
    wait_for("the More options menu", lambda: tree.find(lambda text: True, main, P.ROLE_MENU)
             or tree.find(lambda text: True, main, P.ROLE_POPUP_MENU), 5)
    audit.check("Main · More options menu", "Corvana", walk=False)
    xdotool("key", "Escape")
    wait_for("the menu to close", lambda: tree.find("About Corvana", main) is None, 5)

    # Setup, at its default size: Tab must bring every group into view.
    tree.press("Setup", main)
    audit.check("Setup", "Corvana Setup")
    setup = tree.window("Corvana Setup")

    focus_window("Corvana")
    more.queryComponent().grabFocus()
    xdotool("key", "space")
    tree.focus(wait_for("About Corvana in the menu", lambda: tree.find("About Corvana", main), 5), "About Corvana", 5)
    xdotool("key", "Return")
    audit.check("About", "About Corvana")

    # A running sample with answers.
    focus_window("Corvana")
    tree.press("Start simulated sample", main)
    tree.expect("Meeting", main)
    tree.expect("CUE + DEEPER READY", main, 60)
    audit.check("Main · sample with answers", "Corvana")

    # The range panel over the ended session: a running one turns Prepare range on and off
    # as it works, and a focused control turned off hands the focus to its panel mid-walk.
    tree.press("End session", main)
    tree.expect("Resume", main)
    tree.press("Time", main)
    tree.expect("Session memory · hidden answers included", main)
    audit.check("Main · range panel", "Corvana")

    # Setup's library takes a file only now (before, the session's answers would cite it
    # and rebuild their buttons during the walk).
    import_through_the_dialog(run, main, setup, notes)

    # The companion over the ended session (a running one rebuilds its form buttons as
    # answers arrive, which a walk cannot tell from a fault), brought up by the hot key.
    assert tree.window("Corvana Companion") is None, "the companion was open before the hot key"
    focus_window("Corvana")
    # With Num Lock on, as many keyboards are: the grab must not depend on it.
    xdotool("key", "Num_Lock", "ctrl+alt+space", "Num_Lock")
    companion = wait_for('the window "Corvana Companion"', lambda: tree.window("Corvana Companion"), 15)
    tree.expect("Open main window", companion)
    desktop = subprocess.run(["xprop", "-name", "Corvana Companion", "_NET_WM_DESKTOP"],
                             capture_output=True, text=True).stdout
    assert "4294967295" in desktop, f"the companion is not on every workspace: {desktop!r}"
    audit.check("Companion", "Corvana Companion")

    # A second start hands over to this one and exits at once: plain, it brings the main
    # window forward; with --companion it hides the companion shown now.
    run.second([], env)
    wait_for("main window active", lambda: tree.state(tree.window("Corvana"), P.STATE_ACTIVE), 10)
    run.second(["--companion"], env)
    wait_for("companion hidden", lambda: tree.window("Corvana Companion") is None, 10)
    audit.verdict()


walkthrough(__doc__, (), body)
