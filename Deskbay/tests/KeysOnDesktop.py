#!/usr/bin/env python3
"""The flowchart by keyboard and by pointer on a desktop, met as a pupil
meets it: Xvfb, openbox and the accessibility bus, the real program, real
keys and pointer moves (xdotool), and what a screen reader hears (pyatspi).

  keys-build   in a new document, with keys only (Alt+digits, Insert and
               the list, typing, Escape, the arrows), the chart "Ввод N;
               S=0; Цикл с параметром I=1,N,1 holding S=S+I*I; Вывод S" is
               built and saved with Ctrl+Shift+S under a new name typed in the dialog;
               `algtool show` of the file shows that chart
  heard        an accessibility listener heard the focus go to the new
               blocks, their selection and the chart's new children
  drag-marker  a palette block dragged over a branch's "нет" arm shows the
               insertion marker there; over empty space the pointer changes
               (nothing would happen) and a drop there adds nothing; a drop
               on the arm puts the block there, selected

Each check prints one line, PASS or FAIL; the exit status is 1 when any
failed. Pictures go to the shots folder when one is given. With
DESKBAY_TEST_DISPLAY=:N the X server takes that display.

  KeysOnDesktop.py <Deskbay program> <algtool program> [shots folder]
"""

import ctypes
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import OnDesktop  # noqa: E402
from OnDesktop import Fail, poll, run_checks  # noqa: E402

# The insertion marker's fill, and how near a pixel must come to it.
MARKER = (240, 128, 0)

EXPECTED = [
    "Алгоритм: начало",
    "  Ввод-вывод: Ввод N",
    "  Блок вычислений: S=0",
    "  Цикл с параметром: I=1,N,1",
    "    Блок вычислений: S=S+I*I",
    "  Ввод-вывод: Вывод S",
]

LISTENER = r'''
import sys, pyatspi
out = open(sys.argv[1], "w", buffering=1)
def said(e):
    try:
        app = e.source.getApplication()
        if app is None or app.name != "Deskbay":
            return
        src = e.source
        role, name = src.getRoleName(), src.name
        extra = ""
        if e.type.startswith("object:children-changed") and e.any_data is not None:
            try:
                extra = f' -> {e.any_data.getRoleName()} "{e.any_data.name}"'
            except Exception:
                extra = " -> (gone)"
        desc = src.description
        out.write(f'{e.type} {e.detail1} {role} "{name}"' + (f' [{desc}]' if desc else "")
                  + extra + "\n")
    except Exception as x:
        out.write(f"{e.type} (unreadable: {x})\n")
for kind in ("focus:", "object:state-changed:focused", "object:state-changed:selected",
             "object:selection-changed", "object:active-descendant-changed",
             "object:children-changed", "object:property-change:accessible-name"):
    pyatspi.Registry.registerEventListener(said, kind)
print("listening", flush=True)
pyatspi.Registry.start()
'''


class XFixesCursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
                ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("cursor_serial", ctypes.c_ulong), ("pixels", ctypes.POINTER(ctypes.c_ulong)),
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


