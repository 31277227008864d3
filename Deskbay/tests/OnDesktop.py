#!/usr/bin/env python3
"""Deskbay on a desktop, met the way a person meets it.

Starts a private X server (Xvfb) with the openbox window manager, starts the
real program on an endless algorithm and drives it with real pointer and key
events (xdotool, through the X test extension), then checks from outside
what a pupil would see:

  idle         with nothing happening the main thread sleeps (< 5 wake-ups a
               second) and the program uses < 0.5 % of a core
  strip        the strip and the document windows do not overlap, before and
               after maximising a document through its title bar; a
               maximised document stays on the screen, the same each time
  stop-click   a click on the tool bar's Stop button ends an endless run
               within 0.2 s
  close-run    a close request from the window manager (Alt+F4) during a
               run closes the document window, and the run ends with it
  sigterm      SIGTERM ends the program with status 0

Each check prints one line, PASS or FAIL with what was seen; the exit status
is 1 when any failed. Whatever happens, every process started here is ended.

  OnDesktop.py <Deskbay program> <algorithm file>
"""

import ctypes
import ctypes.util
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SCREEN_W, SCREEN_H = 1280, 800
TICK = os.sysconf("SC_CLK_TCK")
# Pixels a window's place may be off (a frame's border beyond the edge).
SLACK = 2

# How a run's tool bar glyphs look when enabled: Run green, Stop red.
RUN_GREEN = (40, 170, 60)
STOP_RED = (210, 40, 40)


class Fail(Exception):
    """A check that cannot go on; its text says what was seen."""


class OutOfTime(BaseException):
    """The whole test took too long; no further check runs."""


# --- X11, read through Xlib -------------------------------------------------


class XWindowAttributes(ctypes.Structure):
    _fields_ = [
        ("x", ctypes.c_int), ("y", ctypes.c_int),
        ("width", ctypes.c_int), ("height", ctypes.c_int),
        ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
        ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong),
        ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
        ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
        ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
        ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
        ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int),
        ("all_event_masks", ctypes.c_long), ("your_event_mask", ctypes.c_long),
        ("do_not_propagate_mask", ctypes.c_long),
        ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p),
    ]


class XImage(ctypes.Structure):
    # The leading fields; the rest of the structure is not read.
    _fields_ = [
        ("width", ctypes.c_int), ("height", ctypes.c_int),
        ("xoffset", ctypes.c_int), ("format", ctypes.c_int),
        ("data", ctypes.POINTER(ctypes.c_ubyte)),
        ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
        ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
        ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
        ("bits_per_pixel", ctypes.c_int),
        ("red_mask", ctypes.c_ulong), ("green_mask", ctypes.c_ulong),
        ("blue_mask", ctypes.c_ulong),
    ]


IS_VIEWABLE = 2
Z_PIXMAP = 2
ALL_PLANES = ~0 & 0xFFFFFFFFFFFFFFFF

_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)


