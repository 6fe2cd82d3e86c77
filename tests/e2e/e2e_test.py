#!/usr/bin/python3
"""The real program as a user's desktop meets it: its window on an X server,
what it says when it cannot start, the toolkit's messages, memory under valgrind, a
native Wayland window, the accessibility tree that screen readers read, the
installed files that menus and software centres read, and the run command
on a fresh tree.

usage: e2e_test.py [--root DIR] [--wrapper COMMAND] [unittest arguments]
  --root     where usr/bin/threebody and usr/share are: "/" for the
             installed package (the default), or a tree `cmake --install` filled
  --wrapper  runs the program under this command too (qemu-user)
"""
import argparse
import datetime
import glob
import gzip
import math
import os
import re
import shlex
import shutil
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ElementTree

import harness
from harness import PLANET1, PLANET2, STAR, TITLE, Session, X11, wait_until

INSTALLATION = None


class OnX11:
    """A test of the program in a real X server, in a session of its own."""

    def setUp(self):
        self.session = self.enterContext(Session(INSTALLATION))

    def start_on_x(self, wrapper=(), seconds=60):
        display = self.session.xvfb()
        x11 = X11(display)
        self.addCleanup(x11.display.close)
        program = self.session.start_program(wrapper=wrapper)
        seconds *= INSTALLATION.patience
        window = x11.find_window(TITLE, seconds, program)
        self.assertTrue(window, f'no window titled "{TITLE}" (exit status '
                        f'{program.poll()}); the program printed:\n{self.session.program_output()}')
        # Its first paint shows the star.
        picture = wait_until(lambda: (p := x11.picture(window)).pixels_of(STAR) and p, seconds, step=0.2)
        self.assertTrue(picture, "no star on screen")
        return x11, program, window, picture

    def close(self, x11, program, window, seconds=20):
        x11.request_close(window)
        try:
            self.assertEqual(program.wait(seconds * INSTALLATION.patience), 0)
        except subprocess.TimeoutExpired:
            self.fail("the program did not end after the close request")


