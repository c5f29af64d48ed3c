"""The Windows build under Wine: the named mutex, names outside the ANSI code page, the label dialog, DirectSound, redirected reports, the program file's resources."""
import ctypes
import os
import re
import struct
import subprocess
import time
import unittest
import xml.etree.ElementTree as ElementTree
import zipfile

import xdisplay
from harness import (NO_SOUND, PROGRAM, REPORT_HEAD, WINE, BackupTestCase, archive_name_pattern, layer_path,
                     program_command, program_env, report_lines, run, windows_only)
from test_sound import HEADER_LINES, WAIT

TITLE = "Backup caption"
ANOTHER = "Another instance running"
WINDOWS_ONLY = windows_only("set QUILLFORT_WINE to run the Windows build under Wine")


class Desktop:
    """The one X display that Wine draws on (DISPLAY), driven with xdotool.

    There is no window manager: keys go to a window by its id, and Wine is
    told to draw window frames itself, so that an X window's geometry is the
    outer rectangle of its Windows window."""

    prepared = False

    @classmethod
    def prepare(cls):
        if not cls.prepared:
            done = subprocess.run([WINE, "reg", "add", r"HKCU\Software\Wine\X11 Driver",
                                   "/v", "Decorated", "/d", "N", "/f"],
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, timeout=60)
            assert done.returncode == 0, "cannot set Wine's window frames"
            cls.prepared = True

    @staticmethod
    def tool(*args):
        done = subprocess.run(list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        if done.returncode != 0:
            raise RuntimeError("%s failed: %s" % (args, done.stderr.decode(errors="replace")))
        return done.stdout.decode(errors="replace")

    @staticmethod
    def windows(title):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(title)],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        return [int(w) for w in found.stdout.split()]

    @classmethod
    def find_window(cls, title, seconds=60.0):
        """The window with exactly this title, once it is shown. The first
        window of a fresh Wine prefix takes several seconds."""
        end = time.time() + seconds
        while time.time() < end:
            ids = cls.windows(title)
            if ids:
                return ids[0]
            time.sleep(0.05)
        raise AssertionError("no window titled %r appeared" % title)

    @classmethod
    def geometry(cls, window):
        """(left, top, width, height) on the screen; the root window's for None."""
        info = {}
        args = ["-root"] if window is None else ["-id", str(window)]
        for line in cls.tool("xwininfo", *args).splitlines():
            key, _, value = line.strip().partition(":")
            info[key] = value.strip()
        return (int(info["Absolute upper-left X"]), int(info["Absolute upper-left Y"]),
                int(info["Width"]), int(info["Height"]))

    @classmethod
    def key(cls, window, *keys):
        cls.tool("xdotool", "key", "--window", str(window), "--delay", "30", *keys)

    @staticmethod
    def take_focus(window):
        """What a window manager sends a window that the user clicks. Once
        another process has had the foreground, this is how the dialog gets
        the keyboard back when no window manager runs."""
        xlib = xdisplay._Xlib(os.environ["DISPLAY"])
        try:
            event = xdisplay._Event()
            message = event.client
            message.type = xlib.CLIENT_MESSAGE
            message.window = window
            message.message_type = xlib.lib.XInternAtom(xlib.display, b"WM_PROTOCOLS", False)
            message.format = 32
            message.data[0] = xlib.lib.XInternAtom(xlib.display, b"WM_TAKE_FOCUS", False)
            message.data[1] = 0  # CurrentTime
            xlib.lib.XSendEvent(xlib.display, window, False, 0, ctypes.byref(event))
            xlib.lib.XSync(xlib.display, False)
        finally:
            xlib.close()

    @classmethod
    def type(cls, window, text):
        cls.tool("xdotool", "type", "--window", str(window), "--delay", "30", text)


def start(args, env=None):
    """Starts the program with its streams on pipes and empty input."""
    return subprocess.Popen(program_command(args), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, env=program_env(env))


