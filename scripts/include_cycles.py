#!/usr/bin/env python3
"""Lists include cycles among the files of one source folder (default: platform/).

A header and the source file of the same name are one unit (Foo.h with Foo.cpp), so a cycle
through what a header declares and another file defines shows too: Foo.cpp including Bar.h
while Bar.cpp includes Foo.h is a cycle of the units Foo and Bar. Prints each cycle (a group of
units that reach each other through includes) and exits 1 when there is any.

    scripts/include_cycles.py [ROOT] [FOLDER]
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def units(root, folder):
    """Maps each unit (path without extension, relative to root) to the units it includes."""
    graph = {}
    for directory, _, names in os.walk(os.path.join(root, folder)):
        for name in names:
            stem, ext = os.path.splitext(name)
            if ext not in ('.h', '.cpp'):
                continue
            path = os.path.join(directory, name)
            unit = os.path.relpath(os.path.join(directory, stem), root)
            with open(path, encoding='utf-8') as source:
                included = INCLUDE.findall(source.read())
            targets = graph.setdefault(unit, set())
            for target in included:
                target_unit = os.path.splitext(target)[0]
                if target_unit != unit and target_unit.startswith(folder.rstrip('/') + '/'):
                    targets.add(target_unit)
    return graph


def cycles(graph):
    """Strongly connected groups of more than one unit (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = [0]

    def visit(unit):
        index[unit] = low[unit] = counter[0]
        counter[0] += 1
        stack.append(unit)
        on_stack.add(unit)
        for target in sorted(graph.get(unit, ())):
            if target not in index:
                visit(target)
                low[unit] = min(low[unit], low[target])
            elif target in on_stack:
                low[unit] = min(low[unit], index[target])
        if low[unit] == index[unit]:
            group = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
                if member == unit:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    for unit in sorted(graph):
        if unit not in index:
            visit(unit)
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else '.'
    folder = sys.argv[2] if len(sys.argv) > 2 else 'platform'
    graph = units(root, folder)
    found = cycles(graph)
    for group in found:
        members = set(group)
        print('cycle: ' + ', '.join(group))
        for unit in group:
            inside = sorted(graph[unit] & members)
            print(f'  {unit} includes {", ".join(inside)}')
    print(f'{len(graph)} units in {folder}/, {len(found)} include cycle(s)')
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