class Window(OnX11, unittest.TestCase):
    def test_shows_the_start_up_trajectory_tied_to_its_launcher_and_closes_cleanly(self):
        x11, program, window, picture = self.start_on_x()
        # An icon for docks and task switchers, and the class that the desktop entry names.
        self.assertGreaterEqual(x11.largest_icon_side(window), 16, "the window has no icon")
        wm_class = INSTALLATION.entry_value("StartupWMClass")
        self.assertTrue(wm_class)
        self.assertEqual((window.get_wm_class() or [None, None])[1], wm_class)

        star = picture.pixels_of(STAR)
        cx, cy = sum(x for x, _ in star) / len(star), sum(y for _, y in star) / len(star)
        # The view's origin (400, 400) lies a layout margin in from the window's corner.
        self.assertAlmostEqual(cx, 400, delta=25)
        self.assertAlmostEqual(cy, 400, delta=25)
        self.assertLessEqual(len(star), 64, "the star barely moves")
        for colour, radius in ((PLANET1, 150), (PLANET2, 300)):
            dots = picture.pixels_of(colour)
            self.assertGreater(len(dots), 300)
            for x, y in dots:
                self.assertAlmostEqual(math.hypot(x - cx, y - cy), radius, delta=5, msg=f"dot at {x},{y}")
        # Planet 1's dots go all the way round: every quadrant has some.
        quadrants = [0] * 4
        for x, y in picture.pixels_of(PLANET1):
            quadrants[(x > cx) + 2 * (y > cy)] += 1
        self.assertTrue(all(q > 20 for q in quadrants), quadrants)
        self.close(x11, program, window)

    def test_a_start_that_fails_says_why(self):
        display = self.session.xvfb()  # reachable, for the rows that do not unset it
        refusing = self.session.xvfb(private=True)
        xcb, wayland = self.platform_plugins()
        compositor = None
        if wayland and shutil.which("weston"):  # running, but not to be found without XDG_RUNTIME_DIR
            self.session.weston()
            compositor = self.session.env.pop("WAYLAND_DISPLAY")
            self.session.env.pop("XDG_SESSION_TYPE")
        broken = self.session.make("broken-plugins")
        os.makedirs(os.path.join(broken, "platforms"))
        with open(xcb, "rb") as plugin, open(os.path.join(broken, "platforms", os.path.basename(xcb)), "wb") as copy:
            # The same plugin, but needing a library that no system has.
            copy.write(plugin.read().replace(b"libQt6XcbQpa.so.6", b"libQt6XcbQpa.so.0"))
        ours, toolkit = "threebody: cannot open a display", "This application failed to start"
        program = INSTALLATION.program
        no_wayland = ['Could not find the Qt platform plugin "wayland"', toolkit]
        # name, arguments, environment (None unsets), words that must be printed, words that must not
        for name, args, env, must, must_not in (
                ("no display variables", [], {"DISPLAY": None},
                 [ours + ": neither DISPLAY nor WAYLAND_DISPLAY is set", f"xvfb-run {program} (or {program} -"],
                 [toolkit]),
                ("an X11 display where nothing listens", [], {"DISPLAY": ":4999"},
                 [ours + ": the X11 display :4999 cannot be reached", "xvfb-run"], [toolkit]),
                # As under sudo: the user's display, but not the user's authority file.
                ("an X11 server that refuses the program", [], {"DISPLAY": refusing, "XAUTHORITY": "/nonexistent"},
                 ["Authorization required", ours + f": the X11 display {refusing} refused the connection", "XAUTHORITY"],
                 ["cannot be reached", "xvfb-run", toolkit]),
                ("an unknown platform: the toolkit's warning, then its fatal message", ["-platform", "nosuch"], {},
                 ['qt.qpa.plugin: Could not find the Qt platform plugin "nosuch"', toolkit, "Available platform plugins"],
                 [ours]),
                ("Wayland without a compositor", ["-platform", "wayland"], {"WAYLAND_DISPLAY": "threebody-none"},
                 [ours + ": the Wayland display threebody-none cannot be reached", f"{program} -platform xcb"]
                 if wayland else no_wayland, ["xvfb-run"] + ([toolkit] if wayland else [ours])),
                ("a compositor, but no XDG_RUNTIME_DIR to find it by", ["-platform", "wayland"],
                 {"WAYLAND_DISPLAY": compositor or "wayland-0", "XDG_RUNTIME_DIR": None},
                 ["XDG_RUNTIME_DIR is invalid or not set", ours + ": XDG_RUNTIME_DIR, where the Wayland display"]
                 if wayland else no_wayland, ["cannot be reached", "start a Wayland compositor", toolkit] if wayland
                 else [ours]),
                # The toolkit aborts right after the first warning; a UTF-8 locale, so that it is the display's.
                ("QT_FATAL_WARNINGS without a display", [], {"DISPLAY": None, "QT_FATAL_WARNINGS": "1", "LC_ALL": "C.UTF-8"},
                 [ours + ": neither DISPLAY nor WAYLAND_DISPLAY is set"], [toolkit]),
                ("a platform plugin that cannot load", [], {"QT_PLUGIN_PATH": broken},
                 ['Could not load the Qt platform plugin "xcb"', toolkit,
                  "libQt6XcbQpa.so.0: cannot open shared object file"], [ours])):
            with self.subTest(name):
                started = self.session.start_program(args=args, env=env, stderr=subprocess.PIPE)
                try:
                    output = started.communicate(timeout=60 * INSTALLATION.patience)[1].decode(errors="replace")
                except subprocess.TimeoutExpired:
                    self.fail(f"the program did not end: it started on {display}, or hangs")
                self.assertEqual(started.returncode, 1, output)  # not the abort of a fatal message
                for words in must:
                    self.assertIn(words, output)
                for words in must_not:
                    self.assertNotIn(words, output)
                if any(words.startswith(ours) for words in must):  # our one line instead of the toolkit's
                    lines = [line for line in output.splitlines() if line.strip()]
                    self.assertEqual([line for line in lines if line.startswith(ours)], lines[-1:], output)
                    # Above it only what a library printed itself, which the row names.
                    self.assertEqual([line for line in lines[:-1] if not any(words in line for words in must)], [],
                                     output)

    def platform_plugins(self):
        """The toolkit's xcb plugin for the program's processor, and whether a
        Wayland plugin lies beside it (qt6-wayland is only recommended)."""
        def machine(path):  # ELF's e_machine
            with open(path, "rb") as f:
                return f.read(20)[18:]
        xcb = [p for p in glob.glob("/usr/lib/*/qt6/plugins/platforms/libqxcb.so")
               if machine(p) == machine(INSTALLATION.program)]
        self.assertEqual(len(xcb), 1, "the toolkit's xcb plugin")
        return xcb[0], bool(glob.glob(os.path.join(os.path.dirname(xcb[0]), "libqwayland*.so")))

    def test_toolkit_messages_keep_their_type_and_flow_after_start_up(self):
        # Start-up's messages are held back only so that a failed start can
        # say why: once started they are passed on as they were, and later
        # ones (the painting category) flow as usual. The library loader's
        # debug messages, switched on to learn why a plugin fails, show only
        # where the user asked for them.
        library = "debug qt.core.library: "
        for name, env, must, must_not in (
                ("as started", {}, [], [library]),
                ("QT_DEBUG_PLUGINS", {"QT_DEBUG_PLUGINS": "1"}, [library], []),
                ("the library category asked for", {"QT_LOGGING_RULES": "qt.widgets.painting=true;qt.core.library=true"},
                 [library], [])):
            with self.subTest(name):
                program = self.session.start_program(
                    args=["-style", "nosuchstyle"], stderr=subprocess.PIPE,
                    env=dict({"QT_QPA_PLATFORM": "offscreen", "QT_MESSAGE_PATTERN": "%{type} %{category}: %{message}",
                              "QT_LOGGING_RULES": "qt.widgets.painting=true"}, **env))
                later = "qt.widgets.painting: "
                output = harness.read_until(program.stderr, lambda text: later in text.partition("nosuchstyle")[2],
                                            60 * INSTALLATION.patience)
                program.kill()
                program.wait()
                self.assertRegex(output, r"(?m)^warning .*invalid style override 'nosuchstyle'")
                self.assertIn(later, output.partition("nosuchstyle")[2], "messages after start-up are swallowed")
                for words in must:  # the platform plugin's, loaded while the toolkit started
                    self.assertRegex(output.partition("nosuchstyle")[0], f"(?m)^{words}.*libqoffscreen")
                for words in must_not:
                    self.assertNotIn(words, output)