@WINDOWS_ONLY
class DialogTest(BackupTestCase):
    @classmethod
    def setUpClass(cls):
        Desktop.prepare()

    def test_keys_and_close_box(self):
        # What each way of leaving the dialog makes of the default "beta 2".
        cases = [
            ("Enter keeps the default", lambda w: Desktop.key(w, "Return"), "BETA 2"),
            ("Escape gives no label", lambda w: Desktop.key(w, "Escape"), None),
            ("typing appends to the default", lambda w: (Desktop.type(w, " rc"), Desktop.key(w, "Return")),
             "BETA 2 RC"),
            ("Alt+F4 is the close box", lambda w: Desktop.key(w, "alt+F4"), None),
        ]
        _, _, screen_width, screen_height = Desktop.geometry(None)
        for i, (name, act, label) in enumerate(cases):
            with self.subTest(name):
                project = self.make_tree(os.path.join(self.root, str(i), "Game"), {"a.pb": "a"})
                proc = start(["/p", project, "/w", "beta 2"])
                try:
                    window = Desktop.find_window(TITLE)
                    self.assertEqual(Desktop.geometry(window),
                                     (screen_width // 2 - 150, screen_height // 2 - 65, 300, 130))
                    act(window)
                    out, err = proc.communicate(timeout=60)
                finally:
                    if proc.poll() is None:
                        proc.kill()
                        proc.communicate()
                self.assertEqual((proc.returncode, out), (0, b""), err)
                self.assertEqual(Desktop.windows(TITLE), [])
                archive = self.only_archive(os.path.join(project, "_backups"))
                self.assertRegex(os.path.basename(archive), archive_name_pattern(" [PJ]", label))
                self.assertArchive(archive, [("Game\\a.pb", b"a")])


@WINDOWS_ONLY
class SingleInstanceTest(BackupTestCase):
    INSTANCES = 4

    @classmethod
    def setUpClass(cls):
        Desktop.prepare()

    def test_one_of_several_started_together_proceeds(self):
        projects = [self.make_tree(os.path.join(self.root, "P%d" % i), {"a.pb": "a%d" % i})
                    for i in range(self.INSTANCES)]
        procs = [start(["/p", project, "/w", "first"]) for project in projects]
        try:
            window = Desktop.find_window(TITLE)
            # Every other instance reports at once and ends: its input is empty.
            reported = []
            for proc in procs:
                try:
                    out, _ = proc.communicate(timeout=20)
                except subprocess.TimeoutExpired:
                    continue
                self.assertEqual(proc.returncode, 0)
                self.assertEqual(report_lines(out), REPORT_HEAD + [ANOTHER])
                reported.append(proc)
            self.assertEqual(len(reported), self.INSTANCES - 1)
            [first] = [p for p in procs if p not in reported]
            # One started while the first waits in its dialog is turned away too.
            self.assertReport(run(["/p", projects[0], "/silent"]), "", ANOTHER)
            self.assertEqual(Desktop.windows(TITLE), [window])
            # The reports' consoles took the foreground; the user clicks the dialog.
            Desktop.take_focus(window)
            Desktop.key(window, "Return")
            out, err = first.communicate(timeout=60)
            self.assertEqual((first.returncode, out), (0, b""), err)
        finally:
            for proc in procs:
                if proc.poll() is None:
                    proc.kill()
                    proc.communicate()
        index = procs.index(first)
        for i, project in enumerate(projects):
            backups = os.path.join(project, "_backups")
            if i == index:
                archive = self.only_archive(backups)
                self.assertRegex(os.path.basename(archive), archive_name_pattern(" [PJ]", "FIRST"))
                self.assertArchive(archive, [("P%d\\a.pb" % i, b"a%d" % i)])
            else:
                self.assertFalse(os.path.exists(backups), project)
        # The mutex went with the first process.
        self.assertReport(run([]), "", "No valid arguments")


def local_header_flags(path):
    """The general-purpose flags of each entry's local header, in archive order."""
    with open(path, "rb") as f:
        data = f.read()
    with zipfile.ZipFile(path) as z:
        offsets = [i.header_offset for i in z.infolist()]
    flags = []
    for offset in offsets:
        signature, _, flag = struct.unpack_from("<IHH", data, offset)
        assert signature == 0x04034B50, offset
        flags.append(flag)
    return flags


@WINDOWS_ONLY
class NamesOutsideTheCodePageTest(BackupTestCase):
    """Names that the ANSI code page cannot hold, in the project folder's name,
    in entry names and in the archive's own name."""

    def test_project_mode(self):
        files = {"\u65e5\u672c\u8a9e.pb": "japanese", "emoji \U0001F600.pbi": "emoji",
                 "\u30b5\u30d6/\u00e9t\u00e9 \U0001F389.txt": "both", "plain.pb": "ascii"}
        project = self.make_tree(os.path.join(self.root, "\u30d7\u30ed \U0001F680"), files)
        self.assertSuccess(run(["/p", project, "/w", "\u30e9\u30d9\u30eb \U0001F600 x", "/silent"]))
        archive = self.only_archive(os.path.join(project, "_backups"))
        self.assertRegex(os.path.basename(archive),
                         archive_name_pattern(" [PJ]", "\u30e9\u30d9\u30eb \U0001F600 X"))
        base = "\u30d7\u30ed \U0001F680\\"
        expected = [
            (base + "emoji \U0001F600.pbi", b"emoji"),
            (base + "plain.pb", b"ascii"),
            (base + "\u30b5\u30d6\\\u00e9t\u00e9 \U0001F389.txt", b"both"),
            (base + "\u65e5\u672c\u8a9e.pb", b"japanese"),
        ]
        # Every name here leads with the folder's name, so every entry carries the flag.
        self.assertArchive(archive, expected)
        self.assertEqual([bool(f & 0x800) for f in local_header_flags(archive)], [True] * 4)

    def test_file_mode(self):
        name = "\u65e5\u672c\u8a9e \U0001F600.pb"
        folder = self.make_tree(os.path.join(self.root, "Work"), {name: "content"})
        self.assertSuccess(run(["/f", os.path.join(folder, name), "/silent"]))
        archive = self.only_archive(os.path.join(folder, "_backups"))
        self.assertRegex(os.path.basename(archive), archive_name_pattern(" [SS]", name.upper()))
        self.assertArchive(archive, [(name, b"content")])
        self.assertEqual([bool(f & 0x800) for f in local_header_flags(archive)], [True])


@WINDOWS_ONLY
class DirectSoundTest(BackupTestCase):
    def test_null_device_and_no_device(self):
        # ALSA's null device takes the sound but never plays it out, so its
        # play cursor stands still: what counts is that every call succeeded,
        # which the header lines and the full wait show.
        config = os.path.join(self.root, "null.conf")
        with open(config, "w") as f:
            f.write("pcm.!default { type null }\nctl.!default { type hw card 0 }\n")
        cases = [("null device", config, HEADER_LINES, True),
                 ("no device at all", NO_SOUND, b"", False)]
        for name, alsa_config, lines, waits in cases:
            with self.subTest(name):
                project = self.make_tree(os.path.join(self.root, name, "proj"), {"a.pb": "a"})
                code, out, err = run(["/p", project, "/silent"], env={"ALSA_CONFIG_PATH": alsa_config})
                ended = time.time()
                self.assertEqual(code, 0, err)
                self.assertEqual(out, lines)
                archive = self.only_archive(os.path.join(project, "_backups"))
                self.assertArchive(archive, [("proj\\a.pb", b"a")])
                waited = ended - os.stat(archive).st_mtime
                if waits:
                    self.assertGreaterEqual(waited, WAIT)
                    self.assertLess(waited, WAIT + 3.0)
                else:
                    self.assertLess(waited, 1.5)


@WINDOWS_ONLY
class RedirectedReportTest(BackupTestCase):
    def test_input_from_an_empty_file_ends_the_wait(self):
        missing = os.path.join(self.root, "missing")
        empty = os.path.join(self.root, "empty")
        report = os.path.join(self.root, "report")
        open(empty, "wb").close()
        with open(empty, "rb") as stdin, open(report, "wb") as stdout:
            started = time.time()
            code = subprocess.run(program_command(["/p", missing]), stdin=stdin,
                                  stdout=stdout, stderr=subprocess.DEVNULL, env=program_env(),
                                  timeout=60).returncode
            took = time.time() - started
        self.assertEqual(code, 0)
        self.assertLess(took, 5.0)
        with open(report, "rb") as f:
            data = f.read()
        self.assertFalse(data.startswith(b"\xff\xfe"), "no byte-order mark")
        self.assertEqual(report_lines(data), REPORT_HEAD + ['"' + layer_path(missing) + '"',
                                                            " >> is not a directory! Cannot use with /P switch"])


class PeFile:
    """The parts of a Windows program file that the tests look at."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = data = f.read()
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        assert data[pe:pe + 4] == b"PE\0\0", "not a PE file"
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.sections = []
        for i in range(sections):
            _, size, address, raw_size, raw = struct.unpack_from("<8sIIII", data, optional + optional_size + 40 * i)
            self.sections.append((address, max(size, raw_size), raw))
        self.imports_rva = struct.unpack_from("<I", data, directories + 8)[0]
        self.resources_rva = struct.unpack_from("<I", data, directories + 16)[0]

    def offset(self, rva):
        for address, size, raw in self.sections:
            if address <= rva < address + size:
                return raw + rva - address
        raise ValueError("address %#x is in no section" % rva)

    def c_string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode()

    def imported_libraries(self):
        names = []
        at = self.offset(self.imports_rva)
        while True:
            descriptor = struct.unpack_from("<IIIII", self.data, at)
            if not any(descriptor):
                return names
            names.append(self.c_string(descriptor[3]).lower())
            at += 20

    def resources(self):
        """{(type id, name id): bytes} for the first language of each resource."""
        base = self.offset(self.resources_rva)

        def entries(at):
            named, numbered = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                yield name, target

        found = {}
        for kind, kind_target in entries(base):
            for name, name_target in entries(base + (kind_target & 0x7FFFFFFF)):
                _, language_target = next(entries(base + (name_target & 0x7FFFFFFF)))
                rva, size = struct.unpack_from("<II", self.data, base + language_target)
                found[(kind, name)] = self.data[self.offset(rva):self.offset(rva) + size]
        return found


RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


@WINDOWS_ONLY
class ProgramFileTest(unittest.TestCase):
    """The shipped i686 program and the x86_64 one that runs here, read as files."""

    def programs(self):
        builds = os.path.dirname(os.path.dirname(os.path.abspath(PROGRAM)))
        found = {"x86_64": (PROGRAM, 0x8664)}
        shipped = os.path.join(builds, "build-win32", "Quillfort.exe")
        if os.path.exists(shipped):
            found["i686"] = (shipped, 0x14C)
        return found

    def test_a_windowed_program_on_its_own(self):
        for arch, (path, machine) in self.programs().items():
            with self.subTest(arch):
                image = PeFile(path)
                self.assertEqual(image.machine, machine)
                self.assertEqual(image.subsystem, 2, "a windowed program, not a console one")
                imports = image.imported_libraries()
                # Linked statically: nothing but system libraries beside it.
                for library in imports:
                    self.assertNotRegex(library, r"^(lib|zlib|archive)", imports)
                self.assertNotIn("dsound.dll", imports, "DirectSound is loaded at run time")

    def test_icon_manifest_and_version(self):
        for arch, (path, _) in self.programs().items():
            with self.subTest(arch):
                resources = PeFile(path).resources()
                group = resources[(RT_GROUP_ICON, 1)]
                reserved, kind, count = struct.unpack_from("<HHH", group, 0)
                self.assertEqual((reserved, kind), (0, 1))
                images = {}
                for i in range(count):
                    width, height, _, _, _, bits, size, number = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
                    icon = resources[(RT_ICON, number)]
                    self.assertEqual(len(icon), size)
                    # Each image is a bitmap whose header agrees with the group's entry.
                    header_size, bitmap_width, bitmap_height, _, bitmap_bits = struct.unpack_from("<IiiHH", icon, 0)
                    self.assertEqual((header_size, bitmap_width, bitmap_height, bitmap_bits),
                                     (40, width, 2 * height, bits))
                    images[(width, height)] = bits
                self.assertEqual(images, {(16, 16): 32, (32, 32): 32})

                manifest = ElementTree.fromstring(resources[(RT_MANIFEST, 1)])
                identities = [e.attrib for e in manifest.iter() if e.tag.endswith("assemblyIdentity")]
                controls = [i for i in identities if i.get("name") == "Microsoft.Windows.Common-Controls"]
                self.assertEqual([c.get("version") for c in controls], ["6.0.0.0"], identities)

                version = resources[(RT_VERSION, 1)]
                fixed = version.index(struct.pack("<I", 0xFEEF04BD))
                file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", version, fixed + 8)
                self.assertEqual((file_ms, file_ls, product_ms, product_ls), (2 << 16, 0, 2 << 16, 0))
                text = version.decode("utf-16-le", "replace")
                self.assertRegex(text, "ProductName\0+Quillfort\0")
                self.assertRegex(text, "ProductVersion\0+2\\.0\\.0\\.0\0")


if __name__ == "__main__":
    unittest.main()
