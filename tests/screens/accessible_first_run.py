#!/usr/bin/python3
"""The real app under Xvfb, from a fresh profile with no stored access, used through its
accessibility tree: the sign-in page without a service and Setup's development
connection (both audited as the walkthrough audits its windows), the connection saved
in a private Secret Service, onboarding, and a Markdown import through the file dialog.

usage: accessible_first_run.py <corvana> <corvana-devservice>
"""

import os
import re
import subprocess

from atspi_app import Audit, focus_window, wait_for, walkthrough, xdotool

NOTES = ("# Evaluation notes\n\n"
         "Calibration is checked on the held-out set before every release; a model that says 80% "
         "should be right about 80% of the time.\n")


def body(run):
    P = run.pyatspi
    env = run.profile(secrets=True)
    # The development service, which the app is not told about.
    service = subprocess.Popen([run.devservice, "--simulated", "--port", "0"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    run.processes.append(service)
    listening = re.match(r"^listening on (http://127\.0\.0\.1:\d+) token (\S+)", service.stdout.readline())
    assert listening, "the development service printed no listening line"
    url, token = listening.group(1), listening.group(2)
    notes = os.path.join(run.work, "evaluation-notes.md")
    with open(notes, "w", encoding="utf-8") as file:
        file.write(NOTES)

    main = run.start(env)
    tree = run.tree
    audit = Audit(run)
    # No service configured: the development connection, entered in Setup.
    tree.expect("This development build has no beta service configured. Use the free development launcher, "
                "or install a configured beta release.", main)
    audit.check("Onboarding · no service", "Corvana")
    tree.press("Development connection…", main)
    setup = wait_for('the window "Corvana Setup"', lambda: tree.window("Corvana Setup"), 15)
    focus_window("Corvana Setup")
    # It opens at the connection fields, the keyboard in the first one.
    field = wait_for("the service URL field", lambda: tree.find("Service URL", setup, P.ROLE_TEXT))
    wait_for("focus in the service URL", lambda: tree.state(field, P.STATE_FOCUSED), 10)
    tree.type("Service URL", url, setup, P.ROLE_TEXT)
    # The token field follows, as a keyboard user reaches it (a password field keeps
    # its name to itself on this bus).
    xdotool("key", "Tab")
    xdotool("type", "--delay", "20", "--", token)
    tree.press("Connect & save", setup)
    tree.expect("Service connected. Save your domain preferences when ready.", setup)
    audit.check("Setup · development connection", "Corvana Setup")

    # Onboarding goes on in the main window, unless the account skips it.
    focus_window("Corvana")
    tree.onboard(main)

    # Setup's library: a Markdown file through the file dialog, by typing its path.
    tree.press("Setup", main)
    setup = wait_for('the window "Corvana Setup"', lambda: tree.window("Corvana Setup"), 15)
    focus_window("Corvana Setup")
    tree.expect("No reference documents yet.", setup, tab=True)
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
    xdotool("type", "--delay", "20", "--", notes)
    xdotool("key", "Return")
    wait_for("the file dialog to close", lambda: tree.find(lambda text: True, main, P.ROLE_DIALOG) is None)
    focus_window("Corvana Setup")
    tree.expect("evaluation-notes.md", setup, tab=True)
    tree.expect("Reference documents · 1", setup, tab=True)
    audit.verdict()


walkthrough(__doc__, ("gnome-keyring-daemon",), body)
