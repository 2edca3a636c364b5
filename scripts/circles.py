#!/usr/bin/env python3
"""Finds files of the product that include or call each other in a circle.

A node is a file without its extension (X.h and X.cpp are one). A depends on B when A includes
B's header, or when A's object uses a symbol that B's object defines (nm over the objects of the
builds given). Prints every circle, a strongly connected set of two or more files; exits 1 when
there is one.

    scripts/circles.py build/host build/win32
"""
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT = ("archive", "driver", "framework", "resources", "support", "tools")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
OBJECT = re.compile(r"^(.*)/CMakeFiles/[^/]+\.dir/(.*)\.(?:cpp|c)\.(?:o|obj)$")


def node(path):
    return os.path.splitext(os.path.relpath(path, ROOT))[0]


def include_edges(edges):
    for folder in PRODUCT:
        for base, _, files in os.walk(os.path.join(ROOT, folder)):
            for name in files:
                if not name.endswith((".h", ".cpp", ".c")):
                    continue
                path = os.path.join(base, name)
                with open(path, errors="replace") as f:
                    text = f.read()
                for included in INCLUDE.findall(text):
                    for candidate in (os.path.join(ROOT, included), os.path.join(base, included)):
                        if os.path.exists(candidate):
                            if node(candidate) != node(path):
                                edges.setdefault(node(path), set()).add(node(candidate))
                            break


def symbol_edges(edges, builds):
    defined, used = {}, {}
    for build in builds:
        for base, _, files in os.walk(build):
            for name in files:
                match = OBJECT.match(os.path.join(base, name))
                if not match:
                    continue
                source = os.path.normpath(
                    os.path.join(os.path.relpath(match.group(1), build), match.group(2)))
                if source.split(os.sep)[0] not in PRODUCT:
                    continue
                nm = "i686-w64-mingw32-nm" if name.endswith(".obj") else "nm"
                listing = subprocess.run([nm, os.path.join(base, name)], check=True,
                                         capture_output=True, text=True).stdout
                for line in listing.splitlines():
                    fields = line.split()
                    if len(fields) == 3 and fields[1] in "TDRB":
                        defined.setdefault(fields[2], set()).add(source)
                    elif len(fields) == 2 and fields[0] == "U":
                        used.setdefault(source, set()).add(fields[1])
    for source, symbols in used.items():
        for symbol in symbols:
            for owner in defined.get(symbol, ()):
                if owner != source:
                    edges.setdefault(source, set()).add(owner)


def circles(edges):
    """Tarjan's strongly connected components, without recursion."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    for start in sorted(edges):
        if start in index:
            continue
        work = [(start, iter(sorted(edges.get(start, ()))))]
        index[start] = low[start] = len(index)
        stack.append(start)
        on_stack.add(start)
        while work:
            v, successors = work[-1]
            w = next(successors, None)
            if w is not None:
                if w not in index:
                    index[w] = low[w] = len(index)
                    stack.append(w)
                    on_stack.add(w)
                    work.append((w, iter(sorted(edges.get(w, ())))))
                elif w in on_stack:
                    low[v] = min(low[v], index[w])
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[v])
            if low[v] == index[v]:
                component = []
                while True:
                    w = stack.pop()
                    on_stack.discard(w)
                    component.append(w)
                    if w == v:
                        break
                if len(component) > 1:
                    found.append(sorted(component))
    return found


def main():
    edges = {}
    include_edges(edges)
    symbol_edges(edges, sys.argv[1:])
    found = circles(edges)
    nodes = set(edges) | {w for targets in edges.values() for w in targets}
    print("%d files, %d dependencies" % (len(nodes), sum(len(t) for t in edges.values())))
    for component in found:
        print("circle: " + " <-> ".join(component))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
