#!/usr/bin/env python3
"""Checks the include graph of the production folders: every include of a project
header points to the file's own layer or one below it, and no files include each
other in a circle. Run with the source root; --self-test shows it catches both."""
import os
import re
import shutil
import sys
import tempfile

# What each folder may include besides itself. A folder not named here takes the
# rules of the nearest named folder above it (platform/posix is platform).
BELOW = {
    "platform": set(),
    "platform/qt": {"platform"},
    "intake": {"platform"},
    "render": {"platform", "intake"},
    "render/qt": {"platform", "platform/qt", "intake", "render"},
    "escp": {"platform"},
    "mail": {"platform"},
    "formats": {"platform", "intake", "render", "escp"},
    "forms": {"platform", "platform/qt", "intake", "render", "render/qt", "formats", "mail"},
    "app": {"platform", "platform/qt", "intake", "render", "render/qt", "formats", "mail", "forms"},
    "cli": {"platform", "platform/qt", "intake", "render", "render/qt", "formats"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of(path):
    parts = path.split("/")[:-1]
    while parts:
        name = "/".join(parts)
        if name in BELOW:
            return name
        parts.pop()
    return None


def sources(root):
    for top in {k.split("/")[0] for k in BELOW}:
        for dirpath, _, files in os.walk(os.path.join(root, top)):
            for f in files:
                if f.endswith((".cpp", ".h")):
                    yield os.path.relpath(os.path.join(dirpath, f), root).replace(os.sep, "/")


def check(root):
    problems = []
    graph = {}
    for path in sorted(sources(root)):
        layer = layer_of(path)
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            includes = INCLUDE.findall(f.read())
        graph[path] = []
        for inc in includes:
            target = layer_of(inc)
            if target is None:
                continue  # not a production header (generated or third party)
            if target != layer and target not in BELOW[layer]:
                problems.append(f"{path}: includes {inc} ({target} is not below {layer})")
            if os.path.exists(os.path.join(root, inc)):
                graph[path].append(inc)
    # Circles among files, headers and sources alike.
    state = {}
    def visit(node, stack):
        state[node] = 1
        stack.append(node)
        for nxt in graph.get(node, []):
            if state.get(nxt) == 1:
                problems.append("circle: " + " -> ".join(stack[stack.index(nxt):] + [nxt]))
            elif nxt not in state:
                visit(nxt, stack)
        stack.pop()
        state[node] = 2
    for node in graph:
        if node not in state:
            visit(node, [])
    return problems


def self_test(root):
    with tempfile.TemporaryDirectory() as tmp:
        for top in ("platform", "intake", "render"):
            shutil.copytree(os.path.join(root, top), os.path.join(tmp, top))
        assert not check(tmp), check(tmp)
        with open(os.path.join(tmp, "platform", "files.h"), "a") as f:
            f.write('\n#include "render/interpreter.h"\n')
        found = check(tmp)
        assert any("platform/files.h: includes render/interpreter.h" in p for p in found), found
        assert any(p.startswith("circle:") for p in found), found
    print("self-test: an upward include and the circle it makes are both reported")


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    if "--self-test" in sys.argv:
        self_test(root)
        return 0
    problems = check(root)
    for p in problems:
        print(p)
    print(f"{len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
