#!/usr/bin/python3
"""Reads Quarrow the way a screen reader does, through AT-SPI.

Starts (inside a private D-Bus session) the AT-SPI bus, Xvfb on a free
display, a loopback game server and the application with a data folder of
its own; then, as a pyatspi client: walks the connections window and the
connection editor by accessible names, connects, finds the "Output" text
object, hears the text-inserted event for a line the server sends and reads
that line back, and reads the input line after Tab completion and after a
history recall (and hears both announced).

Usage: screen_reader_test.py <path to quarrow>
Exit status 77 (skipped) only when no X server can start.
"""

import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

SKIPPED = 77
TOTAL_BUDGET_S = 55.0
STEP_TIMEOUT_S = 15.0
SERVER_LINE = "A small kobold waves at you from the doorway."


def inner_main(quarrow):
    deadline = time.monotonic() + TOTAL_BUDGET_S
    workdir = tempfile.mkdtemp(prefix="quarrow-atspi-")
    processes = []
    try:
        display = start_xvfb(processes)
        if display is None:
            print("SKIP: no X server could start")
            return SKIPPED
        os.environ["DISPLAY"] = display
        launcher = "/usr/libexec/at-spi-bus-launcher"
        if os.path.exists(launcher):
            processes.append(subprocess.Popen([launcher, "--launch-immediately"], stdout=subprocess.DEVNULL,
                                              stderr=subprocess.DEVNULL))
        server = LoopbackServer()
        write_connection(workdir, server.port)
        log = open(os.path.join(workdir, "quarrow.log"), "w")
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
                   QUARROW_DATA_DIR=os.path.join(workdir, "data"), XDG_CONFIG_HOME=os.path.join(workdir, "config"),
                   XDG_DATA_HOME=os.path.join(workdir, "share"))
        processes.append(subprocess.Popen([quarrow], env=env, stdout=log, stderr=subprocess.STDOUT))
        try:
            ScreenReaderSession(server, deadline).run()
        except Failure as failure:
            print("FAIL:", failure)
            log.flush()
            with open(os.path.join(workdir, "quarrow.log")) as text:
                print("--- application log ---\n" + text.read()[-4000:])
            return 1
        print("PASS: the output, the connections window, the editor and the input line read as expected")
        return 0
    finally:
        for process in reversed(processes):
            stop(process)
        shutil.rmtree(workdir, ignore_errors=True)


class Failure(Exception):
    pass


def start_xvfb(processes):
    if shutil.which("Xvfb") is None:
        return None
    read_end, write_end = os.pipe()
    process = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten",
                                "tcp"], pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    processes.append(process)
    number = b""
    end = time.monotonic() + 10
    while time.monotonic() < end and not number.endswith(b"\n"):
        ready, _, _ = select.select([read_end], [], [], 0.2)
        if ready:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
    os.close(read_end)
    return ":" + number.decode().strip() if number.strip() else None


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=5)


def write_connection(workdir, port):
    folder = os.path.join(workdir, "data", "connections", "Loopback.mud")
    os.makedirs(folder)
    with open(os.path.join(folder, "connection.json"), "w") as stream:
        stream.write('{"host": "127.0.0.1", "port": %d}\n' % port)


class LoopbackServer:
    """A game server on 127.0.0.1 that sends lines when asked to."""

    def __init__(self):
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(4)
        self.listener.settimeout(STEP_TIMEOUT_S)
        self.port = self.listener.getsockname()[1]
        self.client = None
        self.inbox = b""
        self.connected = threading.Event()
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        # The connections window probes the port before the session connects: the session is the
        # connection that stays open, so each new one replaces the last.
        end = time.monotonic() + TOTAL_BUDGET_S
        while time.monotonic() < end:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            self.client = client
            self.connected.set()

    def send(self, line):
        self.client.sendall((line + "\r\n").encode())

    def received(self):
        # What the session sent so far (read without waiting).
        self.client.setblocking(False)
        try:
            while True:
                chunk = self.client.recv(4096)
                if not chunk:
                    break
                self.inbox += chunk
        except BlockingIOError:
            pass
        return self.inbox.decode(errors="replace")


