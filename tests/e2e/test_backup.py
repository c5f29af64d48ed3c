"""Successful backups in both modes, read back by readers that are not ours."""
import os
import re
import time

from harness import ON_WINE, BackupTestCase, archive_name_pattern, mapped_name, run

SOURCES = {
    "a.pb": "Procedure A()\nEndProcedure\n",
    "b.PBI": "; include\n",
    "c.zip": b"PK\x05\x06" + bytes(18),
    "Makefile": "all:\n\ttrue\n",
    "notes.txt": "notes\n",
    ".gitignore": "_backups/\n",
    "x.xt": "xt\n",
    "y.bi": "bi\n",
    "z.pbx": "not taken\n",
    "sub/inner.pb": "inner\n",
    "sub/deep/deeper.pbp": "<project/>\n",
    "sub/_backups/old.pb": "an inner _backups folder is a folder like any other\n",
    "Zeta/last.txt": "last\n",
}


def utf16_units(text):
    data = text.encode("utf-16-le", "surrogatepass")
    return [int.from_bytes(data[i:i + 2], "little") for i in range(0, len(data), 2)]


def listing_order(names):
    """The order the program lists a folder in: upper-cased names as the program
    holds them, unit by unit."""
    return sorted(names, key=lambda n: utf16_units(mapped_name(n).upper()))


def expected_entries(project, files, taken):
    """Depth-first entries as the program must write them."""
    base = os.path.basename(project)
    result = []

    def walk(rel):
        folder = os.path.join(project, rel)
        for name in listing_order(os.listdir(folder)):
            path = os.path.join(folder, name)
            relname = os.path.join(rel, name) if rel else name
            if os.path.isdir(path):
                if rel == "" and name.lower() == "_backups":
                    continue
                walk(relname)
            elif taken(name):
                with open(path, "rb") as f:
                    result.append((base + "\\" + relname.replace("/", "\\"), f.read()))
    walk("")
    return result


def source_filter(name):
    ext = name.rsplit(".", 1)[1] if "." in name[1:] else ""
    return (ext + "|").lower() in "pb|pbi|pbp|txt|"


class ProjectModeTest(BackupTestCase):
    def test_filtered_backup_with_label(self):
        project = self.make_tree(os.path.join(self.root, "Game"), SOURCES)
        before = time.localtime()
        self.assertSuccess(run(["/p", project, "/w", "beta 2", "/silent"]))
        archive = self.only_archive(os.path.join(project, "_backups"))
        self.assertRegex(os.path.basename(archive), archive_name_pattern(" [PJ]", "BETA 2"))
        stamp = time.strftime("(%Y-%m-%d)", before)
        self.assertTrue(os.path.basename(archive).startswith(stamp))
        entries = expected_entries(project, SOURCES, source_filter)
        names = [e[0] for e in entries]
        # The filter takes pb, pbi, pbp, txt, their tails and names without extension.
        for taken in ["Game\\a.pb", "Game\\b.PBI", "Game\\Makefile", "Game\\.gitignore", "Game\\x.xt",
                      "Game\\y.bi", "Game\\sub\\_backups\\old.pb", "Game\\sub\\deep\\deeper.pbp"]:
            self.assertIn(taken, names)
        self.assertNotIn("Game\\c.zip", names)
        self.assertNotIn("Game\\z.pbx", names)
        self.assertArchive(archive, entries)

    def test_all_files_slashes_and_no_label(self):
        project = self.make_tree(os.path.join(self.root, "Game"), SOURCES)
        # A second, earlier backup must not be collected into the next one.
        self.assertSuccess(run(["/p", project + "/", "/all", "/silent"]))
        time.sleep(1.1)
        self.assertSuccess(run(["/P", project + "//", "/ALL", "/Silent"]))
        backups = os.path.join(project, "_backups")
        archives = sorted(os.listdir(backups))
        self.assertEqual(len(archives), 2)
        for name in archives:
            self.assertRegex(name, archive_name_pattern(" [PJ] [A]"))
        self.assertArchive(os.path.join(backups, archives[1]),
                           expected_entries(project, SOURCES, lambda n: True))

    def test_entry_names_keep_inner_copies_of_the_base_folder(self):
        # The base folder is removed only where it begins the path.
        src = os.path.join(self.root, "src")
        project = self.make_tree(os.path.join(src, "Proj"), {"lib/src/b.pb": "b", "lib/b.pb": "other b"})
        self.assertSuccess(run(["/p", project, "/silent"], cwd=self.root))
        archive = self.only_archive(os.path.join(project, "_backups"))
        self.assertArchive(archive, [("Proj\\lib\\b.pb", b"other b"), ("Proj\\lib\\src\\b.pb", b"b")])

    def test_relative_and_dot_paths_name_the_real_folder(self):
        project = self.make_tree(os.path.join(self.root, "Game"), {"a.pb": "a"})
        inner = os.path.join(project, "inner")
        os.makedirs(inner)
        for args, cwd in [(["/p", "Game"], self.root), (["/p", "."], project), (["/p", ".."], inner),
                          (["/p", "inner/.."], project)]:
            with self.subTest(args=args):
                backups = os.path.join(project, "_backups")
                self.assertSuccess(run(args + ["/silent"], cwd=cwd))
                archive = self.only_archive(backups)
                self.assertArchive(archive, [("Game\\a.pb", b"a")])
                os.remove(archive)

    def test_file_sizes_around_the_read_chunk(self):
        chunk = 2 * 1024 * 1024
        files = {"empty.pb": b"", "one.pb": b"x"}
        for size in (chunk - 1, chunk, chunk + 1, 2 * chunk + 7):
            files["s%d.pb" % size] = os.urandom(size)
        project = self.make_tree(os.path.join(self.root, "Sizes"), files)
        self.assertSuccess(run(["/p", project, "/silent"]))
        archive = self.only_archive(os.path.join(project, "_backups"))
        self.assertArchive(archive, expected_entries(project, files, lambda n: True))

    def test_names_that_are_not_plain_ascii(self):
        files = {
            "caf\u00e9.pb": "accent",
            "\u65e5\u672c\u8a9e.pb": "japanese",
            "emoji \U0001F600.pb": "emoji",
        }
        if not ON_WINE:
            # Names that only POSIX systems allow: characters that Windows
            # forbids, and below, bytes that are not UTF-8.
            files.update({
                "a:b.pb": "with colon",
                "ab.pb": "without colon",
                "q?*<>|.pb": "wildcards",
                'quote".pb': "quote",
                "back\\slash.pb": "backslash",
            })
        project = self.make_tree(os.path.join(self.root, "Names"), files)
        if not ON_WINE:
            raw = os.path.join(os.fsencode(project), b"bad\xff.pb")
            with open(raw, "wb") as f:
                f.write(b"not utf-8")
        self.assertSuccess(run(["/p", project, "/silent"]))
        archive = self.only_archive(os.path.join(project, "_backups"))

        def entry(name):
            # A backslash inside a name stays apart from the separators.
            return "Names\\" + name.replace("\\", "\uf05c")
        all_names = list(files) + ([] if ON_WINE else ["bad\udcff.pb"])
        expected = []
        for name in listing_order(all_names):
            content = files[name].encode() if name in files else b"not utf-8"
            expected.append((entry(name).replace("\udcff", "\ufffd"), content))
        self.assertArchive(archive, expected)