class Memcheck(OnX11, unittest.TestCase):
    """Starting, painting and closing, under valgrind's memcheck."""

    def test_start_and_close_lose_nothing_of_ours(self):
        log = os.path.join(self.session.folder, "memcheck.log")
        x11, program, window, _ = self.start_on_x(
            wrapper=["valgrind", "--tool=memcheck", "--leak-check=full", "--show-leak-kinds=definite",
                     "--num-callers=30", "--log-file=" + log], seconds=300)
        self.close(x11, program, window, seconds=300)
        with open(log) as f:
            report = f.read()
        self.assertIn("HEAP SUMMARY", report)
        self.assertEqual(harness.memcheck_errors_of_ours(report), [])


class Wayland(unittest.TestCase):
    """A Wayland session: WAYLAND_DISPLAY and no DISPLAY, as GNOME and KDE set them."""

    def test_native_window_with_its_app_id_and_the_orbits(self):
        session = self.enterContext(Session(INSTALLATION))
        session.weston()
        protocol = os.path.join(session.folder, "protocol.log")
        with open(protocol, "w") as log:
            # WAYLAND_DEBUG: the client logs every request it sends the compositor.
            program = session.start_program(env={"WAYLAND_DEBUG": "1"}, stdout=log, stderr=subprocess.STDOUT)

        def requests():
            with open(protocol, errors="replace") as f:
                text = f.read()
            # "xdg_toplevel@15.set_title(...)"; newer libwayland writes "#15".
            return (re.findall(r'xdg_toplevel[@#]\d+\.set_title\("([^"]*)"\)', text),
                    re.findall(r'xdg_toplevel[@#]\d+\.set_app_id\("([^"]*)"\)', text))

        titles, app_ids = wait_until(lambda: all(requests()) and requests(), 60) or requests()
        self.assertIn(TITLE, titles, "no native Wayland window with the program's title")
        # Docks find the launcher, and its icon, by the app id: the desktop entry's name.
        self.assertEqual(app_ids[-1], harness.APP_ID)

        def star_on_screen():
            shot = session.wayland_screenshot()
            return shot if shot and shot.plot_box() and shot.pixels_of(STAR, shot.plot_box()) else None

        # Where the orbits lie is the X11 test's to check; here, that they are drawn.
        shot = wait_until(star_on_screen, 60, step=0.5)
        self.assertTrue(shot, "no star on the screen")
        for colour in (PLANET1, PLANET2):
            self.assertGreater(len(shot.pixels_of(colour, shot.plot_box())), 300)
        self.assertIsNone(program.poll(), "the program ended by itself")


