"""The label dialog on an X display, and its stand-in on a terminal."""
import errno
import os
import pty
import select
import subprocess
import tempfile
import time
import unittest

import xdisplay
from harness import NO_SOUND, PROGRAM, BackupTestCase, archive_name_pattern, posix_only, run

TITLE = "Backup caption"
PROMPT = "Set label for this backup. 64 characters max: "
MISSING = xdisplay.missing_tools()
GTK_ONLY = posix_only("the GTK dialog and the terminal prompt; the Windows dialog has tests of its own")


class LabelRun(BackupTestCase):
    """A project to back up, and the archive name that a run leaves."""

    def project(self):
        """A fresh project for each run, so that each leaves its own archive."""
        return self.make_tree(os.path.join(tempfile.mkdtemp(dir=self.root), "Game"), {"a.pb": "a"})

    def archive_name(self, project):
        return os.path.basename(self.only_archive(os.path.join(project, "_backups")))

    def assertLabel(self, project, label, tags=" [PJ]"):
        self.assertRegex(self.archive_name(project), archive_name_pattern(tags, label))


@GTK_ONLY
@unittest.skipIf(MISSING, "needs " + ", ".join(MISSING))
class DialogTest(LabelRun):
    @classmethod
    def setUpClass(cls):
        cls.display = xdisplay.Display()

    @classmethod
    def tearDownClass(cls):
        cls.display.close()

    def start(self, args, env=None):
        full_env = dict(self.display.env, ALSA_CONFIG_PATH=NO_SOUND, GTK_THEME="Adwaita")
        full_env.update(env or {})
        proc = subprocess.Popen([PROGRAM] + args, env=full_env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

        def stop():
            if proc.poll() is None:
                proc.kill()
            proc.communicate()
        self.addCleanup(stop)
        return proc

    def finish(self, proc):
        out, err = proc.communicate(timeout=60)
        self.assertEqual(proc.returncode, 0, err)
        self.assertEqual(out, b"")
        return err

    def answer(self, act, label="beta 2"):
        """Runs a backup whose dialog gets `act`(window); returns the project folder."""
        project = self.project()
        proc = self.start(["/p", project] + (["/w", label] if label is not None else []))
        window = self.display.find_window(TITLE)
        act(window)
        self.finish(proc)
        self.assertFalse(self.display.window_exists(window))
        return project

    def test_window_stands_centred_at_its_size_with_the_icon(self):
        def check(window):
            width, height = xdisplay.SCREEN
            self.assertEqual(self.display.geometry(window),
                             (width // 2 - 150, height // 2 - 65, 300, 130))
            self.assertEqual(self.display.icon_sizes(window), [(16, 16), (32, 32)])
            self.display.key("Return")
        self.assertLabel(self.answer(check), "BETA 2")

    def test_controls_sit_where_the_layout_puts_them(self):
        def check(window):
            time.sleep(0.3)  # the first frame is drawn
            rows = self.display.xlib().pixels(window, 300, 130)
            background = rows[0][0]

            def extent(top, bottom, differs):
                points = [(x, y) for y in range(top, bottom) for x in range(300) if differs(rows[y][x])]
                xs, ys = [p[0] for p in points], [p[1] for p in points]
                return min(xs), min(ys), max(xs), max(ys)
            # The prompt's text runs into the control's right edge (x 290) and
            # is cut there: on one line, not wrapped and not ellipsized.
            left, _, right, bottom = extent(0, 31, lambda c: c != background)
            self.assertEqual((left, right), (10, 289))
            self.assertLess(bottom, 32)
            # The field's frame and the button's border, each at its place and size.
            self.assertEqual(extent(31, 56, lambda c: c != background), (10, 32, 284, 52))
            self.assertEqual(extent(56, 130, lambda c: sum(c) < 600), (110, 67, 189, 91))
            self.display.key("Escape")
        self.answer(check)

    def test_typing_edits_the_default(self):
        cases = [
            # What the keys do, the label that results.
            (lambda: self.display.key("Return"), "BETA 2"),
            (lambda: (self.display.type(" x"), self.display.key("Return")), "BETA 2 X"),
            (lambda: (self.display.key("BackSpace", "BackSpace"), self.display.type("3"),
                      self.display.key("Return")), "BETA3"),
            (lambda: (self.display.key("ctrl+a"), self.display.type("new"),
                      self.display.key("KP_Enter")), "NEW"),
            (lambda: self.display.tool("xdotool", "mousemove", "--window", str(self.window), "150", "79",
                                       "click", "1"), "BETA 2"),
            (lambda: (self.display.key("ctrl+a", "BackSpace", "Return")), None),
        ]
        for keys, label in cases:
            with self.subTest(label=label):
                def act(window):
                    self.window = window
                    keys()
                self.assertLabel(self.answer(act), label)

    def test_every_way_of_closing_gives_no_label(self):
        cases = {
            "Escape": lambda window: self.display.key("Escape"),
            "close box": lambda window: self.display.xlib().request_close(window),
        }
        for name, act in cases.items():
            with self.subTest(name):
                self.assertLabel(self.answer(act), None)

    def test_typed_label_is_cleaned_and_cut_to_64(self):
        typed = "x" * 40 + "/" + "y" * 59

        def act(window):
            self.display.type(typed)
            self.display.key("Return")
        project = self.answer(act, label=None)
        self.assertEqual(len(typed), 100)
        self.assertLabel(project, "X" * 40 + "_" + "Y" * 23)

    def test_file_mode_offers_the_file_name(self):
        folder = self.make_tree(os.path.join(self.root, "Work"), {"tool.pb": "tool"})
        proc = self.start(["/f", os.path.join(folder, "tool.pb")])
        self.display.find_window(TITLE)
        self.display.type("!")
        self.display.key("Return")
        self.finish(proc)
        self.assertLabel(folder, "TOOL.PB!", tags=" [SS]")

    def test_only_a_shown_dialog_loads_gtk(self):
        project = self.project()
        proc = self.start(["/p", project, "/w", "quiet", "/silent"], env={"LD_DEBUG": "files"})
        loaded = self.finish(proc)
        self.assertIn(b"libarchive", loaded)
        self.assertNotIn(b"libgtk-3", loaded)
        self.assertNotIn(b"libedit", loaded)

        proc = self.start(["/p", project, "/w", "asked"], env={"LD_DEBUG": "files"})
        self.display.find_window(TITLE)
        self.display.key("Return")
        self.assertIn(b"libgtk-3.so.0", self.finish(proc))


@GTK_ONLY
class WithoutDisplayTest(LabelRun):
    def test_no_display_and_no_terminal_leave_the_label_empty(self):
        project = self.project()
        code, out, err = run(["/p", project, "/w", "beta"], env={"WAYLAND_DISPLAY": ""})
        self.assertEqual((code, out), (0, b""), err)
        self.assertLabel(project, None)


@GTK_ONLY
class TerminalPromptTest(LabelRun):
    """The prompt on a terminal when there is no display, driven through a pseudo-terminal."""

    def ask(self, keys, label="beta 2"):
        """Runs a backup on a terminal, sends `keys` once the prompt shows;
        returns the project and what the terminal showed."""
        project = self.project()
        env = dict(os.environ, ALSA_CONFIG_PATH=NO_SOUND, TERM="xterm")
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        pid, terminal = pty.fork()
        if pid == 0:
            os.execve(PROGRAM, [PROGRAM, "/p", project, "/w", label], env)
        shown = b""
        try:
            # The default shows once the editor reads: the terminal is in its
            # raw mode then. Keys sent before that are typed ahead into the
            # terminal's own line mode, which would apply Backspace and
            # Ctrl+U itself, to its own empty line.
            shown = self.read_until(terminal, shown, (PROMPT + label.upper()).encode())
            for key in keys:
                os.write(terminal, key)
                time.sleep(0.2)
            shown = self.read_until(terminal, shown, None)
        finally:
            _, status = os.waitpid(pid, 0)
            os.close(terminal)
        self.assertEqual(os.waitstatus_to_exitcode(status), 0, shown)
        return project, shown.decode(errors="replace")

    def read_until(self, terminal, shown, wanted, seconds=30):
        """Reads the terminal until `wanted` shows, or to its end when None."""
        end = time.time() + seconds
        while time.time() < end:
            if wanted is not None and wanted in shown:
                return shown
            ready, _, _ = select.select([terminal], [], [], 0.1)
            if not ready:
                continue
            try:
                chunk = os.read(terminal, 4096)
            except OSError as e:
                if e.errno != errno.EIO:
                    raise
                chunk = b""
            if not chunk:
                if wanted is None:
                    return shown
                break
            shown += chunk
        self.fail("the terminal did not show %r: %r" % (wanted, shown))

    def test_prompt_shows_the_title_and_the_default(self):
        project, shown = self.ask([b"\r"])
        self.assertTrue(shown.startswith(TITLE + "\r\n" + PROMPT + "BETA 2"), shown)
        self.assertLabel(project, "BETA 2")

    def test_default_is_edited_in_place(self):
        cases = [
            ([b" x\r"], "BETA 2 X"),
            ([b"\x1b[D\x1b[DZ\r"], "BETAZ 2"),       # two arrows left, then typed
            ([b"\x1b[H", b"<\r"], "_BETA 2"),         # Home; the typed text is cleaned too
            ([b"\x7f\x7f", "\u00fc\r".encode()], "BETA\u00dc"),  # the erase key
            ([b"\x15new\r"], "NEW"),                  # Ctrl+U empties the line
            ([b"\t\r"], "BETA 2"),                    # Tab neither completes nor inserts
        ]
        for keys, label in cases:
            with self.subTest(keys=keys):
                project, _ = self.ask(keys)
                self.assertLabel(project, label)

    def test_escape_and_end_of_input_cancel(self):
        for keys in ([b"\x1b"], [b" more", b"\x1b"], [b"\x04"]):
            with self.subTest(keys=keys):
                project, shown = self.ask(keys)
                self.assertLabel(project, None)
                self.assertTrue(shown.endswith("\r\n"), shown)


if __name__ == "__main__":
    unittest.main()
