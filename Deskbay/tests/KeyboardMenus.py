#!/usr/bin/env python3
"""The strip's menus and the file commands from a document's keyboard, on a
desktop: a private X server (Xvfb) with openbox, the real program on an
algorithm file, real key events (xdotool) and nothing of the pointer.

  f10-menu     F10 in the document window opens a menu; Escape closes it
               and the document window is the active one again
  alt-letter   Alt+A (the key of "Ф" on a Latin layout) opens a menu too
  save-as      Ctrl+Shift+S, a new name typed, Enter: the file is written
               under the new name, the same algorithm as the original
               (compared through `algtool show` when algtool is given)
  f10-exit     F10, Up (the menu's last entry, "Выход"), Enter: the program
               ends with status 0

One PASS/FAIL line per check; exit status 1 when any failed. Every process
started here is ended. DESKBAY_SHOTS=DIR keeps a picture of the open menu
(access-menu-f10.png, through ImageMagick's import).

  KeyboardMenus.py <Deskbay program> <algorithm file> [algtool]
"""

import ctypes
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from OnDesktop import Session, XWindowAttributes, poll, run_checks  # noqa: E402


class MenuSession(Session):
    def __init__(self, program, algorithm, algtool):
        super().__init__(program, algorithm)
        self.algtool = algtool

    def start_x(self):
        """As the desktop test starts its server, or on the display that
        DESKBAY_TEST_DISPLAY names (":72"), for a machine shared by several
        sessions."""
        fixed = os.environ.get("DESKBAY_TEST_DISPLAY")
        if not fixed:
            return super().start_x()
        real_start = self.start

        def start(args, **kw):
            if args and args[0] == "Xvfb":
                fd = kw.pop("pass_fds")[0]
                os.write(fd, fixed.lstrip(":").encode() + b"\n")
                args = ["Xvfb", fixed] + args[3:]
                p = real_start(args, **kw)
                socket = "/tmp/.X11-unix/X" + fixed.lstrip(":")
                poll(10, lambda: os.path.exists(socket), 0.05)
                return p
            return real_start(args, **kw)

        self.start = start
        try:
            super().start_x()
        finally:
            self.start = real_start

    def popups(self):
        """The program's override-redirect windows on the screen: its open
        menus."""
        x = self.xdisplay.x
        x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                 ctypes.POINTER(ctypes.c_uint)]
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, n = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        self.xdisplay.x.XSync(self.xdisplay.d, 0)
        if not x.XQueryTree(self.xdisplay.d, self.xdisplay.root, ctypes.byref(root),
                            ctypes.byref(parent), ctypes.byref(children), ctypes.byref(n)):
            return []
        found = []
        try:
            for i in range(n.value):
                w = children[i]
                a = XWindowAttributes()
                if (x.XGetWindowAttributes(self.xdisplay.d, w, ctypes.byref(a))
                        and a.map_state == 2 and a.override_redirect
                        and (self.xdisplay.prop(w, "_NET_WM_PID") or [None])[0] == self.pid):
                    found.append(w)
        finally:
            if children:
                x.XFree(children)
        return found

    def active(self):
        return (self.xdisplay.prop(self.xdisplay.root, "_NET_ACTIVE_WINDOW") or [0])[0]

    def shot(self, name):
        folder = os.environ.get("DESKBAY_SHOTS")
        if folder and shutil.which("import"):
            subprocess.run(["import", "-window", "root", os.path.join(folder, name)],
                           env=self.env, timeout=20, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)

    def open_and_close(self, keys, picture=None):
        self.key(self.doc, *keys)
        menu = poll(3, self.popups, 0.05)
        if not menu:
            return False, f"{'+'.join(keys)} opened no menu; windows: " + self.describe_windows()
        r = self.xdisplay.client_rect(menu[0])
        if picture:
            time.sleep(0.3)
            self.shot(picture)
        self.xdotool("key", "Escape")
        gone = poll(3, lambda: not self.popups(), 0.05)
        back = poll(3, lambda: self.active() == self.doc, 0.05)
        if not gone:
            return False, "Escape left the menu open"
        if not back:
            return False, "after Escape the document window is not the active one"
        return True, (f"{' '.join(keys)} opened a menu {r[2]}x{r[3]} at {r[0]},{r[1]}; Escape "
                      "closed it and the document window is active again")

    def check_f10(self):
        return self.open_and_close(["F10"], "access-menu-f10.png")

    def check_alt_letter(self):
        return self.open_and_close(["alt+a"])

    def show(self, path):
        out = subprocess.run([self.algtool, "show", path], capture_output=True, timeout=20)
        return out.stdout

    def check_save_as(self):
        target = os.path.join(self.work, "renamed.alg")
        before = set(self.windows())
        self.key(self.doc, "ctrl+shift+s")
        dialog = poll(5, lambda: list(set(self.windows()) - before), 0.05)
        if not dialog:
            return False, "Ctrl+Shift+S opened no dialog; windows: " + self.describe_windows()
        self.activate(dialog[0])
        time.sleep(0.3)
        self.xdotool("key", "--clearmodifiers", "ctrl+a")
        self.xdotool("type", "--delay", "5", target)
        self.xdotool("key", "Return")
        if not poll(5, lambda: os.path.exists(target), 0.05):
            return False, "no file under the new name 5 s after Enter; windows: " + \
                self.describe_windows()
        if not poll(3, lambda: "renamed" in self.xdisplay.title(self.doc), 0.05):
            return False, f'the window is titled "{self.xdisplay.title(self.doc)}"'
        if self.algtool:
            same = self.show(target) == self.show(self.algorithm) and self.show(target)
            how = "algtool show prints the same chart"
        else:
            with open(target, "rb") as a, open(self.algorithm, "rb") as b:
                same = a.read() == b.read()
            how = "the same bytes"
        return bool(same), (f"saved as {os.path.basename(target)}, " + how if same
                            else "the file under the new name holds another chart")

    def check_exit(self):
        self.key(self.doc, "F10")
        if not poll(3, self.popups, 0.05):
            return False, "F10 opened no menu"
        self.xdotool("key", "Up")
        time.sleep(0.2)
        self.xdotool("key", "Return")
        try:
            status = self.deskbay.wait(10)
        except subprocess.TimeoutExpired:
            return False, "the program still runs 10 s after Выход; windows: " + \
                self.describe_windows()
        return status == 0, f"F10, Up, Enter ended the program with status {status}"

    def run(self):
        self.start_x()
        self.start_deskbay()
        self.check("f10-menu", self.check_f10)
        self.check("alt-letter", self.check_alt_letter)
        self.check("save-as", self.check_save_as)
        self.check("f10-exit", self.check_exit)


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__.strip().splitlines()[-1].strip(), file=sys.stderr)
        return 2
    for tool in ("Xvfb", "openbox", "xdotool"):
        if not shutil.which(tool):
            print(f"FAIL  setup: {tool} is not installed (scripts/setup.sh installs it)")
            return 1

    return run_checks(lambda: MenuSession(os.path.abspath(sys.argv[1]), sys.argv[2],
                                          sys.argv[3] if len(sys.argv) == 4 else None), 90)


if __name__ == "__main__":
    sys.exit(main())
