#!/usr/bin/env python3
"""Kills real backups with SIGKILL at hundreds of moments and checks that no broken archive ever stands under a final name."""

import argparse
import os
import shutil
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
os.environ.setdefault("QUILLFORT", os.path.join(HERE, "..", "build", "quillfort"))
from test_robustness import describe_kills, kill_points, make_busy_tree  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--points", type=int, default=300, help="kill points to try (default 300)")
    parser.add_argument("--next-run-every", type=int, default=4,
                        help="after how many kills a backup is run to its end (default 4)")
    parser.add_argument("--keep", action="store_true", help="keep the scratch tree")
    options = parser.parse_args()

    root = tempfile.mkdtemp(prefix="quillfort-kill-")
    project = os.path.join(root, "Busy")
    try:
        make_busy_tree(project)
        figures, problems = kill_points(project, options.points, options.next_run_every)
        for problem in problems:
            print("PROBLEM: " + problem)
        if figures is not None:
            print(describe_kills(figures))
        return 1 if problems else 0
    finally:
        if options.keep:
            print("tree kept in " + root)
        else:
            shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
