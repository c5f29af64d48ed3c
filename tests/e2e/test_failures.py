"""Every failure ends in its report, leaves no broken archive, and exits with 0."""
import os
import resource
import subprocess
import threading
import time

from harness import (ADD_FAILED, BackupTestCase, layer_path, posix_only, program_command, program_env,
                     report_lines, run)


class ReportTest(BackupTestCase):
    def test_argument_failures(self):
        folder = self.make_tree(os.path.join(self.root, "Game"), {"a.pb": "a", "tool.pb": "t"})
        tool = os.path.join(folder, "tool.pb")
        missing = os.path.join(self.root, "missing")
        cases = [
            ([], "", "No valid arguments"),
            (["/p"], "", "No valid arguments"),
            (["/silent", "/w", "x"], "", "No valid arguments"),
            (["/p", tool], layer_path(tool), "is not a directory! Cannot use with /P switch"),
            (["/p", missing + "/"], layer_path(missing), "is not a directory! Cannot use with /P switch"),
            (["/f", folder], layer_path(folder), "is not a file! Cannot use with /F switch"),
            (["/f", missing], layer_path(missing), "is not a file! Cannot use with /F switch"),
            # The value after /p is taken whatever it looks like.
            (["/p", "/silent"], "\\silent", "is not a directory! Cannot use with /P switch"),
        ]
        for args, subject, message in cases:
            with self.subTest(args=args):
                self.assertReport(run(args), subject, message)
        self.assertFalse(os.path.exists(os.path.join(folder, "_backups")))

    def test_backup_folder_blocked_by_a_file(self):
        project = self.make_tree(os.path.join(self.root, "Game"), {"a.pb": "a", "_backups": "a file"})
        self.assertReport(run(["/p", project, "/silent"]), layer_path(project) + "\\_backups\\",
                          "path cannot be accessed!")

    def test_empty_project_keeps_its_new_backup_folder(self):
        project = os.path.join(self.root, "Empty")
        os.makedirs(os.path.join(project, "sub"))
        self.make_tree(project, {"sub/skip.zip": "not a source"})
        self.assertReport(run(["/p", project, "/silent"]), "", "No files found to backup")
        self.assertEqual(os.listdir(os.path.join(project, "_backups")), [])

    def test_report_reads_one_utf16_line_and_keeps_the_rest(self):
        # A line of input ends the wait; the exit code is still 0.
        code, out, _ = run([], stdin="ok\r\nmore\r\n".encode("utf-16-le"))
        self.assertEqual(code, 0)
        self.assertEqual(report_lines(out)[-1], "No valid arguments")

    def test_read_only_earlier_archive_survives(self):
        project = self.make_tree(os.path.join(self.root, "Game"), {"a.pb": "a"})
        backups = os.path.join(project, "_backups")
        os.makedirs(backups)
        # Archives named for each of the next seconds, read-only for everyone.
        now = time.time()
        names = set()
        for offset in range(0, 8):
            stamp = time.strftime("(%Y-%m-%d) %H-%M-%S", time.localtime(now + offset))
            names.add(stamp + " [PJ] \u2014 RO.zip")
        for name in names:
            path = os.path.join(backups, name)
            with open(path, "wb") as f:
                f.write(b"earlier")
            os.chmod(path, 0o444)
        code, out, _ = run(["/p", project, "/w", "ro", "/silent"])
        lines = report_lines(out)
        self.assertEqual(lines[3], " >> cannot create backup!")
        subject = lines[2].strip('"')
        self.assertTrue(subject.startswith(layer_path(backups) + "\\"), subject)
        self.assertIn(subject.rsplit("\\", 1)[1], names)
        for name in names:
            with open(os.path.join(backups, name), "rb") as f:
                self.assertEqual(f.read(), b"earlier")

    def test_writable_earlier_archive_is_replaced(self):
        project = self.make_tree(os.path.join(self.root, "Game"), {"a.pb": "a"})
        backups = os.path.join(project, "_backups")
        os.makedirs(backups)
        now = time.time()
        for offset in range(0, 8):
            stamp = time.strftime("(%Y-%m-%d) %H-%M-%S", time.localtime(now + offset))
            with open(os.path.join(backups, stamp + " [PJ].zip"), "wb") as f:
                f.write(b"earlier")
        self.assertSuccess(run(["/p", project, "/silent"]))
        replaced = []
        for name in os.listdir(backups):
            with open(os.path.join(backups, name), "rb") as f:
                if f.read() != b"earlier":
                    replaced.append(name)
        self.assertEqual(len(replaced), 1)
        self.assertArchive(os.path.join(backups, replaced[0]), [("Game\\a.pb", b"a")])

    @posix_only("runs the program as another user")
    def test_unreadable_file_removes_the_archive(self):
        project = self.make_tree(os.path.join(self.root, "Game"),
                                 {"a.pb": "a", "b.pb": "secret", "c.pb": "c"})
        os.chmod(project, 0o777)
        secret = os.path.join(project, "b.pb")
        os.chmod(secret, 0o000)
        self.assertReport(run(["/p", project, "/silent"], user="nobody"), layer_path(secret), ADD_FAILED)
        self.assertEqual(os.listdir(os.path.join(project, "_backups")), [])

    def test_file_that_grows_while_read(self):
        project = self.make_tree(os.path.join(self.root, "Game"), {"a.pb": "a"})
        growing = os.path.join(project, "log.txt")
        with open(growing, "wb") as f:
            f.write(os.urandom(32 * 1024 * 1024))
        stop = threading.Event()

        def grow():
            with open(growing, "ab") as f:
                while not stop.is_set():
                    f.write(b"more\n" * 100)
                    f.flush()
        writer = threading.Thread(target=grow)
        writer.start()
        try:
            result = run(["/p", project, "/silent"])
        finally:
            stop.set()
            writer.join()
        self.assertReport(result, layer_path(growing), ADD_FAILED)
        self.assertEqual(os.listdir(os.path.join(project, "_backups")), [])

    @posix_only("a file-size limit, which kills a Windows program under Wine with SIGXFSZ")
    def test_failed_close_is_reported_and_removed(self):
        # Small enough to stay buffered until the close; the file-size limit
        # then stops the archive's end from being written.
        project = self.make_tree(os.path.join(self.root, "Game"),
                                 {"f%03d.pb" % i: "line %d\n" % i for i in range(200)})

        def limit():
            resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))
        code, out, _ = run(["/p", project, "/silent"], preexec=limit)
        lines = report_lines(out)
        self.assertEqual(lines[3], " >> cannot create backup!")
        self.assertTrue(lines[2].startswith('"' + layer_path(project) + "\\_backups\\("), lines[2])
        self.assertEqual(os.listdir(os.path.join(project, "_backups")), [])


