#!/usr/bin/python3
"""The desktop entry and the AppStream metainfo as this build configured them: clean for
desktop-file-validate and appstreamcli (hints and infos are printed, warnings and errors
fail), and named after the bundle identifier so the desktop, the software centre and the
app agree on one name.

usage: desktop_files.py entry <file.desktop> <identifier>
       desktop_files.py metainfo <file.metainfo.xml> <identifier> <version>
Exits 77 (skipped) when the validator is not installed."""

import configparser
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

SKIP = 77


def validate(command, failing):
    if shutil.which(command[0]) is None:
        print(f"skipped: {command[0]} is not installed")
        sys.exit(SKIP)
    run = subprocess.run(command, capture_output=True, text=True)
    output = (run.stdout + run.stderr).strip()
    if output:
        print(output)
    problems = [line for line in output.splitlines() if failing(line)]
    if run.returncode != 0 or problems:
        raise AssertionError(f"{command[0]} exited {run.returncode} with {len(problems)} warnings or errors")


def entry(path, identifier):
    validate(["desktop-file-validate", path],
             lambda line: ": error: " in line or ": warning: " in line)
    assert os.path.basename(path) == identifier + ".desktop", f"the entry is named {os.path.basename(path)}"
    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str
    parser.read(path, encoding="utf-8")
    group = parser["Desktop Entry"]
    assert group.get("Icon") == identifier, f"Icon={group.get('Icon')}"
    assert group.get("Exec", "").split()[0] == "corvana", f"Exec={group.get('Exec')}"
    assert group.get("StartupWMClass"), "no StartupWMClass"
    # The launcher's context menu offers the command-line actions a running app takes over.
    actions = [name for name in group.get("Actions", "").split(";") if name]
    assert actions == ["companion", "main"], f"Actions={group.get('Actions')}"
    for name in actions:
        command = parser[f"Desktop Action {name}"].get("Exec", "")
        assert command == f"corvana --{name}", f"the action {name} runs {command!r}"
    # Launchers activate a DBusActivatable entry over D-Bus; that needs a D-Bus service file.
    assert group.get("DBusActivatable", "false") == "false", "DBusActivatable without a D-Bus service file"


def metainfo(path, identifier, version):
    validate(["appstreamcli", "validate", "--no-net", "--pedantic", path],
             lambda line: line.startswith(("E:", "W:")))
    assert os.path.basename(path) == identifier + ".metainfo.xml", f"the metainfo is named {os.path.basename(path)}"
    root = ElementTree.parse(path).getroot()
    assert root.findtext("id") == identifier, f"<id>{root.findtext('id')}</id>"
    launchable = root.find("launchable[@type='desktop-id']")
    assert launchable is not None and launchable.text == identifier + ".desktop", "the launchable is not the entry"
    releases = [release.get("version") for release in root.iter("release")]
    assert releases and releases[0] == version, f"the newest release is {releases[:1]}, not {version}"
    assert root.find("content_rating[@type='oars-1.1']") is not None, "no OARS content rating"
    for image in root.iter("image"):
        assert image.text.startswith("https://"), f"screenshot {image.text} is not https"


def main():
    try:
        if len(sys.argv) == 4 and sys.argv[1] == "entry":
            entry(sys.argv[2], sys.argv[3])
        elif len(sys.argv) == 5 and sys.argv[1] == "metainfo":
            metainfo(sys.argv[2], sys.argv[3], sys.argv[4])
        else:
            print(__doc__, file=sys.stderr)
            return 2
    except AssertionError as failure:
        print(f"FAIL: {failure}")
        return 1
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
