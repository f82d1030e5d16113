"""A private X server with the tool running in it, driven through the X server's input
(xdotool) as a person would: clicks at the controls' places, typed keys, the clipboard read by
another client (xclip).

No window manager runs, so a window's frame is its client area, a window stands where the
program puts it, and closing is asked for with the same WM_DELETE_WINDOW message a title bar's
close button sends."""

import os
import select
import shutil
import subprocess
import time

import xwin

# Where each control stands in the main window's client area, in twips (left, top, width, height).
CONTROLS_TWIPS = {
    "Combo2": (1440, 120, 735, 345),
    "Combo5": (3600, 120, 735, 345),
    "Combo6": (3600, 540, 735, 345),
    "Combo1": (1440, 960, 1935, 345),
    "Check2": (3480, 960, 855, 315),
    "Combo3": (1440, 1380, 2895, 345),
    "Check1": (1440, 1800, 1575, 315),
    "Command1": (120, 1860, 1155, 615),
    "Command2": (3180, 1860, 1155, 615),
    "TextAA": (120, 2580, 4215, 1695),
    "Label2": (4440, 120, 135, 4215),
    "Combo4": (5700, 120, 2895, 345),
    "Command4": (4740, 1860, 1155, 615),
    "Command3": (7740, 1860, 1155, 615),
    "TextAA2": (4680, 2580, 4215, 1695),
}
TWIPS_PER_PIXEL = 15

MAIN_TITLE = "ＫＯＲＯＮ ＡＡ作成  Ver.1.4.1"
ABOUT_TITLE = "おまけ"
LIBRARY_TITLE = "ＡＡ庫"

REQUIRED_TOOLS = ("Xvfb", "xdotool", "xclip")


class Failure(Exception):
    pass


def missing_tools():
    return [t for t in REQUIRED_TOOLS if shutil.which(t) is None]


def wait_until(what, predicate, timeout, interval=0.05):
    """Polls predicate until it returns something true; raises Failure naming `what` otherwise."""
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


class XServer:
    """Xvfb on a display number it picks itself, so that parallel runs never collide."""

    def __init__(self, workdir, width=1280, height=1024):
        read_end, write_end = os.pipe()
        self._log = open(os.path.join(workdir, "xvfb.log"), "wb")
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-dpi", "96", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=self._log,
            stderr=subprocess.STDOUT)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 30
        try:
            while not number.endswith(b"\n"):
                ready, _, _ = select.select([read_end], [], [], max(0, deadline - time.monotonic()))
                chunk = os.read(read_end, 16) if ready else b""
                if not chunk:
                    self.stop()
                    raise Failure("Xvfb did not report a display number")
                number += chunk
        finally:
            os.close(read_end)
        self.display = ":" + number.decode().strip()
        self.x = xwin.Display(self.display)

    def env(self):
        env = dict(os.environ)
        for name in ("WAYLAND_DISPLAY", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                     "QT_FONT_DPI", "QT_AUTO_SCREEN_SCALE_FACTOR", "QT_ENABLE_HIGHDPI_SCALING",
                     "QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE"):
            env.pop(name, None)
        env["DISPLAY"] = self.display
        env["QT_QPA_PLATFORM"] = "xcb"
        return env

    def run(self, *args, timeout=30, check=True):
        return subprocess.run(list(args), env=self.env(), stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=timeout, check=check)

    def xdotool(self, *args):
        self.run("xdotool", *[str(a) for a in args])

    def clipboard_targets(self):
        r = self.run("xclip", "-selection", "clipboard", "-o", "-t", "TARGETS", check=False)
        return r.stdout.decode("utf-8", "replace").split() if r.returncode == 0 else None

    def clipboard_text(self):
        """The clipboard as UTF-8 bytes, or None while no program offers text."""
        r = self.run("xclip", "-selection", "clipboard", "-o", "-t", "UTF8_STRING", check=False)
        return r.stdout if r.returncode == 0 else None

    def stop(self):
        if getattr(self, "x", None):
            self.x.close()
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self._log.close()


