#!/usr/bin/env python3
"""Times quillfort against bsdtar and Info-ZIP zip on generated trees and prints medians, ratios and peak memory."""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import gen_tree  # noqa: E402

# Measured runs per tree after the warm-up round; the big trees get fewer to spare the machine.
DEFAULT_RUNS = {"small": 7, "medium": 5, "large": 3, "wide": 3}
# Goals for quillfort's median time as a share of bsdtar's in the same run.
TARGET_RATIO = {"small": 0.9, "medium": 0.75, "large": 0.6, "wide": 0.25}
TARGET_RSS_MIB = 32
TIME = "/usr/bin/time"


class Tool:
    def __init__(self, name, command, cwd, archive):
        self.name = name
        self.command = command
        self.cwd = cwd
        self.archive = archive  # where the archive lands, or a function that finds it
        self.times, self.rss_kib, self.sizes = [], [], []


def run_once(tool, env, log_path, stat_path):
    """Runs the tool in a fresh process; returns (wall seconds, max RSS in KiB, exit code)."""
    # GNU time measures the peak memory: a child forked from this Python process would start
    # with the interpreter's pages and report them as its own peak.
    command = [TIME, "-f", "%M", "-o", stat_path] + tool.command
    with open(log_path, "wb") as log:
        start = time.perf_counter()
        code = subprocess.call(command, cwd=tool.cwd, env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        wall = time.perf_counter() - start
    with open(stat_path) as f:
        lines = f.read().split()
    return wall, int(lines[-1]), code


def show_log(log_path):
    data = open(log_path, "rb").read()
    # quillfort writes its report as UTF-16LE when its output is not a terminal.
    if data[1:2] == b"\0":
        data = data.decode("utf-16-le", "replace").encode()
    return data.decode("utf-8", "replace").strip()


def tree_files(root):
    parent = os.path.dirname(root)
    names = set()
    for folder, _, files in os.walk(root):
        for f in files:
            names.add(os.path.relpath(os.path.join(folder, f), parent))
    return names


def archive_files(path):
    with zipfile.ZipFile(path) as z:
        return {i.filename.replace("\\", "/") for i in z.infolist() if not i.filename.endswith(("/", "\\"))}


def quillfort_archive(tree):
    backups = os.path.join(tree, "_backups")
    zips = [f for f in os.listdir(backups) if f.endswith(".zip")] if os.path.isdir(backups) else []
    return os.path.join(backups, zips[0]) if len(zips) == 1 else None


def clean_up(tool, tree):
    if tool.name == "quillfort":
        shutil.rmtree(os.path.join(tree, "_backups"), ignore_errors=True)
    elif os.path.exists(tool.archive):
        os.remove(tool.archive)


def bench_tree(size, runs, quillfort, bench_dir, env):
    tree = gen_tree.generate(size, bench_dir)
    parent, name = os.path.split(tree)
    out_dir = os.path.join(bench_dir, "out")
    os.makedirs(out_dir, exist_ok=True)
    shutil.rmtree(os.path.join(tree, "_backups"), ignore_errors=True)
    tools = [
        Tool("quillfort", [quillfort, "/p", tree, "/all", "/silent"], parent, None),
        Tool("bsdtar", ["bsdtar", "--format", "zip", "-cf", os.path.join(out_dir, name + ".bsdtar.zip"),
                        "-C", parent, name], parent, os.path.join(out_dir, name + ".bsdtar.zip")),
        Tool("zip", ["zip", "-r", "-6", "-q", os.path.join(out_dir, name + ".infozip.zip"), name],
             parent, os.path.join(out_dir, name + ".infozip.zip")),
    ]
    for t in tools:
        clean_up(t, tree)
    expected = tree_files(tree)
    total_bytes = sum(os.path.getsize(os.path.join(parent, p)) for p in expected)
    log_path = os.path.join(out_dir, "last.log")
    stat_path = os.path.join(out_dir, "last.time")

    for round_no in range(runs + 1):
        for tool in tools:
            wall, rss, code = run_once(tool, env, log_path, stat_path)
            archive = quillfort_archive(tree) if tool.name == "quillfort" else tool.archive
            if code != 0 or not archive or not os.path.exists(archive):
                sys.exit("%s failed on %s (exit code %d):\n%s" % (tool.name, tree, code, show_log(log_path)))
            if round_no == 0:
                # The warm-up round checks that every tool packed the same files.
                got = archive_files(archive)
                if got != expected:
                    sys.exit("%s archived a different file set on %s: %d missing, %d extra" % (
                        tool.name, tree, len(expected - got), len(got - expected)))
            else:
                tool.times.append(wall)
                tool.rss_kib.append(rss)
                tool.sizes.append(os.path.getsize(archive))
            clean_up(tool, tree)
    return name, len(expected), total_bytes, tools


def report(size, name, nfiles, nbytes, tools):
    base = statistics.median(tools[1].times)
    rows = []
    for t in tools:
        med = statistics.median(t.times)
        rows.append((t.name, med, min(t.times), med / base, max(t.rss_kib) / 1024, t.sizes[-1] / 1e6))
    print("\n%s: %s, %d files, %.1f MB, %d runs each" % (size, name, nfiles, nbytes / 1e6, len(tools[0].times)))
    print("  %-10s %9s %9s %10s %12s %11s" % ("tool", "median s", "min s", "/bsdtar", "max RSS MiB", "archive MB"))
    for r in rows:
        print("  %-10s %9.3f %9.3f %10.2f %12.1f %11.2f" % r)
    q, z = rows[0], rows[2]
    checks = [
        ("quillfort/bsdtar %.2f <= %.2f" % (q[3], TARGET_RATIO[size]), q[3] <= TARGET_RATIO[size]),
        ("not slower than zip (%.2f <= %.2f)" % (q[3], z[3]), q[1] <= z[1]),
        ("max RSS %.1f < %d MiB" % (q[4], TARGET_RSS_MIB), q[4] < TARGET_RSS_MIB),
    ]
    print("  goals: " + "; ".join("%s %s" % (text, "ok" if ok else "MISSED") for text, ok in checks))
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("sizes", nargs="*", metavar="TREE",
                        help="trees to measure: %s (default: all)" % ", ".join(gen_tree.SIZES))
    parser.add_argument("--runs", type=int, help="measured runs per tool after the warm-up (default: per tree)")
    args = parser.parse_args()
    sizes = args.sizes or list(gen_tree.SIZES)
    for size in sizes:
        if size not in gen_tree.SIZES:
            parser.error("unknown tree %r (choose from %s)" % (size, ", ".join(gen_tree.SIZES)))

    repo = os.path.dirname(HERE)
    quillfort = os.path.abspath(os.environ.get("QUILLFORT", os.path.join(repo, "build", "quillfort")))
    if not os.access(quillfort, os.X_OK):
        sys.exit("no program at %s (build it, or set QUILLFORT)" % quillfort)
    for tool, package in (("bsdtar", "libarchive-tools"), ("zip", "zip"), (TIME, "time")):
        if not shutil.which(tool):
            sys.exit("%s is missing (apt-get install %s)" % (tool, package))
    bench_dir = os.path.abspath(os.environ.get("BENCH_DIR", os.path.join(tempfile.gettempdir(), "quillfort-bench")))
    env = dict(os.environ)
    # No sound device opens, so a finished backup skips the sound and its pause.
    env["ALSA_CONFIG_PATH"] = os.path.join(HERE, "no-sound.conf")

    print("quillfort: %s\ntrees: %s" % (quillfort, bench_dir))
    summary = []
    for size in sizes:
        name, nfiles, nbytes, tools = bench_tree(size, args.runs or DEFAULT_RUNS[size], quillfort, bench_dir, env)
        rows = report(size, name, nfiles, nbytes, tools)
        summary.append((size, rows))
    print("\nsummary (median s; ratio to bsdtar; max RSS MiB)")
    print("  %-7s %22s %22s %22s" % ("tree", "quillfort", "bsdtar", "zip"))
    for size, rows in summary:
        print("  %-7s %s" % (size, " ".join("%8.3f %5.2f %6.1f" % (r[1], r[3], r[4]) for r in rows)))


if __name__ == "__main__":
    main()
