"""Backups under hostile conditions: kills at any moment, full disks, special files, odd trees, many instances."""
import collections
import errno
import os
import random
import re
import resource
import select
import shutil
import signal
import socket
import stat
import subprocess
import sys
import time
import unittest
import zipfile

from harness import (ADD_FAILED, ON_WINE, PROGRAM, REPORT_HEAD, STAMP, BackupTestCase,
                     layer_path, posix_only, program_command, program_env, report_lines, run)
from test_backup import expected_entries

FINAL_NAME = re.compile("^" + STAMP + r" \[PJ\].*\.zip$")
PARTIAL_SUFFIX = ".zip.partial"
CANNOT_CREATE = "cannot create backup!"
ANOTHER = "Another instance running"
PROMPT = "Set label for this backup. 64 characters max: "
# The program hands its archive to the file system in blocks of this size,
# and what is left at the close; that decides which step meets a full disk.
WRITE_BLOCK = 128 * 1024
PAGE = 4096


def write_files(base, files):
    for rel, content in files.items():
        path = os.path.join(base, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)


def clean_name(name):
    """An entry name as the program writes it: each byte that is not UTF-8 as U+FFFD."""
    return re.sub("[\udc80-\udcff]", "\ufffd", name)


def all_entries(project):
    """Every file of a tree as (entry name, content), in the program's order."""
    return [(clean_name(n), c) for n, c in expected_entries(project, None, lambda n: True)]


# --- kill points (also driven by bench/kill_points.py) ---

def make_busy_tree(project, seed=7):
    """A few hundred sources and some files of megabytes: a backup of it lasts
    about half a second."""
    rnd = random.Random(seed)
    files = {}
    for i in range(320):
        if i % 40 == 0:
            data = rnd.randbytes(2 * 1024 * 1024) + b"Procedure P()\n" * 150000
        else:
            data = rnd.randbytes(rnd.randint(0, 8000)) + b"EndProcedure\n" * rnd.randint(0, 600)
        files["d%02d/f%03d.pb" % (i % 16, i)] = data
    write_files(project, files)


