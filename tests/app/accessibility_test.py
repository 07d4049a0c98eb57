#!/usr/bin/python3
# The Linux window as a screen reader finds it: on a private Xvfb display, with the
# AT-SPI bus of the session bus that dbus-run-session gives this test, against the
# simulator as COM1. It finds the 32 fields by their names, the port list as "Select Port",
# and, after Ctrl+1 and Ctrl+R from the keyboard alone, the status text as the status
# bar's. Arguments: the keltrove and keltrove-device programs.
import os
import subprocess
import sys
import tempfile
import time

import pyatspi

GUARD = 20  # seconds; only against a hang


def wait_for(what, find):
    end = time.monotonic() + GUARD
    while time.monotonic() < end:
        found = find()
        if found:
            return found
        time.sleep(0.05)
    sys.exit("not found within %d s: %s" % (GUARD, what))


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def main():
    keltrove, device = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as scratch:
        for name in ("ports", "locks", "config"):
            os.mkdir(os.path.join(scratch, name), 0o700)
        read, write = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp"],
                                pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        display = ":" + os.fdopen(read).readline().strip()
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   KELTROVE_PORT_DIR=os.path.join(scratch, "ports"),
                   KELTROVE_LOCK_DIR=os.path.join(scratch, "locks"),
                   XDG_CONFIG_HOME=os.path.join(scratch, "config"))
        simulator = subprocess.Popen([device, "--as", "COM1"], env=env, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True)
        simulator.stdout.readline()  # "<dir>/COM1 -> <pty>": it serves
        window = subprocess.Popen([keltrove], env=env)
        try:
            app = wait_for("the application", lambda: next(
                (a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "Keltrove"), None))
            fields = wait_for("32 named fields", lambda: [
                n for n in descendants(app) if n.name.startswith("Entry ")] or None)
            names = sorted(n.name for n in fields)
            expected = sorted("Entry %d" % entry for entry in range(1, 33))
            assert names == expected, names
            assert any(n.getRole() == pyatspi.ROLE_COMBO_BOX and n.name == "Select Port"
                       for n in descendants(app)), "no port list named Select Port"
            subprocess.run(["xdotool", "search", "--sync", "--name", "^Keltrove$",
                            "windowfocus", "--sync", "key", "--delay", "50", "ctrl+1",
                            "ctrl+r"], env=env, check=True)
            status = wait_for("the status bar", lambda: next(
                (n for n in descendants(app) if n.getRole() == pyatspi.ROLE_STATUS_BAR), None))
            wait_for("Reading is completed", lambda: status.name == "Reading is completed")
        finally:
            window.terminate()
            window.wait(GUARD)
            simulator.terminate()
            simulator.wait(GUARD)
            xvfb.terminate()
            xvfb.wait(GUARD)
    print("accessibility: 32 named fields, Select Port, status after Ctrl+1 and Ctrl+R")


main()
