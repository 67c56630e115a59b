#!/usr/bin/env python3
"""Each room of tools/ includes only rooms below it, in the order of the README's table of rooms."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1])
table = re.search(r"The rooms of `tools/`.*?\n\n(.*?)\n\n", (root / "README.md").read_text(), re.S).group(1)
order = [room for row in table.splitlines() for room in re.findall(r"`([a-z_]+)/`", row.split("|")[1])]
rank = {room: index for index, room in enumerate(order)}
faults = []
for path in sorted((root / "tools").rglob("*.[ch]*")):
    parts = path.relative_to(root / "tools").parts
    room = parts[0] if len(parts) > 1 else "commands"  # main.cpp and pages_main.cpp sit on top
    for included in re.findall(r'#include "([a-z_]+)/', path.read_text()):
        if included in rank and included != room and rank[included] <= rank[room]:
            faults.append(f"{path.relative_to(root)} ({room}/) includes {included}/, a room above it")
missing = {path.parent.name for path in (root / "tools").glob("*/*.h")} - set(rank)
faults += [f"tools/{room}/ is not in the README's table of rooms" for room in sorted(missing)]
print("\n".join(faults) or f"{len(order)} rooms, each including only rooms below it")
sys.exit(1 if faults else 0)