def archive_fault(path, names):
    """Why the archive at `path` is not a complete backup holding `names`, or None."""
    test = subprocess.run(["unzip", "-tqq", path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if test.returncode != 0:
        return "unzip -t: " + test.stdout.decode(errors="replace")[-300:]
    with zipfile.ZipFile(path) as z:
        listed = z.namelist()
    if listed != names:
        return "holds %d entries, not the %d expected" % (len(listed), len(names))
    return None


def survey(backups, names):
    """Sorts a backup folder into complete archives under a final name,
    leftovers of killed runs, broken archives under a final name, and strays."""
    complete, partial, broken, strays = [], [], [], []
    for name in sorted(os.listdir(backups)) if os.path.isdir(backups) else []:
        if FINAL_NAME.match(name):
            fault = archive_fault(os.path.join(backups, name), names)
            (broken if fault else complete).append(name + (": " + fault if fault else ""))
        elif name.endswith(PARTIAL_SUFFIX) and FINAL_NAME.match(name[:-len(".partial")]):
            partial.append(name)
        else:
            strays.append(name)
    return complete, partial, broken, strays


def kill_points(project, count, next_run_every=4):
    """Kills backups of `project` with SIGKILL at `count` moments spread over a
    whole run and checks the backup folder after each; every few kills a
    backup is run to its end. Returns the figures and the problems seen."""
    backups = os.path.join(project, "_backups")
    args = ["/p", project, "/all", "/silent"]
    start = time.perf_counter()
    code, out, err = run(args)
    duration = time.perf_counter() - start
    if code != 0 or out:
        return None, ["the first backup failed: %r %r" % (out, err)]
    [first] = os.listdir(backups)
    with zipfile.ZipFile(os.path.join(backups, first)) as z:
        names = z.namelist()
    os.remove(os.path.join(backups, first))
    on_disk = sorted(e[0] for e in all_entries(project))
    if sorted(names) != on_disk:
        return None, ["the first backup does not hold the tree"]

    figures = collections.Counter(run_seconds=round(duration, 2))
    problems = []

    def check(after):
        complete, partial, broken, strays = survey(backups, names)
        figures["broken"] += len(broken)
        problems.extend("%s: broken %s" % (after, b) for b in broken)
        problems.extend("%s: stray file %s" % (after, s) for s in strays)
        return complete, partial

    for i in range(count):
        delay = duration * 1.1 * i / max(count - 1, 1)
        proc = subprocess.Popen(program_command(args), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, env=program_env())
        time.sleep(delay)
        proc.kill()
        out, err = proc.communicate()
        figures["tried"] += 1
        if proc.returncode == -signal.SIGKILL:
            figures["killed while running"] += 1
        elif proc.returncode != 0 or out:
            problems.append("kill %d: the run ended badly before the kill: %r %r" % (i, out, err))
        complete, partial = check("kill %d after %.3f s" % (i, delay))
        figures["left a complete archive"] += bool(complete)
        figures["left a partial file"] += bool(partial)
        for name in complete:
            os.remove(os.path.join(backups, name))
        if i % next_run_every == next_run_every - 1 or i == count - 1:
            figures["next runs"] += 1
            code, out, err = run(args)
            complete, partial = check("run after kill %d" % i)
            if code != 0 or out or partial or len(complete) != 1:
                problems.append("run after kill %d: exit %d, %r, complete %s, partial %s"
                                % (i, code, report_lines(out) if out else "", complete, partial))
            for name in complete:
                os.remove(os.path.join(backups, name))
    return figures, problems


def describe_kills(figures):
    return ("kill points: %(tried)d tried (%(killed while running)d while running, run %(run_seconds)s s); "
            "broken archives under a final name: %(broken)d; left a partial file: %(left a partial file)d, "
            "a complete archive: %(left a complete archive)d; backups run to their end after kills: %(next runs)d"
            % figures)


class KillPointTest(BackupTestCase):
    def test_a_killed_backup_never_leaves_a_broken_archive(self):
        project = os.path.join(self.root, "Busy")
        make_busy_tree(project)
        figures, problems = kill_points(project, 40)
        self.assertEqual(problems, [])
        print("\n" + describe_kills(figures), file=sys.stderr)
        self.assertEqual(figures["broken"], 0)
        # The kills must really fall inside the runs, writing included.
        self.assertGreaterEqual(figures["killed while running"], 25, figures)
        self.assertGreater(figures["left a partial file"], 0, figures)


# --- full disks and write errors ---

class ArchiveLayout:
    """Where each entry of a finished archive begins: the archive of a tree is
    the same byte for byte on every run, so a run that fails part way can be
    held against it."""

    def __init__(self, path, project):
        with open(path, "rb") as f:
            self.data = f.read()
        with zipfile.ZipFile(path) as z:
            infos = z.infolist()
            self.central = z.start_dir
        self.starts = [i.header_offset for i in infos] + [self.central]
        parent = os.path.dirname(project)
        self.paths = [layer_path(os.path.join(parent, i.filename.replace("\\", "/"))) for i in infos]

    def outcome(self, limit):
        """What a run must end in when the archive may grow to `limit` bytes:
        "success", or the set of reports (subject or CANNOT_CREATE) it may show."""
        size = len(self.data)
        if limit >= size:
            return "success"
        # The block holding byte `limit` goes out when its last byte is produced.
        last = (limit // WRITE_BLOCK + 1) * WRITE_BLOCK - 1
        if last >= self.central:
            return {CANNOT_CREATE}  # written by the close
        entry = max(i for i, s in enumerate(self.starts) if s <= last)
        # Produced while entry `entry` is added, or when the next one finishes it.
        later = self.paths[entry + 1] if entry + 1 < len(self.paths) else CANNOT_CREATE
        return {self.paths[entry], later}


class DiskFullTest(BackupTestCase):
    EARLIER = "(2030-01-01) 00-00-00 [PJ].zip"

    def prepare(self):
        """A tree, the archive that a backup of it gives, and that archive kept
        in the backup folder as an earlier backup."""
        rnd = random.Random(11)
        files = {"a.pb": b"a" * 100, "big.pb": rnd.randbytes(1500 * 1024)}
        files.update(("s%03d.pb" % i, rnd.randbytes(1000)) for i in range(200))
        project = os.path.join(self.root, "Game")
        write_files(project, files)
        self.assertSuccess(run(["/p", project, "/silent"]))
        backups = os.path.join(project, "_backups")
        [name] = os.listdir(backups)
        layout = ArchiveLayout(os.path.join(backups, name), project)
        os.rename(os.path.join(backups, name), os.path.join(backups, self.EARLIER))
        return project, layout

    def check_run(self, project, layout, limit, result, others=()):
        """Checks a run against what its limit allows; returns its kind."""
        code, out, err = result
        self.assertEqual(code, 0, "the program must not die of the limit: %r" % err)
        backups = os.path.join(project, "_backups")
        expected = layout.outcome(limit)
        kind = "success"
        if expected == "success":
            self.assertSuccess(result)
            [new] = [n for n in os.listdir(backups) if n != self.EARLIER and n not in others]
            with open(os.path.join(backups, new), "rb") as f:
                self.assertEqual(f.read(), layout.data)
            os.remove(os.path.join(backups, new))
        else:
            lines = report_lines(out)
            self.assertEqual(lines[:2], REPORT_HEAD)
            subject, message = lines[2].strip('"'), lines[3][len(" >> "):]
            if message == CANNOT_CREATE:
                self.assertIn(CANNOT_CREATE, expected, (limit, lines))
                self.assertRegex(subject, "^" + re.escape(layer_path(backups) + "\\") + STAMP)
                kind = "finishing"
            else:
                self.assertEqual(message, ADD_FAILED)
                self.assertIn(subject, expected, limit)
                kind = "data of big.pb" if subject.endswith("big.pb") else "header of a small file"
        # Earlier files untouched, nothing temporary left.
        self.assertEqual(sorted(os.listdir(backups)), sorted([self.EARLIER, *others]))
        with open(os.path.join(backups, self.EARLIER), "rb") as f:
            self.assertEqual(f.read(), layout.data)
        return kind

    @posix_only("a file-size limit, which kills a Windows program under Wine with SIGXFSZ")
    def test_file_size_limit(self):
        project, layout = self.prepare()
        size = len(layout.data)
        limits = sorted({*range(0, size, size // 24), 1, layout.central - 1, layout.central,
                         size - 1, size, size + 1})
        seen = collections.Counter()
        for limit in limits:
            with self.subTest(limit=limit):
                def apply_limit(limit=limit):
                    resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
                result = run(["/p", project, "/silent"], preexec=apply_limit)
                seen[self.check_run(project, layout, limit, result)] += 1
        print("\nfile-size limits (archive %d bytes): %s" % (size, dict(seen)), file=sys.stderr)
        self.assertEqual(set(seen), {"success", "finishing", "data of big.pb", "header of a small file"})

    def test_full_file_system(self):
        project, layout = self.prepare()
        backups = os.path.join(project, "_backups")
        earlier = os.path.join(self.root, "earlier.zip")
        os.rename(os.path.join(backups, self.EARLIER), earlier)
        size = len(layout.data)
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % (4 * size), "qf-full", backups],
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if mounted.returncode != 0:
            self.skipTest("cannot mount a tmpfs here: " + mounted.stdout.decode(errors="replace").strip())
        try:
            shutil.copyfile(earlier, os.path.join(backups, self.EARLIER))
            # Free space, in whole pages, that lets each step be the one to fail.
            wanted = ["data of big.pb", "header of a small file", "finishing", "success"]
            pages = {}
            for free in range(0, size + 2 * PAGE, PAGE):
                outcome = layout.outcome(free)
                kind = ("success" if outcome == "success" else "finishing" if CANNOT_CREATE in outcome
                        else "data of big.pb" if any(p.endswith("big.pb") for p in outcome)
                        else "header of a small file")
                pages.setdefault(kind, []).append(free)
            seen = []
            for kind in wanted:
                free = pages[kind][len(pages[kind]) // 2]
                filler = os.path.join(backups, "filler")
                stats = os.statvfs(backups)
                with open(filler, "wb") as f:
                    f.write(bytes(stats.f_bavail * stats.f_frsize - free))
                with self.subTest(free=free):
                    got = self.check_run(project, layout, free, run(["/p", project, "/silent"]),
                                         others=["filler"])
                    self.assertEqual(got, kind)
                    seen.append("%s at %d bytes free" % (kind, free))
                os.remove(filler)
            print("\nfull tmpfs: " + "; ".join(seen), file=sys.stderr)
        finally:
            subprocess.run(["umount", "-l", backups])

        # No room for one more file: the archive cannot even be started.
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d,nr_inodes=2" % (4 * size),
                                  "qf-full", backups])
        self.assertEqual(mounted.returncode, 0)
        try:
            shutil.copyfile(earlier, os.path.join(backups, self.EARLIER))
            code, out, _ = run(["/p", project, "/silent"])
            self.assertEqual(code, 0)
            lines = report_lines(out)
            self.assertEqual(lines[3], " >> " + CANNOT_CREATE)
            self.assertRegex(lines[2], '^"' + re.escape(layer_path(backups) + "\\") + STAMP)
            self.assertEqual(os.listdir(backups), [self.EARLIER])
        finally:
            subprocess.run(["umount", "-l", backups])


# --- special files, odd trees ---

def make_special(path, kind):
    """Makes a FIFO, a socket or a device node at path; False when not permitted."""
    if kind == "fifo":
        os.mkfifo(path)
    elif kind == "socket":
        with socket.socket(socket.AF_UNIX) as s:
            s.bind(path)
    else:
        try:
            os.mknod(path, stat.S_IFCHR | 0o600, os.makedev(1, 3))
        except PermissionError:
            return False
    return True


@posix_only("FIFOs, sockets, device nodes and symbolic links")
class SpecialFileTest(BackupTestCase):
    def test_special_files_are_left_out_and_refused(self):
        project = self.make_tree(os.path.join(self.root, "Proj"), {"a.pb": "a", "sub/b.pb": "b"})
        specials = []
        for kind in ("fifo", "socket", "device"):
            for where in ("", "sub/"):
                path = os.path.join(project, where + kind + ".pb")
                if make_special(path, kind):
                    specials.append(path)
        os.symlink("fifo.pb", os.path.join(project, "to-fifo.pb"))
        os.symlink("sub/b.pb", os.path.join(project, "to-file.pb"))
        specials.append(os.path.join(project, "to-fifo.pb"))
        # Nothing blocks: a FIFO opened for reading would wait for a writer forever.
        self.assertSuccess(run(["/p", project, "/all", "/silent"], timeout=30))
        archive = self.only_archive(os.path.join(project, "_backups"))
        self.assertArchive(archive, [("Proj\\a.pb", b"a"), ("Proj\\sub\\b.pb", b"b"),
                                     ("Proj\\to-file.pb", b"b")])
        print("\nspecial files left out of a tree: %d (%s)" % (
            len(specials), ", ".join(os.path.relpath(p, project) for p in specials)), file=sys.stderr)
        for path in specials:
            with self.subTest(path=path):
                self.assertReport(run(["/f", path, "/silent"], timeout=30), layer_path(path),
                                  "is not a file! Cannot use with /F switch")
        self.assertReport(run(["/p", specials[0], "/silent"], timeout=30), layer_path(specials[0]),
                          "is not a directory! Cannot use with /P switch")

    def test_dangling_link_is_reported(self):
        project = self.make_tree(os.path.join(self.root, "Proj"), {"a.pb": "a", "z.pb": "z"})
        link = os.path.join(project, "gone.pb")
        os.symlink("nowhere.pb", link)
        for args in (["/p", project, "/silent"], ["/f", link, "/silent"]):
            with self.subTest(args=args):
                self.assertReport(run(args, timeout=30), layer_path(link), ADD_FAILED)
                self.assertEqual(os.listdir(os.path.join(project, "_backups")), [])


class OddTreeTest(BackupTestCase):
    def backup(self, project, *extra):
        self.assertSuccess(run(["/p", project, "/all", "/silent", *extra], timeout=120))
        return self.only_archive(os.path.join(project, "_backups"))

    def test_tree_deeper_than_the_path_limit(self):
        # 200 levels of 30-byte names: the deepest paths are about 6,200 bytes,
        # beyond what the system takes in one call. Wine hands every path to
        # Linux whole, so Linux's 4,096-byte limit is its limit too: there 100
        # levels (about 3,100 units) still go far past Windows' classic 260.
        project = os.path.join(self.root, "Deep")
        os.makedirs(project)
        levels = ["level_%03d_%s" % (i, "x" * 20) for i in range(100 if ON_WINE else 200)]
        folder = os.open(project, os.O_RDONLY)
        try:
            for i, name in enumerate(levels + [None]):
                file = os.open("f.pb", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=folder)
                os.write(file, b"level %d" % i)
                os.close(file)
                if name is not None:
                    os.mkdir(name, dir_fd=folder)
                    inner = os.open(name, os.O_RDONLY, dir_fd=folder)
                    os.close(folder)
                    folder = inner
        finally:
            os.close(folder)
        expected = [("\\".join(["Deep", *levels[:i], "f.pb"]), b"level %d" % i) for i in range(len(levels) + 1)]
        archive = self.backup(project)
        # unzip cuts names beyond 4096 bytes with a warning; zipfile and bsdtar read them whole.
        with zipfile.ZipFile(archive) as z:
            self.assertIsNone(z.testzip())
            stored = [(i.filename, z.read(i)) for i in z.infolist()]
        listing = subprocess.run(["bsdtar", "-tf", archive], stdout=subprocess.PIPE)
        self.assertEqual(listing.returncode, 0)
        listed = [n.replace("/", "\\") for n in listing.stdout.decode().splitlines()]
        # Compared whole, not through the test framework's slow diff of long names.
        self.assertTrue(stored == expected, "%d of %d entries" % (len(stored), len(expected)))
        self.assertTrue(listed == [e[0] for e in expected], listed[:3])

    def test_folder_of_100000_entries(self):
        # The slowest test here: about 10 s. Under AddressSanitizer each file
        # costs some 2 ms of heap bookkeeping for its read buffer, so a
        # tenth of the entries keeps that build's run within a minute.
        project = os.path.join(self.root, "Wide")
        os.makedirs(project)
        with open(PROGRAM, "rb") as f:
            sanitized = b"__asan_init" in f.read()
        names = ["f%06d.pb" % i for i in range(10000 if sanitized else 100000)]
        for name in names:
            os.close(os.open(os.path.join(project, name), os.O_WRONLY | os.O_CREAT, 0o644))
        with open(os.path.join(project, names[-1]), "wb") as f:
            f.write(b"last")
        archive = self.backup(project)
        self.assertArchive(archive, [("Wide\\" + n, b"") for n in names[:-1]] + [("Wide\\" + names[-1], b"last")])

    @posix_only("control characters and bytes that are not UTF-8 in names")
    def test_odd_names(self):
        names = [
            b"a" * 255,                          # the longest name a file system allows
            "\u00e9".encode() * 127 + b"x",       # 255 bytes, 128 characters
            b"new\nline.pb", b"carriage\rreturn.pb", b"tab\there.pb", b"ctl\x01\x1b\x7f.pb",
            b"bad\xff.pb", b"cut\xe2\x82.pb", b"overlong\xc0\xaf.pb", b"lone\x80.pb",
            b"dir\xfe/inner.pb", b"dir\nnl/x\ty.pb", b" lead and trail .pb",
        ]
        project = os.path.join(self.root, "Odd")
        for name in names:
            path = os.path.join(os.fsencode(project), name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(b"content of " + name)
        entries = all_entries(project)
        self.assertEqual(len(entries), len(names))
        self.assertArchive(self.backup(project), entries)

    @posix_only("symbolic links")
    def test_link_loops(self):
        project = self.make_tree(os.path.join(self.root, "Proj"), {"a.pb": "a", "sub/b.pb": "b"})
        self.make_tree(self.root, {"Other/x.pb": "x"})
        os.symlink(".", os.path.join(project, "self"))
        os.symlink("..", os.path.join(project, "sub", "up"))
        os.symlink("../..", os.path.join(project, "sub", "outer"))  # the folder holding the project
        os.symlink("sub", os.path.join(project, "lnk"))             # no loop: followed
        # A link leading to a folder that is being walked is not entered again.
        self.assertArchive(self.backup(project), [
            ("Proj\\a.pb", b"a"),
            ("Proj\\lnk\\b.pb", b"b"),
            ("Proj\\lnk\\outer\\Other\\x.pb", b"x"),
            ("Proj\\sub\\b.pb", b"b"),
            ("Proj\\sub\\outer\\Other\\x.pb", b"x"),
        ])


# --- the single-instance guard under load ---

@posix_only("the label prompt on a terminal")
class InstanceLoadTest(BackupTestCase):
    INSTANCES = 20
    ROUNDS = 20

    def test_one_of_many_proceeds(self):
        projects = [self.make_tree(os.path.join(self.root, "P%02d" % i), {"a.pb": "a%d" % i})
                    for i in range(self.INSTANCES)]
        for round_ in range(self.ROUNDS):
            with self.subTest(round=round_):
                self.one_round(projects, round_, kill_the_first=round_ % 2 == 1)
        print("\n%d rounds of %d instances started at once: one proceeded in each; the first was "
              "killed with SIGKILL in %d of them" % (self.ROUNDS, self.INSTANCES, self.ROUNDS // 2),
              file=sys.stderr)

    def one_round(self, projects, round_, kill_the_first):
        """Starts a backup of each project at the same moment, each on its own
        terminal: the one that proceeds stops at the label prompt and the others
        at their report, so each round is decided while all are alive."""
        env = program_env({"TERM": "xterm"})
        env.pop("WAYLAND_DISPLAY", None)
        gate_read, gate_write = os.pipe()
        instances = []
        try:
            for project in projects:
                terminal, child = os.openpty()
                proc = subprocess.Popen(
                    ["bash", "-c", 'read -r -u %d _; exec "$@"' % gate_read, "gate",
                     PROGRAM, "/p", project, "/w", "r%d" % round_],
                    stdin=child, stdout=child, stderr=child, pass_fds=(gate_read,),
                    start_new_session=True, env=env)
                os.close(child)
                instances.append([proc, terminal, b""])
            os.close(gate_read)
            os.close(gate_write)  # opens the gate for all at once
            gate_read = gate_write = None
            self.read_until_waiting(instances)
            first = [i for i in instances if PROMPT.encode() in i[2]]
            others = [i for i in instances if ANOTHER.encode() in i[2]]
            self.assertEqual((len(first), len(others)), (1, self.INSTANCES - 1),
                             [i[2][-60:] for i in instances])
            proc, terminal, _ = first[0]
            project = projects[instances.index(first[0])]
            if kill_the_first:
                proc.kill()
                proc.wait()
            else:
                os.write(terminal, b"\r")
                self.assertEqual(proc.wait(60), 0)
                archive = self.only_archive(os.path.join(project, "_backups"))
                self.assertRegex(os.path.basename(archive), r"\[PJ\] \u2014 R%d\.zip$" % round_)
                name = os.path.basename(project)
                self.assertArchive(archive, [(name + "\\a.pb", b"a%d" % int(name[1:]))])
                shutil.rmtree(os.path.join(project, "_backups"))
            for proc, terminal, _ in others:
                os.write(terminal, b"\r")
            for proc, _, _ in others:
                self.assertEqual(proc.wait(60), 0)
            for project in projects:
                self.assertFalse(os.path.exists(os.path.join(project, "_backups")), project)
        finally:
            for fd in (gate_read, gate_write):
                if fd is not None:
                    os.close(fd)
            for proc, terminal, _ in instances:
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()
                os.close(terminal)

    def read_until_waiting(self, instances, seconds=60):
        """Reads every terminal until each shows the prompt or the report."""
        end = time.time() + seconds
        pending = list(instances)
        while pending and time.time() < end:
            ready, _, _ = select.select([i[1] for i in pending], [], [], 0.1)
            for instance in [i for i in pending if i[1] in ready]:
                try:
                    chunk = os.read(instance[1], 4096)
                except OSError as e:
                    if e.errno != errno.EIO:
                        raise
                    chunk = b""
                instance[2] += chunk
                if not chunk or PROMPT.encode() in instance[2] or ANOTHER.encode() in instance[2]:
                    pending.remove(instance)
        self.assertEqual(pending, [], "instances that never came to wait")


if __name__ == "__main__":
    unittest.main()