class ScreenReader(unittest.TestCase):
    """The accessibility tree as a screen reader gets it, over a real AT-SPI bus."""

    def test_every_control_announces_what_it_is(self):
        import pyatspi

        session = self.enterContext(Session(INSTALLATION))
        x11 = X11(session.xvfb())
        self.addCleanup(x11.display.close)
        session.accessibility_bus()
        session.start_program(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def window():
            for app in pyatspi.Registry.getDesktop(0):
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
        for label, text in harness.START_UP_FORM.items():
            self.assertIn(label, fields)
            self.assertEqual(labels(fields[label]), [label])
            self.assertEqual(fields[label].queryText().getText(0, -1), text, label)
        # The combo box is called by the scheme it shows, and labelled "Solver".
        self.assertEqual([labels(node) for node in controls(pyatspi.ROLE_COMBO_BOX).values()], [["Solver"]])

        # The zoom buttons, found and pressed by what they are called.
        buttons = controls(pyatspi.ROLE_PUSH_BUTTON)
        self.assertIn("update", buttons)

        def planet1_width():
            picture = x11.picture()
            xs = [x for x, _ in picture.pixels_of(PLANET1, picture.plot_box())]
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
        for words in ("star in red", "planet 1 in green", "planet 2 in blue", "100 samples"):
            self.assertIn(words, plot[0].description)

        # A run is on screen once "update" is pressed: a run of 3 samples leaves few of the 100 dots.
        dots = len(x11.picture().pixels_of(PLANET1))
        fields["Nstep :"].queryEditableText().setTextContents("20002")
        buttons["update"].queryAction().doAction(0)
        self.assertTrue(wait_until(lambda: len(x11.picture().pixels_of(PLANET1)) < dots / 10, 10, step=0.2),
                        f"planet 1 still shows its {dots} pixels after a run of 3 samples")


class RunCommand(unittest.TestCase):
    """The README's first command, in a copy of the source tree as a fresh
    clone has it: it installs what is missing, builds, says what it did, and
    opens the window with its icon."""

    def test_builds_and_opens_the_window(self):
        session = self.enterContext(Session(INSTALLATION))
        source = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
        clone = session.make("clone")
        listed = subprocess.run(["git", "-C", source, "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                                capture_output=True, check=True).stdout
        for name in filter(None, listed.decode().split("\0")):
            if os.path.isfile(os.path.join(source, name)):
                os.makedirs(os.path.dirname(os.path.join(clone, name)), exist_ok=True)
                shutil.copy2(os.path.join(source, name), os.path.join(clone, name))
        x11 = X11(session.xvfb())
        self.addCleanup(x11.display.close)
        with open(session.program_log, "w") as log:
            program = session.start([os.path.join(clone, "scripts", "run.sh")], stdout=log, stderr=subprocess.STDOUT)
        window = x11.find_window(TITLE, 900, program)
        self.assertTrue(window, f"no window (exit status {program.poll()}); it printed:\n{session.program_output()}")
        self.assertGreaterEqual(x11.largest_icon_side(window), 16, "the window has no icon")
        said = session.program_output()
        self.assertRegex(said, r"(?m)^run\.sh: installed \d+ packages")
        self.assertIn("run.sh: starting build/release/threebody", said)
        x11.request_close(window)
        self.assertEqual(program.wait(20), 0)


class InstalledFiles(unittest.TestCase):
    """What menus, docks and software centres read: valid, and pointing at
    files that are installed."""

    def test_menus_find_a_valid_launcher_of_installed_files(self):
        entry, metainfo = INSTALLATION.desktop_entry, INSTALLATION.metainfo
        subprocess.run(["desktop-file-validate", entry], check=True)
        subprocess.run(["appstreamcli", "validate", "--no-net", metainfo], check=True)

        program = INSTALLATION.path("bin", shlex.split(INSTALLATION.entry_value("Exec"))[0])
        self.assertTrue(os.access(program, os.X_OK), program)
        icon = INSTALLATION.entry_value("Icon")
        icons = glob.glob(INSTALLATION.path("share", "icons", "hicolor", "*", "apps", icon + ".*"))
        self.assertTrue(icons, f"Icon={icon} is not installed")

        component = ElementTree.parse(metainfo).getroot()
        self.assertEqual(component.findtext("id"), harness.APP_ID)
        launchable = component.findtext("launchable[@type='desktop-id']")
        self.assertTrue(os.path.exists(INSTALLATION.path("share", "applications", launchable)),
                        f"the metadata launches {launchable}, which is not installed")
        self.assertTrue(os.access(INSTALLATION.path("bin", component.findtext("provides/binary")), os.X_OK))

        # What a menu reads beyond validity: a launcher shown, in its
        # categories, that starts the program without a terminal (the Window
        # test matches StartupWMClass to the window).
        keys = {key: INSTALLATION.entry_value(key) for key in ("Terminal", "NoDisplay", "Hidden", "Categories")}
        self.assertEqual(keys["Terminal"], "false")
        self.assertIn(keys["NoDisplay"], (None, "false"))
        self.assertIn(keys["Hidden"], (None, "false"))
        self.assertTrue({"Education", "Science"} <= set(keys["Categories"].split(";")), keys["Categories"])

    def test_manual_page_names_the_newest_release(self):
        newest = ElementTree.parse(INSTALLATION.metainfo).getroot().find("releases/release")
        version, date = newest.get("version"), datetime.date.fromisoformat(newest.get("date"))
        pages = glob.glob(INSTALLATION.path("share", "man", "man1", "threebody.1*"))
        self.assertTrue(pages, "no manual page")
        opener = gzip.open if pages[0].endswith(".gz") else open
        with opener(pages[0], "rt") as page:
            heading = page.readline()
        self.assertEqual(shlex.split(heading)[3:5], [date.strftime("%B %Y"), "threebody " + version])


if __name__ == "__main__":
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("--root", default="/")
    parser.add_argument("--wrapper", default="")
    options, rest = parser.parse_known_args()
    INSTALLATION = harness.Installation(options.root, shlex.split(options.wrapper))
    unittest.main(argv=sys.argv[:1] + rest, verbosity=2)
