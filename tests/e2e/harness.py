"""Runs the built program on scratch trees and reads back what it left."""
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest
import zipfile

PROGRAM = os.environ.get("QUILLFORT", os.path.join(os.path.dirname(__file__), "../../build/quillfort"))
# The Windows build runs under this Wine loader when it is set. Linux paths
# then reach the program as they are: it reads /tmp/x as \tmp\x, which
# Windows resolves on the current drive, Wine's Z: (the Linux root).
WINE = os.environ.get("QUILLFORT_WINE", "")
ON_WINE = bool(WINE)
HERE = os.path.dirname(os.path.abspath(__file__))
# A configuration without any playback device: runs end without the chime's wait.
NO_SOUND = os.path.join(HERE, "no-sound.conf")

REPORT_HEAD = ["@ https://quillfort.example/", ""]
ADD_FAILED = "don't know why, but Tarn packer failed to add this file"
STAMP = r"\(\d{4}-\d\d-\d\d\) \d\d-\d\d-\d\d"


def posix_only(reason):
    """Skips a test or a class under Wine: it needs what only the POSIX build has."""
    return unittest.skipIf(ON_WINE, "POSIX only: " + reason)


def windows_only(reason):
    """Skips a test or a class unless the Windows build runs under Wine."""
    return unittest.skipUnless(ON_WINE, "Windows only: " + reason)


def program_command(args):
    """The command line that starts the program with these arguments."""
    return ([WINE] if ON_WINE else []) + [PROGRAM] + list(args)


def program_env(extra=None):
    """The environment that run() gives the program: no chime device, and no
    display for the Linux build (its report then goes to the streams); Wine
    keeps the display, which its own window services need."""
    env = dict(os.environ)
    env.setdefault("ALSA_CONFIG_PATH", NO_SOUND)
    if not ON_WINE:
        env.pop("DISPLAY", None)
    env.update(extra or {})
    return env


def mapped_name(name):
    """A file name as the program holds it: the characters Windows forbids in
    names moved to U+F000 and up, so that they never read as separators."""
    return "".join(chr(0xF000 + ord(c)) if c in '\\:*?"<>|' else c for c in name)


def layer_path(path):
    """A native path as the program shows it: with backslashes."""
    return path.replace("/", "\\")


def run(args, cwd=None, stdin=b"", env=None, user=None, timeout=120, preexec=None):
    """Runs the program; returns (exit code, stdout bytes, stderr bytes)."""
    full_env = program_env(env)
    command = program_command(args)
    if user:
        command = ["setpriv", "--reuid=" + user, "--regid=" + user, "--clear-groups"] + command
        if user == "nobody":
            command[2] = "--regid=nogroup"
    proc = subprocess.run(command, cwd=cwd, input=stdin, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, env=full_env, timeout=timeout,
                          preexec_fn=preexec)
    return proc.returncode, proc.stdout, proc.stderr


def report_lines(stdout):
    """The report's lines, decoded from UTF-16LE with CR LF line ends."""
    text = stdout.decode("utf-16-le")
    assert text.endswith("\r\n"), repr(text)
    return text[:-2].split("\r\n")


class BackupTestCase(unittest.TestCase):
    """A scratch folder per test, readable by every user."""

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="qf-e2e-")
        os.chmod(self.root, 0o755)

    def tearDown(self):
        for dirpath, dirnames, filenames in os.walk(self.root):
            for name in dirnames + filenames:
                try:
                    os.chmod(os.path.join(dirpath, name), 0o755, follow_symlinks=False)
                except (OSError, NotImplementedError):  # links have no mode of their own
                    pass
        shutil.rmtree(self.root, ignore_errors=True)

    def make_tree(self, base, files):
        """Creates files given as {relative path: bytes or str}."""
        for rel, content in files.items():
            path = os.path.join(base, rel) if isinstance(rel, str) else os.path.join(os.fsencode(base), rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(content.encode() if isinstance(content, str) else content)
        return base

    def assertReport(self, result, subject, message):
        code, out, _ = result
        self.assertEqual(code, 0)
        expected = REPORT_HEAD + ([message] if subject == "" else ['"' + subject + '"', " >> " + message])
        self.assertEqual(report_lines(out), expected)

    def assertSuccess(self, result):
        code, out, err = result
        self.assertEqual(code, 0, err)
        self.assertEqual(out, b"", "a successful silent run prints nothing without a sound device")

    def only_archive(self, backups):
        names = [n for n in os.listdir(backups)]
        self.assertEqual(len(names), 1, names)
        return os.path.join(backups, names[0])

    def assertArchive(self, path, expected_entries):
        """Checks an archive with readers that are not ours.

        expected_entries: list of (entry name, content bytes), in archive order.
        """
        test = subprocess.run(["unzip", "-tqq", path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.assertEqual(test.returncode, 0, test.stdout)
        with zipfile.ZipFile(path) as z:
            infos = z.infolist()
            self.assertEqual([i.filename for i in infos], [e[0] for e in expected_entries])
            for info, (name, content) in zip(infos, expected_entries):
                self.assertEqual(info.compress_type, zipfile.ZIP_DEFLATED, name)
                self.assertEqual(info.date_time, (1980, 1, 1, 0, 0, 0), name)
                self.assertEqual(info.external_attr >> 16, 0o100644, name)
                self.assertEqual(info.file_size, len(content), name)
                self.assertEqual(bool(info.flag_bits & 0x800), not name.isascii(), name)
                self.assertEqual(z.read(info), content, name)
        listing = subprocess.run(["bsdtar", "-tf", path], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.assertEqual(listing.returncode, 0, listing.stderr)


def archive_name_pattern(tags, label=None):
    tail = re.escape(tags) + (re.escape(" \u2014 " + label) if label is not None else "")
    return re.compile("^" + STAMP + tail + r"\.zip$")


def wait_for(predicate, seconds=10.0):
    end = time.time() + seconds
    while time.time() < end:
        if predicate():
            return True
        time.sleep(0.02)
    return False
