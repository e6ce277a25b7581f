#!/usr/bin/python3
"""The real app under Xvfb with a development connection, used through its accessibility
tree and the keyboard alone as a screen reader user would, each window and state it
passes audited (onboarding pages, the main window idle and with a running sample and
answers, its menu, the range panel, the companion, Setup, About): the hot key
Ctrl+Alt+Space brings up the companion on every workspace, and a second start hands over
to the running app.

usage: accessible_walkthrough.py <corvana> <corvana-devservice>
"""

import subprocess

from atspi_app import Audit, focus_window, wait_for, walkthrough, xdotool


def body(run):
    P = run.pyatspi
    env = run.profile(run.service("--time-scale", "0.1"))
    main = run.start(env)
    tree = run.tree
    audit = Audit(run)
    # The hot key registered on this display.
    assert run.shortcut_status() == "Corvana companion shortcut status: 0, 0", run.shortcut_status()

    # A fresh profile signed in through the bootstrap connection still finishes onboarding.
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
    connection = tree.find("Service connection", setup)
    if connection is not None:
        if not tree.state(connection, P.STATE_CHECKED):
            tree.press("Service connection", setup)
        tree.expect("Service URL", setup)
        audit.check("Setup · service connection open", "Corvana Setup")

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
    tree.press("Time", main)
    tree.expect("Session memory · hidden answers included", main)
    audit.check("Main · range panel", "Corvana")

    # The companion over the ended session (a running one rebuilds its form buttons as
    # answers arrive, which a walk cannot tell from a fault), brought up by the hot key.
    tree.press("End session", main)
    tree.expect("Resume", main)
    assert tree.window("Corvana Companion") is None, "the companion was open before the hot key"
    focus_window("Corvana")
    xdotool("key", "ctrl+alt+space")
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