class FileModeTest(BackupTestCase):
    def test_file_mode_takes_the_file_name_as_label(self):
        folder = self.make_tree(os.path.join(self.root, "Work"), {"tool.pb": "tool", "other.pb": "x"})
        tool = os.path.join(folder, "tool.pb")
        self.assertSuccess(run(["/f", tool, "/w", "ignored", "/silent"]))
        archive = self.only_archive(os.path.join(folder, "_backups"))
        self.assertRegex(os.path.basename(archive), archive_name_pattern(" [SS]", "TOOL.PB"))
        self.assertArchive(archive, [("tool.pb", b"tool")])

    def test_all_in_file_mode_and_an_empty_file(self):
        folder = self.make_tree(os.path.join(self.root, "Work"), {"empty.bin": b""})
        self.assertSuccess(run(["/all", "/f", os.path.join(folder, "empty.bin"), "/silent"]))
        archive = self.only_archive(os.path.join(folder, "_backups"))
        self.assertRegex(os.path.basename(archive), archive_name_pattern(" [SS] [A]", "EMPTY.BIN"))
        self.assertArchive(archive, [("empty.bin", b"")])

    def test_project_switch_wins_over_file_switch(self):
        project = self.make_tree(os.path.join(self.root, "Game"), {"a.pb": "a"})
        self.make_tree(self.root, {"tool.pb": "t"})
        self.assertSuccess(run(["/f", os.path.join(self.root, "tool.pb"), "/p", project, "/silent"]))
        self.assertArchive(self.only_archive(os.path.join(project, "_backups")), [("Game\\a.pb", b"a")])
        self.assertFalse(os.path.exists(os.path.join(self.root, "_backups")))

    def test_label_is_cleaned_and_cut(self):
        project = self.make_tree(os.path.join(self.root, "Game"), {"a.pb": "a"})
        label = "my/label: beta? <x> @|*" + "y" * 80
        self.assertSuccess(run(["/p", project, "/w", label, "/silent"]))
        archive = self.only_archive(os.path.join(project, "_backups"))
        cleaned = re.sub(r'[\\/:*?<>|"@]', "_", label)[:64].upper()
        self.assertRegex(os.path.basename(archive), archive_name_pattern(" [PJ]", cleaned))


if __name__ == "__main__":
    import unittest
    unittest.main()
