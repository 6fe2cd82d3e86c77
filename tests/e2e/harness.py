"""What every end-to-end test of the real program uses: a display (Xvfb, or a
headless Weston for Wayland), a session bus with the accessibility bus, the
program itself (plainly, or under valgrind or qemu-user), its window, read
through X11, and what the tests compare against.

Every process is started through a Session and stopped by it, once:
subprocess.Popen reaps a child in wait() or poll() and signals none that it
has reaped, and a Session signals only the children it started itself.
"""
import contextlib
import os
import select
import shutil
import subprocess
import tempfile
import time

# What the program shows, and how the desktop knows it.
TITLE = "3 Body Problem Application"
APP_ID = "org.threebody.Simulator"  # the desktop entry's name, the Wayland app id
BACKGROUND = (250, 250, 200)
STAR, PLANET1, PLANET2 = (250, 50, 50), (50, 250, 50), (50, 50, 250)
# Each field as the form shows it after the start-up run.
START_UP_FORM = {"Nstep :": "1000000", "xp3 :": "1.99848", "Factor :": "1", "Star :": "2.60849e-13",
                 "Planet1 :": "2.89159e-07", "Planet2 :": "1.67341e-08", "Total :": "3.2976e-07"}


def wait_until(predicate, seconds, step=0.1):
    """The predicate's first true value within the time, else its last."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


class Installation:
    """Where the program and its desktop files are: an installed system
    (root "/") or a tree that `cmake --install` filled."""

    def __init__(self, root, wrapper=()):
        self.root = root
        self.wrapper = list(wrapper)  # e.g. ["qemu-aarch64"]
        self.system = os.path.realpath(root) == "/"
        # Under emulation everything takes longer: waits are this many times longer.
        self.patience = 5 if self.wrapper else 1
        self.program = self.path("bin", "threebody")
        self.desktop_entry = self.path("share", "applications", APP_ID + ".desktop")
        self.metainfo = self.path("share", "metainfo", APP_ID + ".metainfo.xml")

    def path(self, *parts):
        return os.path.join(self.root, "usr", *parts)

    def entry_value(self, key):
        with open(self.desktop_entry) as entry:
            for line in entry:
                if line.startswith(key + "="):
                    return line[len(key) + 1:].strip()
        return None


class Session(contextlib.ExitStack):
    """A private home and runtime folder, and every process a test starts;
    all stopped, newest first, when the session ends."""

    def __init__(self, installation):
        super().__init__()
        self.installation = installation
        self.folder = tempfile.mkdtemp(prefix="threebody-e2e-")
        os.chmod(self.folder, 0o700)
        self.callback(shutil.rmtree, self.folder, True)
        self.program_log = os.path.join(self.folder, "program.log")
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS",
                                 "XDG_SESSION_TYPE", "QT_LOGGING_RULES", "QT_MESSAGE_PATTERN")}
        for name, sub in (("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_CACHE_HOME", "cache"),
                          ("XDG_DATA_HOME", "data"), ("XDG_RUNTIME_DIR", "runtime")):
            self.env[name] = self.make(sub)
        # Nothing installed on the machine may stand in for the program's own
        # files (its icon); an installed package is tested as installed.
        if not installation.system:
            self.env["XDG_DATA_DIRS"] = self.make("no-data")

    def make(self, name):
        path = os.path.join(self.folder, name)
        os.makedirs(path, mode=0o700, exist_ok=True)
        return path

    def start(self, argv, env=None, **popen):
        process = subprocess.Popen(argv, env=env or self.env, **popen)
        self.callback(self._stop, process)
        return process

    @staticmethod
    def _stop(process):
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        for stream in (process.stdin, process.stdout, process.stderr):
            if stream:
                stream.close()

    def start_program(self, args=(), env=None, wrapper=(), **popen):
        """The program, under the installation's wrapper (qemu-user) and
        `wrapper` (valgrind) if any, in this session's environment with `env`
        over it (None unsets). What it prints goes to program_output() unless
        `popen` says otherwise."""
        argv = list(wrapper) + self.installation.wrapper + [self.installation.program] + list(args)
        if "stderr" not in popen:
            log = open(self.program_log, "w")
            self.callback(log.close)
            popen.update(stdout=log, stderr=subprocess.STDOUT)
        env = {k: v for k, v in dict(self.env, **(env or {})).items() if v is not None}
        return self.start(argv, env=env, **popen)

    def program_output(self):
        if not os.path.exists(self.program_log):
            return ""
        with open(self.program_log, errors="replace") as log:
            return log.read()[-3000:]

    def xvfb(self, private=False):
        """A new X server; its display name goes into the environment. A
        private one admits only clients that hold its cookie, as a desktop's
        server does, and stays out of the environment."""
        access = []
        if private:
            cookie = os.path.join(self.make("xauth"), "Xauthority")
            name = b"MIT-MAGIC-COOKIE-1"
            with open(cookie, "wb") as f:  # one entry for any address and display (FamilyWild)
                f.write(b"\xff\xff\0\0\0\0" + len(name).to_bytes(2, "big") + name + b"\0\x10" + os.urandom(16))
            access = ["-auth", cookie]
        server = self.start(["Xvfb", "-displayfd", "1", "-screen", "0", "1400x1000x24", "-nolisten", "tcp"] + access,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        number = server.stdout.readline().decode().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        if private:
            return ":" + number
        self.env["DISPLAY"] = ":" + number
        return self.env["DISPLAY"]

    def weston(self):
        """A headless Weston; programs become its native Wayland clients."""
        help_text = subprocess.run(["weston", "--help"], capture_output=True, text=True).stdout
        # Weston 12 and later name the renderer; 10 (Debian 12) has only --use-pixman.
        renderer = "--renderer=pixman" if "--renderer" in help_text else "--use-pixman"
        log = open(os.path.join(self.folder, "weston.log"), "w")
        self.callback(log.close)
        # --debug lets weston-screenshooter take the output's picture.
        self.start(["weston", "--backend=headless-backend.so", renderer, "--socket=threebody-test", "--debug",
                    "--width=1400", "--height=1000", "--idle-time=0"], stdout=log, stderr=subprocess.STDOUT)
        socket = os.path.join(self.env["XDG_RUNTIME_DIR"], "threebody-test")
        if not wait_until(lambda: os.path.exists(socket), 30):
            raise RuntimeError("weston did not start")
        self.env.update(WAYLAND_DISPLAY="threebody-test", XDG_SESSION_TYPE="wayland")

    def wayland_screenshot(self):
        """The compositor's output as a Picture, or None."""
        from PIL import Image
        runtime = self.env["XDG_RUNTIME_DIR"]
        before = set(os.listdir(runtime))
        subprocess.run(["weston-screenshooter"], cwd=runtime, env=self.env, capture_output=True, timeout=30)
        new = [f for f in set(os.listdir(runtime)) - before if f.endswith(".png")]
        if not new:
            return None
        with Image.open(os.path.join(runtime, new[0])) as image:
            picture = Picture(image.width, image.height, image.convert("RGB").tobytes())
        os.remove(os.path.join(runtime, new[0]))
        return picture

    def accessibility_bus(self):
        """A session bus with accessibility switched on, as Orca does when
        it starts; pyatspi reads the bus from this process's environment."""
        # The bus finds the launcher's service file in the machine's data folders.
        machine = {k: v for k, v in self.env.items() if k != "XDG_DATA_DIRS"}
        bus = self.start(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env=machine,
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        address = bus.stdout.readline().decode().strip()
        if not address:
            raise RuntimeError("no session bus")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
        # The bus's own launcher (at-spi2-core) starts on this call.
        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                        "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status", "string:IsEnabled",
                        "variant:boolean:true"], env=dict(machine, DBUS_SESSION_BUS_ADDRESS=address), check=True,
                       capture_output=True, timeout=30)


