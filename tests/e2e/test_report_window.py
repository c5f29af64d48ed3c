"""The error report in a window of its own, for runs without any terminal."""
import collections
import os
import signal
import subprocess
import time
import unittest

import xdisplay
from harness import NO_SOUND, PROGRAM, REPORT_HEAD, BackupTestCase, layer_path, posix_only, report_lines

TITLE = "Quillfort by Tamsel Ardy"
MISSING = xdisplay.missing_tools()


def colour_name(pixels):
    """The console colour of one line of text, from its pixels on black.

    Glyph edges blend into the black, so a pixel is its colour scaled down:
    the hue tells red and yellow apart, the brightest neutral pixel grey
    (128) from light grey (192)."""
    kinds = collections.Counter()
    brightest_neutral = 0
    for r, g, b in pixels:
        top = max(r, g, b)
        if top < 60:
            continue
        if abs(r - g) < 24 and abs(g - b) < 24:
            kinds["neutral"] += 1
            brightest_neutral = max(brightest_neutral, top)
        elif g < 0.3 * r and b < 0.3 * r:
            kinds["bright red"] += 1
        elif b < 0.3 * r and abs(r - g) < 0.2 * r:
            kinds["yellow"] += 1
        else:
            kinds["other"] += 1
    kind = kinds.most_common(1)[0][0]
    if kind == "neutral":
        return {128: "dark grey", 192: "light grey"}.get(brightest_neutral, "grey %d" % brightest_neutral)
    return kind


@posix_only("the report window that the Linux build draws itself")
@unittest.skipIf(MISSING, "needs " + ", ".join(MISSING))
class ReportWindowTest(BackupTestCase):
    @classmethod
    def setUpClass(cls):
        cls.display = xdisplay.Display()

    @classmethod
    def tearDownClass(cls):
        cls.display.close()

    def start(self, args):
        """Starts a run whose standard streams are no terminal, file or pipe."""
        env = dict(self.display.env, ALSA_CONFIG_PATH=NO_SOUND, GTK_THEME="Adwaita")
        proc = subprocess.Popen([PROGRAM] + args, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def stop():
            if proc.poll() is None:
                proc.kill()
            proc.wait()
        self.addCleanup(stop)
        return proc

    def line_colours(self, window):
        """The colour of each line of text in the window, from the top."""
        _, _, width, height = self.display.geometry(window)
        rows = self.display.xlib().pixels(window, width, min(height, 200))
        lines, current, blank = [], [], 0
        for row in rows + [[]] * 3:
            lit = [p for p in row if max(p) >= 60]
            # The caret alone is one pixel wide: no text on that row. A thin
            # descender may leave a row or two nearly empty inside a line.
            if len(lit) > 1:
                current.extend(lit)
                blank = 0
            else:
                blank += 1
                if blank == 3 and current:
                    lines.append(colour_name(current))
                    current = []
        return lines

    def text(self):
        """The window's text, through select-all and copy."""
        self.display.key("ctrl+a", "ctrl+c")
        time.sleep(0.2)
        return self.display.clipboard().split("\n")

    def test_report_with_a_subject_and_typed_line(self):
        missing = os.path.join(self.root, "missing")
        proc = self.start(["/p", missing])
        window = self.display.find_window(TITLE)
        self.display.type("typed 1")
        time.sleep(0.3)
        self.assertEqual(self.line_colours(window), ["dark grey", "light grey", "bright red", "bright red"])
        self.assertEqual(self.text(), REPORT_HEAD + [
            '"' + layer_path(missing) + '"',
            " >> is not a directory! Cannot use with /P switch",
            "typed 1"])
        self.display.key("Return")
        self.assertEqual(proc.wait(timeout=30), 0)

    def test_report_without_a_subject(self):
        proc = self.start([])
        window = self.display.find_window(TITLE)
        self.display.type("x")
        self.display.key("BackSpace")
        self.display.type("yes")
        time.sleep(0.3)
        self.assertEqual(self.line_colours(window), ["dark grey", "yellow", "yellow"])
        self.assertEqual(self.text(), REPORT_HEAD + ["No valid arguments", "yes"])
        self.display.key("KP_Enter")
        self.assertEqual(proc.wait(timeout=30), 0)

    def test_closing_the_window_is_the_close_event(self):
        # As for a terminal that is closed, the handler runs the shutdown and
        # the process ends by the hang-up, not with the report's exit code 0.
        proc = self.start([])
        window = self.display.find_window(TITLE)
        self.display.xlib().request_close(window)
        self.assertEqual(proc.wait(timeout=30), -signal.SIGHUP)

    def test_redirected_output_keeps_the_stream_report(self):
        # A display at hand changes nothing when standard output is a file
        # or a pipe: the report goes there, and no window waits for a line.
        env = dict(self.display.env, ALSA_CONFIG_PATH=NO_SOUND)
        path = os.path.join(self.root, "report.txt")
        with open(path, "wb") as f:
            code = subprocess.run([PROGRAM], env=env, stdin=subprocess.DEVNULL, stdout=f,
                                  stderr=subprocess.DEVNULL, timeout=30).returncode
        self.assertEqual(code, 0)
        with open(path, "rb") as f:
            self.assertEqual(report_lines(f.read()), REPORT_HEAD + ["No valid arguments"])

        piped = subprocess.run([PROGRAM], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, timeout=30)
        self.assertEqual(piped.returncode, 0)
        self.assertEqual(report_lines(piped.stdout), REPORT_HEAD + ["No valid arguments"])


if __name__ == "__main__":
    unittest.main()
