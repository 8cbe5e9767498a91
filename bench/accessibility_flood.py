#!/usr/bin/python3
"""bench_session_window with a screen reader listening.

Runs bench/bench_session_window on Xvfb inside a private D-Bus session with
the AT-SPI bus, Qt's accessibility bridge forced on, and a pyatspi client
that counts the text-inserted events it receives, so the event loop's
latency during a flood includes building and sending every event.
Prints the bench's own figures, then the events the client received.

Usage: accessibility_flood.py <path to bench_session_window> [megabytes, default 10]
"""

import os
import subprocess
import sys
import time

LISTENER = r"""
import pyatspi, sys, time
from gi.repository import GLib
count = [0, 0]
def inserted(event):
    count[0] += 1
    count[1] += len(str(event.any_data))
pyatspi.Registry.registerEventListener(inserted, "object:text-changed:insert")
open(sys.argv[1], "w").close()
end = time.monotonic() + float(sys.argv[2])
context = GLib.MainContext.default()
while time.monotonic() < end and not os.path.exists(sys.argv[1] + ".stop"):
    while context.iteration(False):
        pass
    time.sleep(0.005)
print("screen reader client: %d text-inserted events, %d characters" % tuple(count))
""".replace("import pyatspi", "import os, pyatspi")


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    bench = os.path.abspath(sys.argv[1])
    megabytes = sys.argv[2] if len(sys.argv) > 2 else "10"
    if os.environ.get("QUARROW_BENCH_SESSION") != "1":
        env = dict(os.environ, QUARROW_BENCH_SESSION="1")
        return subprocess.run(["dbus-run-session", "--", "xvfb-run", "-a", "-s", "-screen 0 1280x1024x24",
                               sys.executable, os.path.abspath(__file__), bench, megabytes], env=env,
                              timeout=600).returncode
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ready = "/tmp/quarrow-a11y-bench-%d" % os.getpid()
    listener = subprocess.Popen([sys.executable, "-c", LISTENER, ready, "300"])
    try:
        for _ in range(200):
            if os.path.exists(ready):
                break
            time.sleep(0.05)
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        subprocess.run([bench, megabytes, "0", "0"], env=env, timeout=400)
        # Let the client drain what is still on the bus before it reports.
        time.sleep(2)
        open(ready + ".stop", "w").close()
        listener.wait(timeout=30)
    finally:
        for process in (listener, launcher):
            if process.poll() is None:
                process.terminate()
                process.wait(timeout=5)
        for path in (ready, ready + ".stop"):
            if os.path.exists(path):
                os.remove(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
