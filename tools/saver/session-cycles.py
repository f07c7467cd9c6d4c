#!/usr/bin/env python3
"""Blank/unblank cycles against one gloamyard-saver process, for leaks.

Starts a private Xvfb, makes a window as XScreenSaver would, runs the saver
in it with the lifecycle records on, and then sets XScreenSaver's
_SCREENSAVER_STATUS on the root to UNBLANK and BLANK again N times: each
unblank releases the scene, each blank builds a new one. After every
release it samples the saver's resident memory and open files, and prints
one line per cycle and a summary (first, median and last cycles).

Usage: tools/saver/session-cycles.py [CYCLES] [SAVER]   (default 50, the
build tree's bin/gloamyard-saver)
"""
import ctypes
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
cycles = int(sys.argv[1]) if len(sys.argv) > 1 else 50
saver = sys.argv[2] if len(sys.argv) > 2 else os.path.join(HERE, "..", "..", "build", "dev", "bin", "gloamyard-saver")

x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XCreateSimpleWindow.restype = ctypes.c_ulong
x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                    ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
x11.XMapWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
x11.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                                ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
XA_INTEGER = 19

work = tempfile.mkdtemp(prefix="gloamyard-cycles-")
read_fd, write_fd = os.pipe()
xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x720x24", "-nolisten", "tcp"],
                        pass_fds=[write_fd], stderr=subprocess.DEVNULL)
os.close(write_fd)
name = ":" + os.read(read_fd, 64).decode().strip()
display = x11.XOpenDisplay(name.encode())
root = x11.XDefaultRootWindow(display)
status_atom = x11.XInternAtom(display, b"_SCREENSAVER_STATUS", 0)
blank_atom = x11.XInternAtom(display, b"BLANK", 0)


def set_status(value):
    data = (ctypes.c_long * 3)(value, int(time.time()), 0)
    x11.XChangeProperty(display, root, status_atom, XA_INTEGER, 32, 0, data, 3)
    x11.XSync(display, 0)


set_status(blank_atom)
window = x11.XCreateSimpleWindow(display, root, 0, 0, 1280, 720, 0, 0, 0)
x11.XMapWindow(display, window)
x11.XSync(display, 0)

env = dict(os.environ, DISPLAY=name, XDG_CONFIG_HOME=work + "/config", XDG_CACHE_HOME=work + "/cache",
           XDG_RUNTIME_DIR=work, HALLOWEEN_SAVER_DIAGNOSTICS="1", ALSOFT_DRIVERS="null")
env.pop("XSCREENSAVER_WINDOW", None)
process = subprocess.Popen([saver, "-window-id", hex(window)], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
log = os.path.join(work, "cache", "net.gloamyard.Gloamyard", "lifecycle-%d.txt" % process.pid)


def count(prefix):
    try:
        with open(log) as f:
            return sum(1 for line in f if line.split(" ", 1)[-1].startswith(prefix))
    except FileNotFoundError:
        return 0


def wait_for(prefix, n, guard=120):
    end = time.time() + guard
    while count(prefix) < n:
        if time.time() > end or process.poll() is not None:
            sys.exit("no %d x '%s' (saver %s)" % (n, prefix, "ended" if process.poll() is not None else "running"))
        time.sleep(0.05)


def sample():
    with open("/proc/%d/status" % process.pid) as f:
        rss = next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))
    return rss / 1024.0, len(os.listdir("/proc/%d/fd" % process.pid)), len(os.listdir("/proc/%d/task" % process.pid))


wait_for("native scene ready", 1)
rows = []
for cycle in range(1, cycles + 1):
    set_status(0)
    wait_for("native release id=", cycle)
    time.sleep(0.3)
    rss, fds, threads = sample()
    rows.append((rss, fds, threads))
    print("cycle %3d: %7.1f MiB resident, %3d open files, %3d threads" % (cycle, rss, fds, threads), flush=True)
    set_status(blank_atom)
    wait_for("native scene ready", cycle + 1)

process.send_signal(signal.SIGTERM)
code = process.wait(timeout=10)
xvfb.terminate()
xvfb.wait()
rss = [r[0] for r in rows]
fds = [r[1] for r in rows]
print("after release, cycles 1 / median / %d: %.1f / %.1f / %.1f MiB resident; open files %d / %d / %d; exit %d"
      % (cycles, rss[0], statistics.median(rss), rss[-1], fds[0], int(statistics.median(fds)), fds[-1], code))
