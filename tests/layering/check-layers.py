#!/usr/bin/env python3
"""Checks that the program's rooms include only downwards.

Floors, bottom up: core/; resources/; the feature rooms beep/ (with beep/engine/), history/,
desktop/ and appearance/; app/, the main window. An #include "room/..." may point into its own
room or down a floor, never up and never sideways between feature rooms. The sound engine
module (beep/engine/) may include beep/SoundEngine.h, its interface, and nothing else of
beep/; beep/ never includes the module, which is loaded at run time. Only app/ (and main.cpp
on top) may name the main window, Form1.

Usage: check-layers.py <source root>. Prints each wrong line as file:line and fails.
"""
import re
import subprocess
import sys
from pathlib import Path

FLOORS = {
    "core": 0,
    "resources": 1,
    "beep": 2,
    "beep/engine": 2,
    "history": 2,
    "desktop": 2,
    "appearance": 2,
    "app": 3,
}
# Exceptions to "not sideways": the module's one door into beep/.
ALLOWED = {("beep/engine", "beep/SoundEngine.h")}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
FORM1 = re.compile(r"\bForm1\b")


def room_of(path):
    """The room that holds @p path (a path relative to the root), or None."""
    folder = str(Path(path).parent)
    return folder if folder in FLOORS else None


def wrong_include(room, target):
    """Why including @p target from @p room is wrong, or None when it is fine."""
    to = room_of(target)
    if to is None or to == room or (room, target) in ALLOWED:
        return None
    if FLOORS[to] > FLOORS[room]:
        return f"points up from {room}/ to {to}/"
    if FLOORS[to] == FLOORS[room]:
        return f"points sideways from {room}/ to {to}/"
    return None


def source_files(root):
    """The files under @p root: git's list when it is a work tree, else every file of the rooms."""
    listed = subprocess.run(["git", "-C", str(root), "ls-files", "--cached", "--others",
                             "--exclude-standard"], capture_output=True, text=True)
    if listed.returncode == 0 and listed.stdout:
        return sorted(set(listed.stdout.split()))
    return sorted(str(path.relative_to(root)) for room in FLOORS
                  for path in (root / room).glob("*") if path.is_file())


def main():
    root = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    faults = []
    for name in source_files(root):
        room = room_of(name)
        if room is None or not re.search(r"\.(h|cpp|c)$", name) or not (root / name).exists():
            continue
        lines = (root / name).read_text(errors="replace").splitlines()
        for number, line in enumerate(lines, 1):
            match = INCLUDE.match(line)
            why = match and wrong_include(room, match.group(1))
            if why:
                faults.append(f"{name}:{number}: #include \"{match.group(1)}\" {why}")
            if room != "app" and FORM1.search(line):
                faults.append(f"{name}:{number}: names Form1, which only app/ knows")
    for fault in faults:
        print(fault)
    print(f"{len(faults)} wrong lines" if faults else "every include points down")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