def read_until(stream, done, seconds):
    """What arrives on a pipe until done(text) holds, the writer closes it,
    or the time is up."""
    text = b""
    deadline = time.monotonic() + seconds
    while not done(text.decode(errors="replace")) and time.monotonic() < deadline:
        if select.select([stream], [], [], 0.1)[0]:
            chunk = os.read(stream.fileno(), 4096)
            if not chunk:
                break
            text += chunk
    return text.decode(errors="replace")


class Picture:
    """Pixels as RGB bytes, row by row."""

    def __init__(self, width, height, rgb):
        assert len(rgb) == width * height * 3
        self.width, self.height, self.rgb = width, height, rgb

    def pixels_of(self, colour, within=None):
        """(x, y) of every pixel of exactly this colour, or of those in the
        box (left, top, right, bottom)."""
        wanted = bytes(colour)
        found = []
        at = self.rgb.find(wanted)
        while at != -1:
            if at % 3 == 0:
                x, y = (at // 3) % self.width, (at // 3) // self.width
                if not within or (within[0] <= x <= within[2] and within[1] <= y <= within[3]):
                    found.append((x, y))
            at = self.rgb.find(wanted, at + 1)
        return found

    def plot_box(self):
        """The plot: the rows and columns that its background fills for at
        least half its width (the icon shares the plot's colours)."""
        rows, columns = {}, {}
        for x, y in self.pixels_of(BACKGROUND):
            rows[y] = rows.get(y, 0) + 1
            columns[x] = columns.get(x, 0) + 1
        ys = [y for y, n in rows.items() if n >= 400]
        xs = [x for x, n in columns.items() if n >= 400]
        return (min(xs), min(ys), max(xs), max(ys)) if xs and ys else None


class X11:
    """A window on an X server, as a window manager and a dock see it."""

    def __init__(self, display):
        from Xlib import display as xdisplay
        self.display = wait_until(lambda: self._open(xdisplay, display), 10)
        if not self.display:
            raise RuntimeError(f"cannot open X display {display}")

    @staticmethod
    def _open(xdisplay, name):
        try:
            return xdisplay.Display(name)
        except Exception:
            return None

    def atom(self, name):
        return self.display.intern_atom(name)

    def find_window(self, title, seconds, program):
        """The mapped window with this title, once there is one; None as
        soon as the program has ended."""
        from Xlib import X

        def search(window):
            try:
                if window.get_wm_name() == title and window.get_attributes().map_state == X.IsViewable:
                    return window
                children = window.query_tree().children
            except Exception:  # gone meanwhile
                return None
            for child in children:
                found = search(child)
                if found:
                    return found
            return None
        found = wait_until(lambda: search(self.display.screen().root) or program.poll() is not None,
                           seconds, step=0.2)
        return None if isinstance(found, bool) else found

    def largest_icon_side(self, window):
        """The largest image in _NET_WM_ICON (width, height, then pixels,
        for each image), or 0."""
        from Xlib import X
        prop = window.get_full_property(self.atom("_NET_WM_ICON"), X.AnyPropertyType)
        words, largest, i = list(prop.value) if prop else [], 0, 0
        while i + 2 <= len(words):
            width, height = words[i], words[i + 1]
            if not width or not height or i + 2 + width * height > len(words):
                break
            largest = max(largest, min(width, height))
            i += 2 + width * height
        return largest

    def picture(self, window=None):
        from Xlib import X
        window = window or self.display.screen().root
        geometry = window.get_geometry()
        image = window.get_image(0, 0, geometry.width, geometry.height, X.ZPixmap, 0xFFFFFFFF)
        # 24-bit colour comes as 32-bit pixels, blue first.
        bgrx = image.data
        rgb = bytearray(geometry.width * geometry.height * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = bgrx[2::4], bgrx[1::4], bgrx[0::4]
        return Picture(geometry.width, geometry.height, bytes(rgb))

    def request_close(self, window):
        """What a window manager sends when the user closes the window."""
        from Xlib import X
        from Xlib.protocol import event
        message = event.ClientMessage(window=window, client_type=self.atom("WM_PROTOCOLS"),
                                      data=(32, [self.atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        window.send_event(message, event_mask=X.NoEventMask)
        self.display.flush()


def memcheck_errors_of_ours(report):
    """valgrind's records of a leak allocated, or an invalid access made,
    directly in our own functions."""
    ours = ("CCalcEngine", "CThreeBody", "CDrawField", "CCalcParPanel", "CalcWindow", "threebody::", ": main (")
    found = []
    for record in report.split(" \n"):
        if "definitely lost" not in record and "Invalid " not in record and "uninitialised" not in record:
            continue
        frames = [line for line in record.splitlines() if " at 0x" in line or " by 0x" in line]
        frames = [f for f in frames
                  if not any(a in f for a in ("vg_replace", "operator new", "alloc ("))]
        if frames and any(name in frames[0] for name in ours):
            found.append(record)
    return found
