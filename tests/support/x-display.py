#!/usr/bin/env python3
"""Reserves a free X display number as X servers do and runs a Wayland compositor that starts
Xwayland on it, for the real-desktop tests:
    x-display.py <file> <compositor> [args...]
The number is taken with its lock file (/tmp/.X<N>-lock, holding this process's PID, which the
compositor keeps: it replaces this process) and its two listening sockets, the file
/tmp/.X11-unix/X<N> and the abstract one of the same name. The compositor gets them as
"--xwayland-display :N --xwayland-fd F --xwayland-fd F". Once they listen, "<N> <inode of the
socket file>" and a line break are written to <file>.

A compositor left to pick a display itself removes a socket file before binding it, which can
take another session's display away; here a number is used only when neither its lock file nor
its socket exists, and nothing that another server made is ever removed.
"""

import os
import socket
import sys

FIRST, LAST = 100, 999


def take(number):
    lock = f"/tmp/.X{number}-lock"
    path = f"/tmp/.X11-unix/X{number}"
    if os.path.lexists(path):
        return None
    try:
        fd = os.open(lock, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o444)
    except FileExistsError:
        return None
    # The format X servers write and read: the PID right-aligned in ten columns.
    os.write(fd, b"%10d\n" % os.getpid())
    os.close(fd)
    listening = []
    made_file = False
    try:
        for address in (path, "\0" + path):
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            listening.append(s)
            s.bind(address)
            made_file = True
            s.listen(16)
            s.set_inheritable(True)
        return listening, os.lstat(path).st_ino
    except OSError:
        # Taken by someone after all (an abstract socket without a lock file): undo only what
        # this made.
        for s in listening:
            s.close()
        if made_file:
            os.unlink(path)
        os.unlink(lock)
        return None


def main():
    if len(sys.argv) < 3:
        sys.exit("usage: x-display.py <file> <compositor> [args...]")
    if not os.path.isdir("/tmp/.X11-unix"):
        os.mkdir("/tmp/.X11-unix")
        os.chmod("/tmp/.X11-unix", 0o1777)  # as X servers make it, whatever the umask
    for number in range(FIRST, LAST + 1):
        taken = take(number)
        if taken:
            break
    else:
        sys.exit("x-display: no free X display number")
    listening, inode = taken
    with open(sys.argv[1], "w") as out:
        out.write(f"{number} {inode}\n")
    args = sys.argv[2:] + ["--xwayland-display", f":{number}"]
    for s in listening:
        args += ["--xwayland-fd", str(s.fileno())]
    os.execv(args[0], args)


main()
