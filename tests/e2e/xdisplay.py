"""A private X display (Xvfb, no window manager) and the means to drive windows on it.

Keys and text go through xdotool, geometry through xwininfo, the clipboard
through xclip; the close box and screen pixels through Xlib itself (ctypes),
since without a window manager no tool sends the close request that a
window's close box sends.
"""
import ctypes
import ctypes.util
import os
import shutil
import subprocess
import time

TOOLS = ["Xvfb", "xdotool", "xwininfo", "xprop", "xclip"]
SCREEN = (1280, 1024)


def missing_tools():
    return [tool for tool in TOOLS if shutil.which(tool) is None]


class Display:
    """Xvfb on a free display number, for the life of the object."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % SCREEN,
             "-nolisten", "tcp"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(read_end)
        self.name = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.name)
        self.env.pop("WAYLAND_DISPLAY", None)
        self._xlib = None

    def close(self):
        if self._xlib is not None:
            self._xlib.close()
        self.server.terminate()
        self.server.wait(timeout=10)

    def tool(self, *args):
        """Runs an X tool on this display; returns its standard output."""
        done = subprocess.run(list(args), env=self.env, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=30)
        if done.returncode != 0:
            raise RuntimeError("%s failed: %s" % (args, done.stderr.decode(errors="replace")))
        return done.stdout.decode(errors="replace")

    def find_window(self, title, seconds=15.0):
        """The id of the visible window with exactly this title, once it is
        there and has the keyboard."""
        end = time.time() + seconds
        pattern = "^" + title.replace("(", r"\(").replace(")", r"\)") + "$"
        while time.time() < end:
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", pattern],
                                   env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            ids = found.stdout.split()
            if ids:
                self.wait_for_focus(int(ids[0]), end - time.time())
                return int(ids[0])
            time.sleep(0.05)
        raise AssertionError("no window titled %r appeared" % title)

    def wait_for_focus(self, window, seconds=10.0):
        """Waits until the window has the keyboard: keys sent before then are lost."""
        end = time.time() + seconds
        while time.time() < end:
            focus = subprocess.run(["xdotool", "getwindowfocus", "-f"], env=self.env,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.split()
            if focus and int(focus[0]) == window:
                return
            time.sleep(0.05)
        raise AssertionError("window %d never got the keyboard" % window)

    def window_exists(self, window):
        return subprocess.run(["xwininfo", "-id", str(window)], env=self.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0

    def geometry(self, window):
        """(left, top, width, height) of a window on the screen."""
        info = {}
        for line in self.tool("xwininfo", "-id", str(window)).splitlines():
            key, _, value = line.strip().partition(":")
            info[key] = value.strip()
        return (int(info["Absolute upper-left X"]), int(info["Absolute upper-left Y"]),
                int(info["Width"]), int(info["Height"]))

    def icon_sizes(self, window):
        """The (width, height) of each image in the window's _NET_WM_ICON."""
        text = self.tool("xprop", "-id", str(window), "-notype", "32c", "_NET_WM_ICON")
        values = [int(v) for v in text.partition("=")[2].replace(",", " ").split()]
        sizes = []
        while len(values) >= 2:
            w, h = values[0], values[1]
            sizes.append((w, h))
            values = values[2 + w * h:]
        return sorted(sizes)

    def key(self, *keys):
        self.tool("xdotool", "key", "--delay", "30", *keys)

    def type(self, text):
        self.tool("xdotool", "type", "--delay", "15", text)

    def clipboard(self):
        return self.tool("xclip", "-o", "-selection", "clipboard")

    def xlib(self):
        if self._xlib is None:
            self._xlib = _Xlib(self.name)
        return self._xlib


class _XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage, as far as reading the pixels needs.
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("client", _ClientMessage), ("pad", ctypes.c_long * 24)]


class _Xlib:
    ZPIXMAP = 2
    CLIENT_MESSAGE = 33

    def __init__(self, name):
        lib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        lib.XOpenDisplay.restype = ctypes.c_void_p
        lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        lib.XInternAtom.restype = ctypes.c_ulong
        lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        lib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                   ctypes.POINTER(_Event)]
        lib.XGetImage.restype = ctypes.POINTER(_XImage)
        lib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                  ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        lib.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
        lib.XFlush.argtypes = [ctypes.c_void_p]
        lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.lib = lib
        self.display = lib.XOpenDisplay(name.encode())
        if not self.display:
            raise RuntimeError("cannot open display " + name)

    def close(self):
        self.lib.XCloseDisplay(self.display)

    def request_close(self, window):
        """What a window manager sends when the user clicks the close box."""
        event = _Event()
        message = event.client
        message.type = self.CLIENT_MESSAGE
        message.window = window
        message.message_type = self.lib.XInternAtom(self.display, b"WM_PROTOCOLS", False)
        message.format = 32
        message.data[0] = self.lib.XInternAtom(self.display, b"WM_DELETE_WINDOW", False)
        message.data[1] = 0  # CurrentTime
        self.lib.XSendEvent(self.display, window, False, 0, ctypes.byref(event))
        self.lib.XSync(self.display, False)

    def pixels(self, window, width, height):
        """The window's pixels as rows of (r, g, b)."""
        image = self.lib.XGetImage(self.display, window, 0, 0, width, height, 0xFFFFFFFF, self.ZPIXMAP)
        if not image:
            raise RuntimeError("cannot read the window's pixels")
        try:
            info = image.contents
            if info.bits_per_pixel != 32 or info.byte_order != 0:
                raise RuntimeError("unexpected pixel format")
            data = ctypes.string_at(info.data, info.bytes_per_line * height)
            rows = []
            for y in range(height):
                line = data[y * info.bytes_per_line:y * info.bytes_per_line + 4 * width]
                rows.append([(line[i + 2], line[i + 1], line[i]) for i in range(0, 4 * width, 4)])
            return rows
        finally:
            self.lib.XDestroyImage(image)
