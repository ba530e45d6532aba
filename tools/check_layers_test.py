#!/usr/bin/env python3
"""Runs tools/check_layers.py over small trees: each include it must refuse
or accept, and the repository itself."""
import os
import subprocess
import sys
import tempfile

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_layers.py")

# (source, include, refused)
CASES = [
    ("runtime/values/A.h", "runtime/text/B.h", False),
    ("runtime/values/A.h", "runtime/files/B.h", True),
    ("runtime/files/drivers/A.cpp", "runtime/files/B.h", False),
    ("runtime/ui/A.cpp", "errors/B.h", True),
    ("runtime/headless/A.cpp", "runtime/ui/B.h", False),
    ("runtime/ui/A.cpp", "runtime/headless/B.h", True),
    ("runtime/newfolder/A.cpp", "runtime/text/B.h", True),
    ("data/A.cpp", "window/B.h", True),
    ("window/A.cpp", "data/B.h", False),
    ("app/A.cpp", "procedures/B.h", True),
    ("procedures/A.cpp", "app/B.h", False),
    ("main/marlinden/A.cpp", "procedures/B.h", False),
    ("main/marlinden/A.cpp", "qt/B.h", False),
    ("window/A.cpp", "qt/B.h", True),
    ("tests/runtime/A.cpp", "qt/B.h", True),
    ("tests/qt/A.cpp", "qt/B.h", False),
    ("qt/A.cpp", "runtime/ui/B.h", False),
    ("qt/A.cpp", "errors/B.h", True),
    ("runtime/ui/A.cpp", "qt/B.h", True),
    ("tests/runtime/A.cpp", "main/B.h", False),
    ("testing/A.cpp", "runtime/ui/B.h", False),
    ("testing/A.cpp", "errors/B.h", True),
    ("runtime/ui/A.cpp", "testing/B.h", True),
    ("procedures/A.cpp", "testing/B.h", True),
    ("main/cli/A.cpp", "testing/B.h", True),
    ("tests/procedures/A.cpp", "testing/B.h", False),
    ("bench/A.cpp", "testing/B.h", False),
    ("bench/A.cpp", "procedures/B.h", False),
]


def refused(source, include):
    with tempfile.TemporaryDirectory() as root:
        path = os.path.join(root, source)
        os.makedirs(os.path.dirname(path))
        with open(path, "w", encoding="utf-8") as text:
            text.write(f'#include <vector>\n#include "{include}"\n')
        return subprocess.run([sys.executable, SCRIPT, root], capture_output=True).returncode != 0


def main():
    failures = [f"{s} -> {i}: {'accepted' if r else 'refused'}" for s, i, r in CASES if refused(s, i) != r]
    repository = subprocess.run([sys.executable, SCRIPT], capture_output=True, text=True)
    if repository.returncode != 0:
        failures.append("the repository:\n" + repository.stdout)
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