class SingleInstanceTest(BackupTestCase):
    def test_second_instance_reports_while_the_first_waits(self):
        first = subprocess.Popen(program_command([]), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, env=program_env())
        try:
            # Once the first shows its report it holds the lock and waits for a line.
            head = os.read(first.stdout.fileno(), 4096)
            self.assertTrue(head)
            self.assertReport(run(["/p", self.root, "/silent"]), "", "Another instance running")
        finally:
            out, _ = first.communicate(b"", timeout=30)
        self.assertEqual(first.returncode, 0)
        self.assertEqual(report_lines(head + out)[-1], "No valid arguments")
        # The lock went with the first process.
        self.assertReport(run([]), "", "No valid arguments")

    def test_killed_instance_does_not_block_the_next(self):
        first = subprocess.Popen(program_command([]), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 env=program_env())
        # Killed once it holds the lock and waits in its report.
        self.assertTrue(os.read(first.stdout.fileno(), 4096))
        first.kill()
        first.wait()
        first.stdin.close()
        first.stdout.close()
        self.assertReport(run([]), "", "No valid arguments")


class PartialArchiveTest(BackupTestCase):
    def test_leftovers_are_removed_and_never_collected(self):
        project = self.make_tree(os.path.join(self.root, "Game"), {
            "a.pb": "a",
            "_backups/(2030-01-01) 00-00-00 [PJ].zip.partial": "killed run",
            "Inner/_backups/(2030-01-01) 00-00-00 [PJ].zip.partial": "killed run of an inner project",
            "Inner/_backups/(2030-01-01) 00-00-00 [PJ].zip": "an inner backup",
        })
        self.assertSuccess(run(["/p", project, "/all", "/silent"]))
        backups = os.path.join(project, "_backups")
        archive = self.only_archive(backups)
        self.assertArchive(archive, [("Game\\a.pb", b"a"),
                                     ("Game\\Inner\\_backups\\(2030-01-01) 00-00-00 [PJ].zip",
                                      b"an inner backup")])

    @posix_only("runs the program as another user")
    def test_failed_addition_keeps_an_earlier_archive_of_the_same_name(self):
        project = self.make_tree(os.path.join(self.root, "Game"), {"a.pb": "a", "b.pb": "b"})
        os.chmod(project, 0o777)
        backups = os.path.join(project, "_backups")
        os.makedirs(backups)
        os.chmod(backups, 0o777)
        now = time.time()
        earlier = []
        for offset in range(0, 8):
            stamp = time.strftime("(%Y-%m-%d) %H-%M-%S", time.localtime(now + offset))
            path = os.path.join(backups, stamp + " [PJ].zip")
            with open(path, "wb") as f:
                f.write(b"earlier")
            os.chmod(path, 0o666)
            earlier.append(path)
        os.chmod(os.path.join(project, "b.pb"), 0o000)
        self.assertReport(run(["/p", project, "/silent"], user="nobody"),
                          layer_path(os.path.join(project, "b.pb")), ADD_FAILED)
        self.assertEqual(sorted(os.listdir(backups)), sorted(os.path.basename(p) for p in earlier))
        for path in earlier:
            with open(path, "rb") as f:
                self.assertEqual(f.read(), b"earlier")