class Display:
    """The few reads of the X server the checks need. Windows come and go
    under it, so an X error (a window that vanished) is ignored: the read
    just finds nothing."""

    def __init__(self, name):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x = self.x
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XGetWindowProperty.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
            ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XGetWindowAttributes.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(XWindowAttributes)]
        x.XTranslateCoordinates.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
            ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
            ctypes.POINTER(ctypes.c_ulong)]
        x.XGetImage.restype = ctypes.POINTER(XImage)
        x.XGetImage.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
            ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XDestroyImage.argtypes = [ctypes.POINTER(XImage)]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self._handler = _ERROR_HANDLER(lambda d, e: 0)
        x.XSetErrorHandler(self._handler)
        self.d = x.XOpenDisplay(name.encode())
        if not self.d:
            raise Fail(f"cannot open display {name}")
        self.root = x.XDefaultRootWindow(self.d)
        self._atoms = {}

    def close(self):
        self.x.XCloseDisplay(self.d)

    def atom(self, name):
        if name not in self._atoms:
            self._atoms[name] = self.x.XInternAtom(self.d, name.encode(), 0)
        return self._atoms[name]

    def prop(self, win, name, kind=0):
        """The property's items: numbers for format 32, bytes otherwise."""
        actual, fmt = ctypes.c_ulong(), ctypes.c_int()
        n, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
        status = self.x.XGetWindowProperty(
            self.d, win, self.atom(name), 0, 1 << 20, 0, kind, ctypes.byref(actual),
            ctypes.byref(fmt), ctypes.byref(n), ctypes.byref(after), ctypes.byref(data))
        if status != 0 or not data.value:
            return None
        try:
            if fmt.value == 32:
                return list(ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[: n.value])
            if fmt.value == 8:
                return ctypes.string_at(data, n.value)
            return None
        finally:
            self.x.XFree(data)

    def title(self, win):
        raw = self.prop(win, "_NET_WM_NAME") or self.prop(win, "WM_NAME") or b""
        return raw.decode("utf-8", "replace")

    def viewable(self, win):
        a = XWindowAttributes()
        return (self.x.XGetWindowAttributes(self.d, win, ctypes.byref(a)) != 0
                and a.map_state == IS_VIEWABLE)

    def client_rect(self, win):
        """(x, y, w, h) of the window's own area on the screen."""
        a = XWindowAttributes()
        if not self.x.XGetWindowAttributes(self.d, win, ctypes.byref(a)):
            return None
        x, y, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
        if not self.x.XTranslateCoordinates(self.d, win, self.root, 0, 0, ctypes.byref(x),
                                            ctypes.byref(y), ctypes.byref(child)):
            return None
        return (x.value, y.value, a.width, a.height)

    def frame_rect(self, win):
        """(x, y, w, h) with the window manager's frame around it."""
        r = self.client_rect(win)
        if r is None:
            return None
        left, right, top, bottom = (self.prop(win, "_NET_FRAME_EXTENTS") or [0, 0, 0, 0])[:4]
        return (r[0] - left, r[1] - top, r[2] + left + right, r[3] + top + bottom)

    def wm_state(self, win):
        return {self.atom_name(a) for a in (self.prop(win, "_NET_WM_STATE") or [])}

    def atom_name(self, atom):
        for name, value in self._atoms.items():
            if value == atom:
                return name
        return str(atom)

    def clients_of(self, pid):
        """The managed, viewable top-level windows of the process, in the
        order the window manager mapped them."""
        self.x.XSync(self.d, 0)
        for name in ("_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ"):
            self.atom(name)
        result = []
        for win in self.prop(self.root, "_NET_CLIENT_LIST") or []:
            if (self.prop(win, "_NET_WM_PID") or [None])[0] == pid and self.viewable(win):
                result.append(win)
        return result

    def pixels(self, win, x, y, w, h):
        """Rows of (r, g, b) of a part of the window as it is on the screen."""
        img = self.x.XGetImage(self.d, win, x, y, w, h, ALL_PLANES, Z_PIXMAP)
        if not img:
            return None
        try:
            im = img.contents
            if im.bits_per_pixel != 32:
                raise Fail(f"unexpected {im.bits_per_pixel} bits per pixel")
            raw = ctypes.string_at(im.data, im.bytes_per_line * im.height)
            rows = []
            for j in range(im.height):
                line = raw[j * im.bytes_per_line: j * im.bytes_per_line + 4 * im.width]
                rows.append([(line[i + 2], line[i + 1], line[i]) for i in range(0, len(line), 4)])
            return rows
        finally:
            self.x.XDestroyImage(img)


def overlap(a, b):
    return (a[0] < b[0] + b[2] and b[0] < a[0] + a[2]
            and a[1] < b[1] + b[3] and b[1] < a[1] + a[3])


def on_screen(r):
    """Whether the rectangle lies on the screen; a frame's border may stick
    out by SLACK pixels."""
    return (r[0] >= -SLACK and r[1] >= -SLACK and r[0] + r[2] <= SCREEN_W + SLACK
            and r[1] + r[3] <= SCREEN_H + SLACK)


