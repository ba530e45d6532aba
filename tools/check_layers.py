#!/usr/bin/env python3
"""Fails when a source includes a header of a layer above its own (or of a
peer beside it).

The layer order below is the one place it is written. A source may include
headers of its own layer and of the layers below it; qt (the only code that
includes Qt Widgets) is further reserved to the programs' entries and the Qt
tests, and testing (the test doubles) to tests, benchmarks and tools.
tests/, bench/ and tools/ may include anything else.

Usage: tools/check_layers.py [repository root]; prints each offending
include as path:line and exits 1 when there is one.
"""
import os
import re
import sys

# Bottom-up. The runtime's own folders come first, each using only those
# before it; a folder that is not listed here is refused until it is placed.
# A tuple holds peers: layers at one level, none of which includes another.
LAYERS = [
    "runtime/system",       # errors, clock, directories, the file-system seam, locks
    "runtime/text",         # fixed texts
    "runtime/queue",        # in-memory tables
    "runtime/values",       # typed values and field references
    "runtime/files",        # record layouts, data files and their drivers
    "runtime/expressions",  # the filter language
    "runtime/views",        # views over data files
    "runtime/ini",          # INI files
    "runtime/platform",     # shell, browser, sounds, the program file, memory blocks
    "runtime/reports",      # report layouts, pages and the page-image list
    "runtime/ui",           # window model, events, threads
    "runtime/headless",     # the headless backend and its message boxes
    "testing",              # test doubles: test driver, test clock, faulty file system
    "qt",                   # the Qt backend, over the runtime
    "errors",
    "data",
    "window",
    "process",
    ("mail", "links"),      # the libraries over libcurl: mail sending, link checking
    "app",
    "procedures",
    "main",
]
# Folders whose sources may include any layer not reserved from them.
UNRESTRICTED = ["tests", "bench", "tools"]
# Layers only the listed folders (and the layer itself) may include.
RESERVED = {
    "qt": ["main", "tests/qt", "tests/programs", "bench", "tools"],
    "testing": ["tests", "bench", "tools"],
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE_SUFFIXES = (".h", ".cpp")


def each_layer():
    """(layer, level) for every layer, bottom-up."""
    for level, entry in enumerate(LAYERS):
        for layer in entry if isinstance(entry, tuple) else (entry,):
            yield layer, level


def under(path, folder):
    return path == folder or path.startswith(folder + "/")


def layer_of(path):
    """The layer a repository path belongs to, None outside every layer."""
    best = None
    for layer, _ in each_layer():
        if under(path, layer) and (best is None or len(layer) > len(best)):
            best = layer
    return best


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    rank = dict(each_layer())
    failures = []
    top_folders = sorted({layer.split("/")[0] for layer in rank} | set(UNRESTRICTED))
    for top in top_folders:
        for directory, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                source = os.path.relpath(os.path.join(directory, name), root)
                if under(source, "runtime") and layer_of(source) is None:
                    failures.append(f"{source}: runtime folder not placed in the layer order of tools/check_layers.py")
                    continue
                unrestricted = any(under(source, folder) for folder in UNRESTRICTED)
                own = layer_of(source)
                with open(os.path.join(root, source), encoding="utf-8", errors="replace") as text:
                    for number, line in enumerate(text, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = layer_of(match.group(1))
                        if target is None or target == own:
                            continue
                        allowed = RESERVED.get(target)
                        if allowed is not None and not any(under(source, folder) for folder in allowed):
                            failures.append(f"{source}:{number}: includes {match.group(1)} ({target} is reserved)")
                        elif not unrestricted and (own is None or rank[target] > rank[own]):
                            failures.append(f"{source}:{number}: {own} includes {match.group(1)} from {target} above it")
                        elif not unrestricted and rank[target] == rank[own]:
                            failures.append(f"{source}:{number}: {own} includes {match.group(1)} from {target} beside it")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
