#!/usr/bin/env python3
"""The real program as a native Wayland client of a headless Weston, and
read and driven through the accessibility bus (AT-SPI) as Orca and every
Linux screen reader read and drive it.

usage: e2e_desktop_test.py PATH-TO-threebody PATH-TO-DESKTOP-ENTRY
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

PROGRAM = ""
DESKTOP_ENTRY = ""
TITLE = "3 Body Problem Application"
BACKGROUND = (250, 250, 200)
STAR, PLANET1, PLANET2 = (250, 50, 50), (50, 250, 50), (50, 50, 250)


def wait_until(predicate, seconds, step=0.1):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def clean_environment(**extra):
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS")}
    env.update(extra)
    return env


def pixels_of(png, colour, within=None):
    """The (x, y) of every pixel of exactly this colour in a PNG, or only of
    those within the box (left, top, right, bottom)."""
    size = subprocess.run(["identify", "-format", "%w %h", png], capture_output=True, text=True,
                          check=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    raw = subprocess.run(["convert", png, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
    wanted = bytes(colour)
    found = []
    at = raw.find(wanted)
    while at != -1:
        if at % 3 == 0:
            found.append(((at // 3) % width, (at // 3) // width))
        at = raw.find(wanted, at + 1)
    assert len(raw) == width * height * 3
    if within:
        left, top, right, bottom = within
        found = [(x, y) for x, y in found if left <= x <= right and top <= y <= bottom]
    return found


def plot_box(png):
    """The plot's box: the rows and columns that its background colour fills
    for at least half its width (the icon shares the plot's colours)."""
    background = pixels_of(png, BACKGROUND)
    rows, columns = {}, {}
    for x, y in background:
        rows[y] = rows.get(y, 0) + 1
        columns[x] = columns.get(x, 0) + 1
    ys = [y for y, n in rows.items() if n >= 400]
    xs = [x for x, n in columns.items() if n >= 400]
    return (min(xs), min(ys), max(xs), max(ys)) if xs and ys else None


class Wayland(unittest.TestCase):
    """A Wayland session: WAYLAND_DISPLAY and no DISPLAY, as GNOME and KDE set them."""

    def setUp(self):
        self.runtime = tempfile.mkdtemp(prefix="threebody-wayland-")
        os.chmod(self.runtime, 0o700)
        self.addCleanup(shutil.rmtree, self.runtime, True)
        help_text = subprocess.run(["weston", "--help"], capture_output=True, text=True).stdout
        # Weston 12 and later name the renderer; 10 (Debian 12) has only --use-pixman.
        renderer = "--renderer=pixman" if "--renderer" in help_text else "--use-pixman"
        self.weston_log = open(os.path.join(self.runtime, "weston.log"), "w")
        self.addCleanup(self.weston_log.close)
        # --debug lets weston-screenshooter take the output's picture.
        self.weston = subprocess.Popen(
            ["weston", "--backend=headless-backend.so", renderer, "--socket=threebody-test", "--debug",
             "--width=1400", "--height=1000", "--idle-time=0"],
            env=clean_environment(XDG_RUNTIME_DIR=self.runtime), stdout=self.weston_log, stderr=subprocess.STDOUT)
        self.addCleanup(stop, self.weston)
        socket = os.path.join(self.runtime, "threebody-test")
        self.assertTrue(wait_until(lambda: os.path.exists(socket), 30), "weston did not start")
        self.session = clean_environment(XDG_RUNTIME_DIR=self.runtime, WAYLAND_DISPLAY="threebody-test",
                                         XDG_SESSION_TYPE="wayland")

    def screenshot(self):
        before = set(os.listdir(self.runtime))
        subprocess.run(["weston-screenshooter"], cwd=self.runtime, env=self.session, capture_output=True, timeout=30)
        new = [f for f in set(os.listdir(self.runtime)) - before if f.endswith(".png")]
        return os.path.join(self.runtime, new[0]) if new else None

    def test_native_window_with_its_app_id_and_the_orbits(self):
        protocol = os.path.join(self.runtime, "protocol.log")
        with open(protocol, "w") as log:
            # WAYLAND_DEBUG: the client logs every request it sends the compositor.
            # The painting category: toolkit messages that come after start-up.
            program = subprocess.Popen([PROGRAM], env=dict(self.session, WAYLAND_DEBUG="1",
                                                           QT_LOGGING_RULES="qt.widgets.painting=true"),
                                       stdout=log, stderr=subprocess.STDOUT)
        self.addCleanup(stop, program)

        def requests():
            with open(protocol, errors="replace") as f:
                text = f.read()
            # "xdg_toplevel@15.set_title(...)"; newer libwayland writes "#15".
            return (re.findall(r'xdg_toplevel[@#]\d+\.set_title\("([^"]*)"\)', text),
                    re.findall(r'xdg_toplevel[@#]\d+\.set_app_id\("([^"]*)"\)', text))

        titles, app_ids = wait_until(lambda: all(requests()) and requests(), 60) or requests()
        self.assertIn(TITLE, titles, "no native Wayland window with the program's title")
        # Docks find the launcher, and its icon, by the app id: the desktop entry's name.
        entry_id = os.path.basename(DESKTOP_ENTRY)[: -len(".desktop")]
        self.assertEqual(app_ids[-1], entry_id)

        def star_on_screen():
            shot = self.screenshot()
            return shot if shot and plot_box(shot) and pixels_of(shot, STAR, plot_box(shot)) else None

        # Where the orbits lie is the X11 window test's to check; here, that they are drawn.
        shot = wait_until(star_on_screen, 60, step=0.5)
        self.assertTrue(shot, "no star on the screen")
        for colour in (PLANET1, PLANET2):
            self.assertGreater(len(pixels_of(shot, colour, plot_box(shot))), 300)
        self.assertIsNone(program.poll(), "the program ended by itself")
        # The toolkit's messages reach stderr again once start-up is over.
        with open(protocol, errors="replace") as f:
            self.assertTrue("qt.widgets.painting" in f.read(), "toolkit messages after start-up are swallowed")


class ScreenReader(unittest.TestCase):
    """The accessibility tree as a screen reader gets it, over a real AT-SPI bus."""

    def setUp(self):
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1400x1000x24", "-nolisten", "tcp"],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.addCleanup(stop, xvfb)
        self.addCleanup(xvfb.stdout.close)
        display = ":" + xvfb.stdout.readline().decode().strip()
        self.display = display
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.addCleanup(stop, bus)
        self.addCleanup(bus.stdout.close)
        address = bus.stdout.readline().decode().strip()
        self.assertTrue(address, "no session bus")
        self.env = clean_environment(DISPLAY=display, DBUS_SESSION_BUS_ADDRESS=address)
        self.runtime = tempfile.mkdtemp(prefix="threebody-a11y-")
        self.addCleanup(shutil.rmtree, self.runtime, True)
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = address  # pyatspi finds the bus here
        # What Orca does when it starts: switch accessibility on for the session.
        # The bus's own launcher (at-spi2-core) starts on this call.
        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                        "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status", "string:IsEnabled",
                        "variant:boolean:true"], env=self.env, check=True, capture_output=True, timeout=30)

    def test_every_control_announces_what_it_is(self):
        import pyatspi

        program = subprocess.Popen([PROGRAM], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(stop, program)

        def window():
            desktop = pyatspi.Registry.getDesktop(0)
            for app in desktop:
                if app is not None and app.name == "threebody":
                    for frame in app:
                        if frame is not None and frame.name == TITLE:
                            return frame
            return None

        frame = wait_until(window, 60, step=0.5)
        self.assertIsNotNone(frame, "the program's window is not on the accessibility bus")

        def nodes(node):
            yield node
            for child in node:
                if child is not None:
                    yield from nodes(child)

        def labels(node):
            return [target.name for relation in node.getRelationSet()
                    if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
                    for target in (relation.getTarget(i) for i in range(relation.getNTargets()))]

        focusable = [node for node in nodes(frame) if node.getState().contains(pyatspi.STATE_FOCUSABLE)]
        unnamed = [node.getRoleName() for node in focusable if not (node.name or labels(node))]
        self.assertEqual(unnamed, [], "focusable controls that a screen reader cannot name")

        def controls(role):
            return {node.name: node for node in focusable if node.getRole() == role}

        # Each field announced by its own row's label, and holding that row's value.
        fields = controls(pyatspi.ROLE_TEXT)
        for label, text in (("Nstep :", "1000000"), ("xp3 :", "1.99848"), ("Factor :", "1"),
                            ("Star :", "2.60849e-13"), ("Planet1 :", "2.89159e-07"),
                            ("Planet2 :", "1.67341e-08"), ("Total :", "3.2976e-07")):
            self.assertIn(label, fields)
            self.assertEqual(labels(fields[label]), [label])
            self.assertEqual(fields[label].queryText().getText(0, -1), text, label)
        # The combo box is called by the scheme it shows, and labelled "Solver".
        self.assertEqual([labels(node) for node in controls(pyatspi.ROLE_COMBO_BOX).values()], [["Solver"]])

        # The zoom buttons, found and pressed by what they are called.
        buttons = controls(pyatspi.ROLE_PUSH_BUTTON)
        self.assertIn("update", buttons)

        def planet1_width():
            shot = os.path.join(self.runtime, "shot.png")
            subprocess.run(["import", "-display", self.display, "-window", "root", shot], check=True,
                           capture_output=True, timeout=30)
            xs = [x for x, _ in pixels_of(shot, PLANET1, plot_box(shot))]
            return max(xs) - min(xs) if xs else 0

        width = wait_until(planet1_width, 30, step=0.5)
        for name, grows in (("Zoom in", True), ("Zoom out", False)):
            self.assertIn(name, buttons)
            buttons[name].queryAction().doAction(0)
            now = wait_until(lambda: (w := planet1_width()) != width and w, 10, step=0.2)
            self.assertEqual(now > width, grows, f"{name}: planet 1's orbit went from {width} to {now} pixels")
            width = now

        plot = [n for n in nodes(frame) if n.name == "Trajectory plot"]
        self.assertEqual(len(plot), 1, "the plot has no name")
        description = plot[0].description
        for words in ("star in red", "planet 1 in green", "planet 2 in blue", "100 samples"):
            self.assertIn(words, description)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    PROGRAM, DESKTOP_ENTRY = os.path.abspath(sys.argv[1]), sys.argv[2]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2, warnings="ignore")