class KeysSession(OnDesktop.Session):
    def __init__(self, program, algtool, shots):
        super().__init__(program, os.devnull)
        self.algtool = algtool
        self.shots = shots
        self.heard_file = os.path.join(self.work, "heard.txt")
        self.listener = None

    # Setup -------------------------------------------------------------------

    def start_x(self):
        # A display of its own, started as below: the display Xvfb picks by
        # itself (-displayfd) has let the first keys go astray now and then.
        wanted = os.environ.get("DESKBAY_TEST_DISPLAY") or next(
            f":{n}" for n in range(90, 200)
            if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"))
        self.start(["Xvfb", wanted, "-screen", "0", f"{OnDesktop.SCREEN_W}x"
                    f"{OnDesktop.SCREEN_H}x24", "-nolisten", "tcp"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.environ["DISPLAY"] = wanted
        if not poll(10, lambda: subprocess.run(
                ["xdotool", "getmouselocation"], env={"DISPLAY": wanted},
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0, 0.1):
            raise Fail(f"the X server on {wanted} did not start")
        self.display = wanted
        home = os.path.join(self.work, "home")
        runtime = os.path.join(self.work, "runtime")
        os.makedirs(home)
        os.makedirs(runtime, mode=0o700)
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith(("QT_", "XDG_", "WAYLAND_"))}
        self.env.update(DISPLAY=wanted, HOME=home, XDG_RUNTIME_DIR=runtime,
                        XDG_CONFIG_HOME=os.path.join(home, ".config"),
                        QT_QPA_PLATFORM="xcb")
        self.xdisplay = OnDesktop.Display(wanted)
        self.start(["openbox", "--sm-disable"], env=self.env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
        if not poll(10, lambda: self.xdisplay.prop(self.xdisplay.root,
                                                   "_NET_SUPPORTING_WM_CHECK"), 0.05):
            raise Fail("openbox did not take the screen")
        # A Russian layout beside the Latin one, as on a pupil's desktop: the
        # Cyrillic letters have keys of their own, so typing them needs no
        # change of the key map while the program reads keys.
        if shutil.which("setxkbmap"):
            subprocess.run(["setxkbmap", "-layout", "us,ru"], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)
        # The accessibility bus of this session, for the program and the
        # listener alike.
        for k in ("DBUS_SESSION_BUS_ADDRESS",):
            if k in os.environ:
                self.env[k] = os.environ[k]
        self.env.pop("NO_AT_BRIDGE", None)
        self.env.update(QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")

    def start_deskbay(self):
        self.log = open(os.path.join(self.work, "deskbay.log"), "w")
        self.deskbay = self.start([self.program], env=self.env, cwd=self.work,
                                  stdout=self.log, stderr=subprocess.STDOUT)
        self.pid = self.deskbay.pid
        found = poll(30, lambda: self.find_windows("Безымянный"), 0.05)
        if not found:
            raise Fail("no new document window appeared; windows: " + self.describe_windows())
        self.settle()
        self.strip, self.doc = self.find_windows("Безымянный")

    def start_listener(self):
        self.listener = self.start(["/usr/bin/python3", "-c", LISTENER, self.heard_file],
                                   env=self.env, stdout=subprocess.PIPE,
                                   stderr=open(os.path.join(self.work, "listener.log"), "w"))
        self.listener.stdout.readline()

    # Helpers -----------------------------------------------------------------

    def shot(self, name):
        if not self.shots:
            return
        os.makedirs(self.shots, exist_ok=True)
        subprocess.run(["import", "-window", "root", os.path.join(self.shots, f"keys-{name}.png")],
                       env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=20)

    def keys(self, *keys, pause=0.25):
        self.key(self.doc, *keys)
        time.sleep(pause)

    def type(self, text, pause=0.3):
        """Types into the block's text box. xdotool gives a Cyrillic letter
        a key of its own for the moment it types it, and the program may
        read the key after it changed again; the text box is read back and
        typed again until it holds the text."""
        self.activate(self.doc)
        # A slow program (under the sanitizers, on a busy machine) may not
        # have inserted the block yet: the typing waits for its text box.
        poll(15, lambda: self.text_box() is not None, 0.1)
        for _ in range(4):
            self.xdotool("type", "--delay", "60", text)
            time.sleep(pause)
            box = self.text_box()
            if box is None or box == text:
                return
            self.xdotool("key", "ctrl+a", "BackSpace")
        raise Fail(f'the text box holds "{box}" after typing "{text}"')

    def text_box(self):
        """What the focused block text box holds; None when it has no focus."""
        import pyatspi
        for app in pyatspi.Registry.getDesktop(0):
            if app is None or app.name != "Deskbay":
                continue
            box = pyatspi.findDescendant(
                app, lambda a: a.getRoleName() == "text" and a.name == "Текст блока"
                and a.getState().contains(pyatspi.STATE_FOCUSED))
            if box:
                t = box.queryText()
                return t.getText(0, t.characterCount)
        return None

    def chart(self):
        """The chart's accessible tree in the document window."""
        import pyatspi
        for app in pyatspi.Registry.getDesktop(0):
            if app is None or app.name != "Deskbay":
                continue
            found = pyatspi.findDescendant(
                app, lambda a: a.getRoleName() == "tree" and a.name == "Блок-схема"
                and a.getState().contains(pyatspi.STATE_SHOWING))
            if found:
                return found
        raise Fail("the chart is not on the accessibility bus")

    @staticmethod
    def centre(acc):
        import pyatspi
        e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return e.x + e.width // 2, e.y + e.height // 2

    @staticmethod
    def child_named(acc, name):
        for i in range(acc.childCount):
            c = acc.getChildAtIndex(i)
            if c is not None and c.name == name:
                return c
        return None

    def marker_near(self, x, y):
        """Pixels of the marker's fill within 30 pixels of (x, y)."""
        rows = self.xdisplay.pixels(self.xdisplay.root, x - 30, y - 15, 61, 31) or []
        return sum(1 for row in rows for p in row
                   if all(abs(p[i] - MARKER[i]) <= 30 for i in range(3)))

    def cursor(self):
        xf = ctypes.CDLL("libXfixes.so.3")
        xf.XFixesGetCursorImage.restype = ctypes.POINTER(XFixesCursorImage)
        xf.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
        img = xf.XFixesGetCursorImage(self.xdisplay.d)
        if not img:
            return None
        c = img.contents
        pixels = tuple(c.pixels[i] & 0xFFFFFFFF for i in range(c.width * c.height))
        name = c.name.decode() if c.name else ""
        self.xdisplay.x.XFree(img)
        return name, hash(pixels)

    def show(self, path):
        r = subprocess.run([self.algtool, "show", path], capture_output=True, text=True,
                           timeout=20)
        return r.stdout.splitlines()

    # Checks ------------------------------------------------------------------

    def check_keys_build(self):
        # The new document's chart has the focus; nothing on it yet.
        self.keys("alt+2", pause=0.5)           # Ввод-вывод, at the end
        self.type("Ввод N")
        self.keys("Escape")
        self.shot("focus-block")
        self.keys("Insert", pause=0.8)          # the list of kinds
        self.shot("insert-list")
        self.xdotool("key", "1")                # Блок вычислений, in the list
        time.sleep(0.4)
        self.type("S=0")
        self.keys("Escape")
        self.keys("alt+6")                      # Цикл с параметром
        self.type("I=1,N,1")
        self.keys("Escape")
        self.keys("Down")                       # the loop's empty body
        self.shot("focus-place")
        self.keys("alt+1")
        self.type("S=S+I*I")
        self.keys("Escape")
        self.keys("Down", "Down")               # after the loop
        self.keys("alt+2")
        self.type("Вывод S")
        self.keys("ctrl+Return")
        path = os.path.join(self.work, "squares.alg")
        before = set(self.windows())
        self.keys("ctrl+shift+s", pause=0.2)
        dialog = poll(5, lambda: [w for w in set(self.windows()) - before], 0.1)
        if not dialog:
            raise Fail("Ctrl+Shift+S opened no dialog for the new document; windows: "
                       + self.describe_windows())
        time.sleep(0.8)
        self.activate(dialog[0])
        self.xdotool("key", "ctrl+a")
        self.xdotool("type", "--delay", "20", path)
        self.xdotool("key", "Return")
        if not poll(5, lambda: os.path.exists(path), 0.1):
            raise Fail(f"no file {path} after Ctrl+Shift+S and Enter in the dialog")
        time.sleep(0.3)
        lines = self.show(path)
        return lines == EXPECTED, ("algtool show prints " + " / ".join(lines)
                                   + ("" if lines == EXPECTED else
                                      "; expected " + " / ".join(EXPECTED)))

    def check_heard(self):
        time.sleep(0.5)
        with open(self.heard_file) as f:
            heard = f.read().splitlines()
        wanted = ['focus:', '"Ввод-вывод: Ввод N"', '"Место для блока"',
                  'object:children-changed:add', 'object:state-changed:selected 1 table cell']
        missing = [w for w in wanted if not any(w in line for line in heard)]
        return not missing, (f"{len(heard)} events heard"
                             + (f"; never heard {missing}" if missing else
                                ", the new blocks and places among them"))

    def check_drag(self):
        self.keys("Escape")
        self.keys("End")
        self.keys("alt+3")                      # Ветвление after Вывод S
        self.type("A<B")
        self.keys("Escape")
        time.sleep(0.5)
        chart = self.chart()
        branch = self.child_named(chart, "Ветвление: A<B")
        no = branch and self.child_named(branch, "нет")
        place = no and no.getChildAtIndex(0)
        if not place:
            raise Fail("the branch's \"нет\" arm is not in the chart's tree")
        px, py = self.centre(place)
        import pyatspi
        button = pyatspi.findDescendant(
            chart.getApplication(), lambda a: a.getRoleName() == "push button"
            and a.name == "Блок вычислений" and a.getState().contains(pyatspi.STATE_SHOWING))
        bx, by = self.centre(button)
        doc = self.xdisplay.client_rect(self.doc)
        empty = (doc[0] + 30, doc[1] + doc[3] - 40)
        count = chart.childCount

        def drag_to(points, drop):
            self.xdotool("mousemove", bx, by)
            self.xdotool("mousedown", "1")
            for i in range(1, 9):
                self.xdotool("mousemove", bx + (points[0][0] - bx) * i // 8,
                             by + (points[0][1] - by) * i // 8)
                time.sleep(0.03)
            seen = []
            for p in points:
                self.xdotool("mousemove", p[0], p[1])
                time.sleep(0.4)
                self.xdotool("mousemove", p[0] + 1, p[1])
                time.sleep(0.4)
                seen.append((self.marker_near(*p), self.cursor()))
                if p == (px, py):
                    self.shot("drag-marker")
            self.xdotool("mousemove", drop[0], drop[1])
            time.sleep(0.3)
            self.xdotool("mouseup", "1")
            time.sleep(0.6)
            return seen

        (over_arm, over_empty) = drag_to([(px, py), empty], empty)
        problems = []
        if over_arm[0] < 20:
            problems.append(f"over the \"нет\" arm at {px},{py} only {over_arm[0]} marker "
                            "pixels")
        if over_empty[0] > 0:
            problems.append("the marker stays over empty space")
        if over_arm[1] == over_empty[1]:
            problems.append(f"the pointer looks the same over empty space ({over_arm[1]})")
        chart = self.chart()
        if chart.childCount != count:
            problems.append("a drop on empty space changed the chart")
        drag_to([(px, py)], (px, py))
        chart = self.chart()
        no = self.child_named(self.child_named(chart, "Ветвление: A<B"), "нет")
        dropped = no and self.child_named(no, "Блок вычислений")
        if not dropped:
            problems.append("the drop on the arm put no block there")
        elif not dropped.getState().contains(pyatspi.STATE_SELECTED):
            problems.append("the dropped block is not selected")
        return not problems, "; ".join(problems) or (
            f"{over_arm[0]} marker pixels over the arm, none over empty space; the pointer "
            f"{over_arm[1][0] or 'unnamed'} there, {over_empty[1][0] or 'unnamed'} over empty "
            "space; the drop there changed nothing, the drop on the arm left its block selected")

    def run(self):
        self.start_x()
        self.start_listener()
        self.start_deskbay()
        self.check("keys-build", self.check_keys_build)
        self.check("heard", self.check_heard)
        self.check("drag-marker", self.check_drag)
        if self.shots:
            shutil.copyfile(self.heard_file, os.path.join(self.shots, "keys-heard.txt"))


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__.strip().splitlines()[-1].strip(), file=sys.stderr)
        return 2
    for tool in ("Xvfb", "openbox", "xdotool", "dbus-run-session"):
        if not shutil.which(tool):
            print(f"FAIL  setup: {tool} is not installed (scripts/setup.sh installs it)")
            return 1
    launcher = "/usr/libexec/at-spi-bus-launcher"
    if not os.environ.get("DESKBAY_KEYS_SESSION"):
        # A session bus of its own with the accessibility bus on it.
        env = dict(os.environ, DESKBAY_KEYS_SESSION="1")
        python = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
        return subprocess.call(["dbus-run-session", "--", python, *sys.argv], env=env)
    bus = subprocess.Popen([launcher, "--launch-immediately"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, start_new_session=True)

    def end_bus():
        bus.terminate()
        try:
            bus.wait(2)
        except subprocess.TimeoutExpired:
            bus.kill()

    def session():
        return KeysSession(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]),
                           sys.argv[3] if len(sys.argv) == 4 else None)

    # A session that failed is tried again from the start, at most twice
    # more, and says so: a desktop under load may drop a window manager's
    # answer. (The first keys going astray, with the Файл menu open and
    # taking the typing, was the program's: Alt+2 taken by its shortcut
    # before the screen reader's bridge handed on the press of its Alt.)
    status = 1
    for attempt in range(3):
        if attempt:
            print(f"--- attempt {attempt + 1} ---", flush=True)
        status = run_checks(session, 150, end_bus if attempt == 2 else None)
        if status == 0:
            break
    if status == 0:
        end_bus()
    return status


if __name__ == "__main__":
    sys.exit(main())