class App:
    """The tool, started in `workdir` on `server`."""

    def __init__(self, server, program, workdir, timeout_scale=1.0):
        self.server = server
        self.workdir = workdir
        self.scale = timeout_scale
        env = server.env()
        env["XDG_RUNTIME_DIR"] = os.path.join(workdir, ".runtime")
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        env["LC_ALL"] = "C.UTF-8"
        # The history, favourites, index and window settings stay in the working folder.
        for name, sub in (("XDG_DATA_HOME", ".data"), ("XDG_CONFIG_HOME", ".config"),
                          ("XDG_CACHE_HOME", ".cache")):
            env[name] = os.path.join(workdir, sub)
        # Sanitizer builds: leaks stay fatal, except the caches that system libraries keep.
        supp = os.path.join(os.path.dirname(os.path.abspath(__file__)), "lsan.supp")
        env["LSAN_OPTIONS"] = (f"suppressions={supp}:print_suppressions=0:"
                               + env.get("LSAN_OPTIONS", ""))
        self.log_path = os.path.join(workdir, ".app.log")
        self._log = open(self.log_path, "wb")
        self.process = subprocess.Popen([program], cwd=workdir, env=env,
                                        stdin=subprocess.DEVNULL, stdout=self._log,
                                        stderr=subprocess.STDOUT)
        self.main = self.wait_for_window(MAIN_TITLE)

    def log(self):
        self._log.flush()
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def windows(self, title):
        return [w for w in self.server.x.toplevels()
                if w.viewable and not w.override_redirect and w.pid == self.process.pid
                and w.title == title]

    def wait_for_window(self, title, timeout=60):
        def shown():
            if self.process.poll() is not None:
                raise Failure(f"the program ended with code {self.process.returncode} "
                              f"before showing {title!r}")
            found = self.windows(title)
            return found[0] if found else None
        return wait_until(f"a window titled {title!r}", shown, timeout * self.scale)

    def wait_for_no_window(self, title, timeout=30):
        wait_until(f"the window titled {title!r} to go", lambda: not self.windows(title),
                   timeout * self.scale)

    def point(self, control, dx=None, dy=None):
        """Screen coordinates of a point inside `control`: its centre, or dx, dy pixels from its
        top-left corner."""
        left, top, width, height = (v / TWIPS_PER_PIXEL for v in CONTROLS_TWIPS[control])
        x = left + (width / 2 if dx is None else dx)
        y = top + (height / 2 if dy is None else dy)
        return round(self.main.x + x), round(self.main.y + y)

    def click(self, control, dx=None, dy=None, count=1):
        x, y = self.point(control, dx, dy)
        # One request stream: the server moves the pointer before it presses the button. (No
        # --sync: it waits for motion, and a move to where the pointer already is never comes.)
        self.server.xdotool("mousemove", x, y, "click", "--repeat", count, "--delay", 60, 1)

    def keys(self, *keys):
        self.server.xdotool("key", "--delay", 30, *keys)

    def type_into(self, control, text):
        """Clicks into the edit part of an editable list, selects what it holds, types over it."""
        self.click(control, dx=12)
        self.keys("ctrl+a")
        self.server.xdotool("type", "--delay", 30, text)

    def choose(self, control, index):
        """Opens a drop-down list with a click and picks item `index` with the keyboard."""
        self.click(control)
        self.keys("Home", *(["Down"] * index), "Return")

    def focus(self):
        """Gives the window the keyboard focus, as a window manager does for a new window."""
        self.server.xdotool("windowfocus", "--sync", self.main.id)

    def request_close(self, window):
        self.server.x.request_close(window.id)

    def wait_for_exit(self, timeout=60):
        try:
            return self.process.wait(timeout * self.scale)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end after its window was closed")

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self._log.close()