def fmt_rect(r):
    return f"{r[2]}x{r[3]}+{r[0]}+{r[1]}" if r else "none"


# --- The process, read through /proc ----------------------------------------


def cpu_ticks(pid):
    """utime + stime of the whole process, in clock ticks."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def main_thread_running(pid):
    """Whether the main thread is running or ready to run (not asleep)."""
    with open(f"/proc/{pid}/task/{pid}/stat") as f:
        return f.read().rsplit(")", 1)[1].split()[0] == "R"


def voluntary_switches(pid):
    with open(f"/proc/{pid}/task/{pid}/status") as f:
        return int(re.search(r"^voluntary_ctxt_switches:\s*(\d+)", f.read(), re.M).group(1))


def poll(deadline, probe, interval=0.01):
    """Calls probe until it returns something true or the deadline (seconds
    from now) passes; returns what it returned last."""
    end = time.monotonic() + deadline
    while True:
        value = probe()
        if value or time.monotonic() >= end:
            return value
        time.sleep(interval)


# --- The session ------------------------------------------------------------


class Session:
    def __init__(self, program, algorithm):
        self.program = program
        self.work = tempfile.mkdtemp(prefix="deskbay-desktop-")
        self.algorithm = os.path.join(self.work, os.path.basename(algorithm))
        shutil.copyfile(algorithm, self.algorithm)
        self.procs = []
        self.results = []
        self.xdisplay = None
        self.deskbay = None

    # Processes ---------------------------------------------------------------

    def start(self, args, **kw):
        """Starts a process in a group of its own, which the system kills
        should this script die before it can."""
        libc = ctypes.CDLL(None, use_errno=True)
        pr_set_pdeathsig = 1
        p = subprocess.Popen(args, start_new_session=True, stdin=subprocess.DEVNULL,
                             preexec_fn=lambda: libc.prctl(pr_set_pdeathsig, signal.SIGKILL),
                             **kw)
        self.procs.append(p)
        return p

    def start_x(self):
        read_fd, write_fd = os.pipe()
        self.start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                    f"{SCREEN_W}x{SCREEN_H}x24", "-nolisten", "tcp", "-noreset"],
                   pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
                   stderr=open(os.path.join(self.work, "xvfb.log"), "w"))
        os.close(write_fd)
        with os.fdopen(read_fd, "rb") as r:
            number = r.readline().strip()
        if not number:
            raise Fail("Xvfb did not start")
        self.display = ":" + number.decode()
        home = os.path.join(self.work, "home")
        runtime = os.path.join(self.work, "runtime")
        os.makedirs(home)
        os.makedirs(runtime, mode=0o700)
        # The user's own settings and session stay out of it.
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith(("QT_", "XDG_", "DBUS_", "WAYLAND_"))}
        self.env.update(DISPLAY=self.display, HOME=home, XDG_RUNTIME_DIR=runtime,
                        XDG_CONFIG_HOME=os.path.join(home, ".config"), QT_QPA_PLATFORM="xcb",
                        NO_AT_BRIDGE="1")
        self.xdisplay = Display(self.display)
        self.start(["openbox", "--sm-disable"], env=self.env, stdout=subprocess.DEVNULL,
                   stderr=open(os.path.join(self.work, "openbox.log"), "w"))
        if not poll(10, lambda: self.xdisplay.prop(self.xdisplay.root,
                                                   "_NET_SUPPORTING_WM_CHECK"), 0.05):
            raise Fail("openbox did not take the screen")

    def start_deskbay(self):
        self.log = open(os.path.join(self.work, "deskbay.log"), "w")
        self.deskbay = self.start([self.program, self.algorithm], env=self.env, cwd=self.work,
                                  stdout=self.log, stderr=subprocess.STDOUT)
        self.pid = self.deskbay.pid
        name = os.path.splitext(os.path.basename(self.algorithm))[0]
        found = poll(30, lambda: self.find_windows(name), 0.05)
        if not found:
            raise Fail("no document window titled with the file's name appeared; windows: "
                       + self.describe_windows())
        # The module's other windows may still be on their way.
        self.settle()
        self.strip, self.doc = self.find_windows(name)

    def find_windows(self, name):
        """(strip, document): the document window shows the file's name; the
        strip is the lowest of the program's other main windows, preferring
        one whose title names no algorithm file."""
        x = self.xdisplay
        wins = x.clients_of(self.pid) if self.alive() else []
        docs = [w for w in wins if name in x.title(w)]
        others = [w for w in wins if w not in docs and not x.prop(w, "WM_TRANSIENT_FOR")]
        plain = [w for w in others if ".alg" not in x.title(w)] or others
        if not docs or not plain:
            return None
        return min(plain, key=lambda w: (x.client_rect(w) or (0, 0, 0, 1 << 30))[3]), docs[0]

    def windows(self):
        return self.xdisplay.clients_of(self.pid)

    def describe_windows(self):
        if not self.alive():
            return "(the program has ended)"
        return "; ".join(f'"{self.xdisplay.title(w)}" {fmt_rect(self.xdisplay.frame_rect(w))}'
                         for w in self.windows()) or "(none)"

    def alive(self):
        return self.deskbay is not None and self.deskbay.poll() is None

    def stop_all(self):
        """Ends every process started here, the program first, the X server
        last; each is asked to end (the X server then removes its lock
        file) and killed when it has not within 2 s."""
        if self.xdisplay:
            self.xdisplay.close()
            self.xdisplay = None
        for p in reversed(self.procs):
            for sig in (signal.SIGTERM, signal.SIGKILL):
                try:
                    os.killpg(p.pid, sig)
                except ProcessLookupError:
                    pass
                try:
                    p.wait(2)
                    break
                except subprocess.TimeoutExpired:
                    continue
        shutil.rmtree(self.work, ignore_errors=True)

    # Input -------------------------------------------------------------------

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)

    def activate(self, win):
        """Asks the window manager to activate the window, as a click on it
        would, and waits until it is active."""
        active = lambda: (self.xdisplay.prop(self.xdisplay.root, "_NET_ACTIVE_WINDOW")
                          or [0])[0] == win
        if active():
            return
        self.xdotool("windowactivate", win)
        if not poll(3, active, 0.02):
            raise Fail(f'the window "{self.xdisplay.title(win)}" could not be activated; '
                       "windows: " + self.describe_windows())

    def key(self, win, *keys):
        self.activate(win)
        self.xdotool("key", "--clearmodifiers", *keys)

    # Reports -----------------------------------------------------------------

    def report(self, name, ok, text):
        self.results.append((name, ok))
        print(f"{'PASS' if ok else 'FAIL'}  {name}: {text}", flush=True)

    def check(self, name, body):
        """Runs one check; a Fail or an unexpected error is its failure, and
        the next check still runs."""
        if not self.alive():
            self.report(name, False, f"the program is not running (status {self.deskbay.returncode})")
            return
        try:
            ok, text = body()
        except Fail as e:
            ok, text = False, str(e)
        except subprocess.SubprocessError as e:
            ok, text = False, f"a tool failed: {e}"
        except Exception as e:  # the program vanished under a read, say
            ok, text = False, f"{type(e).__name__}: {e}"
        self.report(name, ok, text)

    # The run's tool bar ------------------------------------------------------

    def glyph(self, colour, near=None):
        """The centre of a glyph of the colour in the document's tool bar
        (the top band of its window), or within 12 pixels of near; None
        when there is none."""
        r = self.xdisplay.client_rect(self.doc)
        if r is None:
            return None
        x0, y0, w, h = 0, 0, r[2], min(60, r[3])
        if near:
            x0, y0 = max(0, near[0] - 12), max(0, near[1] - 12)
            w, h = min(24, r[2] - x0), min(24, r[3] - y0)
        rows = self.xdisplay.pixels(self.doc, x0, y0, w, h)
        if rows is None:
            return None
        hits = [(x, y) for y, row in enumerate(rows) for x, p in enumerate(row)
                if abs(p[0] - colour[0]) <= 30 and abs(p[1] - colour[1]) <= 30
                and abs(p[2] - colour[2]) <= 30]
        if len(hits) < 12:
            return None
        first = min(x for x, _ in hits)
        cluster = [(x, y) for x, y in hits if x < first + 16]
        return (x0 + sum(x for x, _ in cluster) // len(cluster),
                y0 + sum(y for _, y in cluster) // len(cluster))

    def busy(self, span=0.3):
        """Whether the main thread works (runs or waits only for a core)
        through most of span; a loaded machine slows it, never puts it to
        sleep."""
        samples = []
        end = time.monotonic() + span
        while time.monotonic() < end:
            samples.append(main_thread_running(self.pid))
            time.sleep(0.005)
        return sum(samples) > len(samples) * 0.8

    def start_run(self):
        """F9 in the document window; returns where Run and Stop are once
        the run shows that it can be stopped."""
        run = self.glyph(RUN_GREEN)
        if not run:
            raise Fail("Run is not enabled in the document's tool bar")
        self.key(self.doc, "F9")
        stop = poll(5, lambda: self.glyph(STOP_RED), 0.05)
        if not stop:
            raise Fail("after F9 the Stop button never showed enabled (no run?)")
        if not self.busy():
            raise Fail("after F9 the main thread sleeps (no run?)")
        return run, stop

    def end_run_by(self, action, glyphs, deadline):
        """Does the action and returns (seconds, how) once the run is seen
        to end, or None: the main thread goes to sleep (a run never
        sleeps), a window appears (a message), or the tool bar changes
        (Stop greyed, Run enabled). Times count from just before the
        action."""
        run, stop = glyphs
        before = set(self.windows())
        t0 = time.monotonic()
        action()
        slept_since = None
        while time.monotonic() - t0 < deadline:
            time.sleep(0.005)
            now = time.monotonic()
            if not self.alive():
                raise Fail(f"the program ended (status {self.deskbay.returncode})")
            # A moment's wait for the X server is not the end of a run; a
            # sleep of 60 ms is.
            if main_thread_running(self.pid):
                slept_since = None
            elif slept_since is None:
                slept_since = now
            elif now - slept_since >= 0.06:
                return slept_since - t0, "its main thread went to sleep"
            if set(self.windows()) - before:
                return now - t0, "a window appeared"
            if not self.glyph(STOP_RED, stop) or self.glyph(RUN_GREEN, run):
                return now - t0, "the tool bar changed"
        return None

    def settle(self):
        """Waits until the program's set of windows stays the same for
        0.5 s (a message may still be on its way)."""
        last, since, end = self.windows(), time.monotonic(), time.monotonic() + 5
        while time.monotonic() < end and time.monotonic() - since < 0.5:
            time.sleep(0.05)
            now = self.windows()
            if now != last:
                last, since = now, time.monotonic()

    def back_to_editing(self):
        """Answers any message the program shows (Escape), then F2 leaves
        run mode; waits until Run is enabled again."""
        for _ in range(5):
            self.settle()
            extra = [w for w in self.windows() if self.xdisplay.prop(w, "WM_TRANSIENT_FOR")]
            if not extra:
                break
            self.key(extra[0], "Escape")
            poll(2, lambda: extra[0] not in self.windows(), 0.05)
        self.key(self.doc, "F2")
        if not poll(3, lambda: self.glyph(RUN_GREEN), 0.05):
            raise Fail("the document did not return to editing; windows: "
                       + self.describe_windows())

    # Checks ------------------------------------------------------------------

    def check_idle(self):
        # The start may still be painting; give it up to 3 s to fall quiet.
        def quiet():
            ticks = cpu_ticks(self.pid)
            time.sleep(0.3)
            return cpu_ticks(self.pid) == ticks
        poll(3, quiet, 0)
        span = 4.0
        ticks, switches = cpu_ticks(self.pid), voluntary_switches(self.pid)
        time.sleep(span)
        cpu = (cpu_ticks(self.pid) - ticks) / TICK / span * 100
        rate = (voluntary_switches(self.pid) - switches) / span
        ok = rate < 5 and cpu < 0.5
        return ok, (f"over {span:.0f} s of nothing the main thread woke {rate:.1f} times a second "
                    f"(< 5 allowed) and the program used {cpu:.2f} % of a core (< 0.5 % allowed)")

    def strip_problems(self, when, maximised=False):
        """What is wrong with the windows' places: a window over the strip,
        the document off the screen, or (maximised) not filling the screen
        below the strip."""
        x = self.xdisplay
        strip = x.frame_rect(self.strip)
        problems = []
        for w in self.windows():
            r = x.frame_rect(w)
            if w != self.strip and r and overlap(strip, r):
                problems.append(f'"{x.title(w)}" {fmt_rect(r)} covers the strip {fmt_rect(strip)}')
        doc = x.frame_rect(self.doc)
        if not on_screen(doc):
            problems.append(f"the document {fmt_rect(doc)} leaves the screen "
                            f"{SCREEN_W}x{SCREEN_H}")
        below = strip[1] + strip[3]
        if maximised and (doc[2] < SCREEN_W - SLACK or doc[1] + doc[3] < SCREEN_H - SLACK
                          or doc[1] > below + SLACK):
            problems.append(f"the maximised document {fmt_rect(doc)} does not fill the screen "
                            f"below the strip (y {below} to {SCREEN_H})")
        return [f"{when}: {p}" for p in problems]

    def settled_frame(self, win, before):
        """The window's frame once it changed from before and then stayed
        put for 0.3 s (the program may place it again after the manager)."""
        poll(3, lambda: self.xdisplay.frame_rect(win) != before, 0.02)
        last, since = self.xdisplay.frame_rect(win), time.monotonic()
        end = since + 3
        while time.monotonic() < end and time.monotonic() - since < 0.3:
            time.sleep(0.02)
            now = self.xdisplay.frame_rect(win)
            if now != last:
                last, since = now, time.monotonic()
        return last

    def double_click_title(self):
        """Double-clicks the document's title bar, which under openbox asks
        to maximise it, or to restore it when it is maximised."""
        before = self.xdisplay.frame_rect(self.doc)
        top = self.xdisplay.client_rect(self.doc)[1] - before[1]
        if top <= 0:
            raise Fail("the document window has no title bar to double-click")
        self.activate(self.doc)
        self.xdotool("mousemove", before[0] + before[2] // 2, before[1] + top // 2)
        self.xdotool("click", "--repeat", "2", "--delay", "80", "1")
        return self.settled_frame(self.doc, before)

    def is_maximised(self):
        return "_NET_WM_STATE_MAXIMIZED_VERT" in self.xdisplay.wm_state(self.doc)

    def check_strip(self):
        problems = self.strip_problems("as opened")
        maximised = []
        for turn in ("first", "second"):
            if self.is_maximised():
                frame = self.double_click_title()
                problems += self.strip_problems(f"restored ({fmt_rect(frame)})")
            frame = self.double_click_title()
            maximised.append(frame)
            problems += self.strip_problems(f"maximised a {turn} time", maximised=True)
        if maximised[0] != maximised[1]:
            problems.append("maximising twice gave two places: "
                            + " and ".join(map(fmt_rect, maximised)))
        strip = fmt_rect(self.xdisplay.frame_rect(self.strip))
        return not problems, "; ".join(problems) or (
            f"the strip {strip} stays clear of the documents, opened and maximised "
            f"({fmt_rect(maximised[0])}, the same twice)")

    def check_stop_click(self):
        glyphs = self.start_run()
        origin = self.xdisplay.client_rect(self.doc)
        stop = glyphs[1]
        self.xdotool("mousemove", origin[0] + stop[0], origin[1] + stop[1])
        ended = self.end_run_by(lambda: self.xdotool("click", "1"), glyphs, 1.5)
        if ended and ended[0] <= 0.2:
            text = f"the run ended {ended[0]:.2f} s after the click ({ended[1]})"
        elif ended:
            text = f"the run ended only {ended[0]:.2f} s after the click ({ended[1]}; 0.2 s allowed)"
        else:
            # End it as the keyboard does, so the next checks can go on.
            self.activate(self.doc)
            by_key = self.end_run_by(lambda: self.xdotool("key", "F2"), glyphs, 5)
            text = ("the run still went on 1.5 s after the click; F2 "
                    + (f"ended it in {by_key[0]:.2f} s ({by_key[1]})" if by_key
                       else "did not end it either"))
        self.back_to_editing()
        return bool(ended and ended[0] <= 0.2), text

    def check_close_during_run(self):
        glyphs = self.start_run()
        doc = self.doc
        self.activate(doc)
        t0 = time.monotonic()
        self.xdotool("key", "alt+F4")
        closed = poll(3, lambda: doc not in self.windows(), 0.02)
        took = time.monotonic() - t0
        if not self.alive():
            return False, f"the program ended (status {self.deskbay.returncode}) instead"
        if not closed:
            text = ("3 s after Alt+F4 the document window is still open; windows: "
                    + self.describe_windows())
            self.activate(doc)
            self.end_run_by(lambda: self.xdotool("key", "F2"), glyphs, 5)
            return False, text
        if self.busy(0.5):
            return False, (f"the window closed after {took:.2f} s but the main thread still "
                           "works (the run goes on without its window?)")
        return True, f"the document window closed {took:.2f} s after Alt+F4 and its run ended"

    def check_sigterm(self):
        self.deskbay.send_signal(signal.SIGTERM)
        try:
            status = self.deskbay.wait(10)
        except subprocess.TimeoutExpired:
            return False, "the program still runs 10 s after SIGTERM; windows: " + \
                self.describe_windows()
        return status == 0, f"the program ended with status {status}"

    def run(self):
        self.start_x()
        self.start_deskbay()
        self.check("idle", self.check_idle)
        self.check("strip", self.check_strip)
        self.check("stop-click", self.check_stop_click)
        self.check("close-run", self.check_close_during_run)
        self.check("sigterm", self.check_sigterm)


def run_checks(make_session, seconds, cleanup=None):
    """Runs a session's checks within seconds, ending everything it started
    even when it outlives its time (or is stopped), prints what the program
    printed and one line of totals; the exit status."""
    def give_up(signum, _frame):
        raise SystemExit(f"stopped by signal {signum}")

    def out_of_time(_signum, _frame):
        raise OutOfTime()

    signal.signal(signal.SIGTERM, give_up)
    signal.signal(signal.SIGALRM, out_of_time)
    signal.alarm(seconds)
    session = make_session()
    started = time.monotonic()
    try:
        session.run()
    except Fail as e:
        session.report("setup", False, str(e))
    except OutOfTime:
        session.report("time", False, f"the test took more than {seconds} s")
    finally:
        signal.alarm(0)
        log = os.path.join(session.work, "deskbay.log")
        if os.path.exists(log) and os.path.getsize(log):
            with open(log, errors="replace") as f:
                print("--- what the program printed ---\n" + f.read().rstrip())
        session.stop_all()
        if cleanup:
            cleanup()
    failed = [name for name, ok in session.results if not ok]
    print(f"{len(session.results) - len(failed)} of {len(session.results)} checks passed "
          f"in {time.monotonic() - started:.1f} s" + (f"; failed: {', '.join(failed)}" if failed else ""))
    return 1 if failed else 0


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1].strip(), file=sys.stderr)
        return 2
    for tool in ("Xvfb", "openbox", "xdotool"):
        if not shutil.which(tool):
            print(f"FAIL  setup: {tool} is not installed (scripts/setup.sh installs it)")
            return 1

    return run_checks(lambda: Session(os.path.abspath(sys.argv[1]), sys.argv[2]), 120)


if __name__ == "__main__":
    sys.exit(main())
