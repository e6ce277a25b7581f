#!/usr/bin/python3
"""Fails when a text the user can see names a macOS thing: the string literals of the
app, the core library and the development service, and the packaging files. On Linux
the texts say "this computer", "your keyring", PipeWire and "Ctrl+Alt+Space".

usage: linux_words.py <source root>"""

import os
import re
import sys

FOLDERS = ("TessaroApp", "TessaroKit", "DevService")
SUFFIXES = (".cpp", ".h", ".qml")
LITERAL = re.compile(r'"(?:\\.|[^"\\])*"')
MAC_WORDS = re.compile(r"\b(?:Mac|Macs|macOS|OS X|Keychain|Finder|Dock|Cmd)\b|[⌃⌥⌘]|Control–Option|Option–|Command–")


def offending(path, whole_file):
    with open(path, encoding="utf-8") as file:
        for number, line in enumerate(file, 1):
            texts = [line] if whole_file else LITERAL.findall(line)
            for text in texts:
                if MAC_WORDS.search(text):
                    yield f"{path}:{number}: {text.strip()}"


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    root = sys.argv[1]
    found = []
    for folder in FOLDERS:
        for directory, _, names in os.walk(os.path.join(root, folder)):
            for name in sorted(names):
                if name.endswith(SUFFIXES):
                    found += offending(os.path.join(directory, name), False)
    packaging = os.path.join(root, "packaging")
    for name in sorted(os.listdir(packaging)):
        if name.endswith(".in"):
            found += offending(os.path.join(packaging, name), True)
    for line in found:
        print(line)
    if found:
        print(f"FAIL: {len(found)} texts name macOS things; say the Linux equivalent")
        return 1
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