class ScreenReaderSession:
    def __init__(self, server, deadline):
        import pyatspi
        from gi.repository import GLib
        self.pyatspi = pyatspi
        self.context = GLib.MainContext.default()
        self.server = server
        self.deadline = deadline
        self.inserted = []
        pyatspi.Registry.registerEventListener(self.on_text_inserted, "object:text-changed:insert")

    def on_text_inserted(self, event):
        try:
            self.inserted.append((event.source.name, event.source.getRole(), event.any_data))
        except Exception:
            pass

    # Waiting, always bounded by the step's and the whole test's time.
    def wait_for(self, what, probe, timeout=STEP_TIMEOUT_S):
        end = min(time.monotonic() + timeout, self.deadline)
        while True:
            while self.context.iteration(False):
                pass
            try:
                found = probe()
            except Exception:
                found = None
            if found:
                return found
            if time.monotonic() > end:
                raise Failure("timed out waiting for %s\n%s" % (what, self.describe_application()))
            time.sleep(0.05)

    def find(self, root, predicate, limit=4000):
        stack = [root]
        visited = 0
        while stack and visited < limit:
            node = stack.pop()
            visited += 1
            if node is None:
                continue
            try:
                if predicate(node):
                    return node
                stack.extend(node.getChildAtIndex(i) for i in range(node.childCount))
            except Exception:
                continue
        return None

    def describe_application(self):
        # What the screen reader saw, for the failure message: the application's tree, a few levels deep.
        lines = []
        stack = [(self.application(), 0)]
        while stack and len(lines) < 200:
            node, depth = stack.pop()
            if node is None:
                continue
            try:
                lines.append("%s%s %r" % ("  " * depth, node.getRoleName(), node.name))
                if depth < 6:
                    stack.extend((node.getChildAtIndex(i), depth + 1) for i in reversed(range(node.childCount)))
            except Exception as error:
                lines.append("%s(unreadable: %s)" % ("  " * depth, error))
        return "\n".join(lines)

    def named(self, root, role, name):
        return self.find(root, lambda node: node.getRole() == role and node.name == name)

    def application(self):
        desktop = self.pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            if app is not None and app.name.lower() == "quarrow":
                return app
        return None

    def window(self, app, role, name_part):
        for index in range(app.childCount):
            window = app.getChildAtIndex(index)
            if window is not None and window.getRole() == role and name_part in window.name and \
                    window.getState().contains(self.pyatspi.STATE_SHOWING):
                return window
        return None

    def press(self, button):
        action = button.queryAction()
        for index in range(action.nActions):
            if action.getName(index).lower() in ("press", "click"):
                action.doAction(index)
                return
        action.doAction(0)

    def text_of(self, node):
        text = node.queryText()
        return text.getText(0, text.characterCount)

    def line_at(self, node, offset):
        result = node.queryText().getTextAtOffset(offset, self.pyatspi.TEXT_BOUNDARY_LINE_START)
        return result[0] if isinstance(result, (tuple, list)) else result.content

    def run(self):
        pyatspi = self.pyatspi
        app = self.wait_for("the application on the AT-SPI bus", self.application)
        connections = self.wait_for("the connections window", lambda: self.window(app, pyatspi.ROLE_FRAME,
                                                                                  "Connections"))
        for name in ("New...", "Edit...", "Remove...", "Connect"):
            if self.named(connections, pyatspi.ROLE_PUSH_BUTTON, name) is None:
                raise Failure("no button named %r in the connections window" % name)
        cell_prefix = "Loopback, 127.0.0.1:%d, " % self.server.port
        cell = self.wait_for("the connection's grid cell",
                             lambda: self.find(connections, lambda n: n.name.startswith(cell_prefix)))
        self.select_cell(cell)

        self.press(self.wait_for("an enabled Edit button", lambda: self.enabled_button(connections, "Edit...")))
        editor = self.wait_for("the connection editor", lambda: self.window(app, pyatspi.ROLE_DIALOG,
                                                                            "Edit connection"))
        expected = {"Title:": "Loopback", "Server address:": "127.0.0.1", "Server port:": str(self.server.port)}
        for name, value in expected.items():
            field = self.named(editor, pyatspi.ROLE_TEXT, name)
            if field is None:
                raise Failure("no text field named %r in the connection editor" % name)
            if self.text_of(field) != value:
                raise Failure("field %r reads %r, expected %r" % (name, self.text_of(field), value))
        self.press(self.named(editor, pyatspi.ROLE_PUSH_BUTTON, "Cancel"))
        self.wait_for("the editor to close", lambda: self.window(app, pyatspi.ROLE_DIALOG, "Edit connection") is None)

        self.select_cell(cell)
        self.press(self.wait_for("an enabled Connect button", lambda: self.enabled_button(connections, "Connect")))
        session = self.wait_for("the session window", lambda: self.window(app, pyatspi.ROLE_FRAME, "Loopback"))
        output = self.wait_for("the Output text object",
                               lambda: self.named(session, pyatspi.ROLE_TERMINAL, "Output"))
        self.wait_for("the session to connect", lambda: self.server.connected.is_set() and self.server.client)
        time.sleep(0.3)
        self.server.send(SERVER_LINE)
        self.wait_for("a text-inserted event from the Output",
                      lambda: any(name == "Output" and SERVER_LINE in str(data) for name, _, data in self.inserted))
        count = output.queryText().characterCount
        last_line = self.line_at(output, count - 1)
        if last_line.rstrip("\r\n") != SERVER_LINE:
            raise Failure("the Output's last line reads %r" % last_line)

        command = self.wait_for("the Input line", lambda: self.named(session, pyatspi.ROLE_TEXT, "Input"))
        self.focus(command)
        # "look" is among the words every session completes.
        pyatspi.Registry.generateKeyboardEvent(0, "lo", pyatspi.KEY_STRING)
        self.wait_for("typed text in the Input line", lambda: self.text_of(command) == "lo", timeout=5)
        pyatspi.Registry.generateKeyboardEvent(0xFF09, None, pyatspi.KEY_SYM)
        self.wait_for("the completed word in the Input line",
                      lambda: self.text_of(command) == "look", timeout=5)
        if not any(name == "Input" and "look" in str(data) for name, _, data in self.inserted):
            raise Failure("the Input line did not announce its completion: %r" % self.inserted[-5:])

        # Return sends the command; Up recalls it, and the recall is announced too.
        pyatspi.Registry.generateKeyboardEvent(0xFF0D, None, pyatspi.KEY_SYM)
        self.wait_for("the command at the server", lambda: "look" in self.server.received())
        # The sent command stays selected: typing replaces it.
        pyatspi.Registry.generateKeyboardEvent(0, "n", pyatspi.KEY_STRING)
        self.wait_for("a new command in the Input line", lambda: self.text_of(command) == "n", timeout=5)
        announced = len(self.inserted)
        pyatspi.Registry.generateKeyboardEvent(0xFF52, None, pyatspi.KEY_SYM)
        self.wait_for("the recalled command in the Input line", lambda: self.text_of(command) == "look", timeout=5)
        self.wait_for("the recall announced",
                      lambda: any(name == "Input" and "look" in str(data)
                                  for name, _, data in self.inserted[announced:]), timeout=5)

    def focus(self, node):
        # Without a window manager nothing activates a window but a click: grab focus first, as a
        # screen reader would, and click into the line when the window is not yet active.
        pyatspi = self.pyatspi
        node.queryComponent().grabFocus()
        try:
            self.wait_for("focus", lambda: node.getState().contains(pyatspi.STATE_FOCUSED), timeout=2)
            return
        except Failure:
            pass
        x, y, width, height = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, "b1c")
        self.wait_for("focus on %r after a click" % node.name,
                      lambda: node.getState().contains(pyatspi.STATE_FOCUSED), timeout=5)

    def select_cell(self, cell):
        try:
            cell.parent.querySelection().selectChild(cell.getIndexInParent())
        except Exception:
            self.press(cell)

    def enabled_button(self, window, name):
        button = self.named(window, self.pyatspi.ROLE_PUSH_BUTTON, name)
        if button is not None and button.getState().contains(self.pyatspi.STATE_ENABLED):
            return button
        return None


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    if os.environ.get("QUARROW_ATSPI_SESSION") != "1":
        # A private session bus of our own, so nothing of the caller's desktop is touched.
        runner = shutil.which("dbus-run-session")
        if runner is None:
            print("FAIL: dbus-run-session is missing (package dbus)")
            return 1
        env = dict(os.environ, QUARROW_ATSPI_SESSION="1")
        try:
            return subprocess.run([runner, "--", sys.executable, os.path.abspath(__file__), sys.argv[1]], env=env,
                                  timeout=TOTAL_BUDGET_S + 20).returncode
        except subprocess.TimeoutExpired:
            print("FAIL: the test overran its time")
            return 1
    return inner_main(os.path.abspath(sys.argv[1]))


if __name__ == "__main__":
    sys.exit(main())
