#!/usr/bin/python3
"""Checks that every #include of the source folders follows the layer table.

The README's "Layers" table names each library, its folder and the libraries
it links. A source file belongs to the library of the deepest listed folder
that holds it; it may include headers of its own library and of every library
reachable through the links, never one above. Every folder with a
CMakeLists.txt that builds a library must be in the table, under the name it
builds.
"""
import os
import re
import sys

root = sys.argv[1]
errors = []

# library -> (folder, set of linked libraries) from the README's layer table.
table = {}
in_layers = False
with open(os.path.join(root, "README.md"), encoding="utf-8") as readme:
    for line in readme:
        if line.startswith("## "):
            in_layers = line.strip() == "## Layers"
            continue
        if not in_layers or not line.startswith("| `"):
            continue
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
        libraries = re.findall(r"`(vyr_\w+)`", cells[0])
        folders = re.findall(r"`([\w/]+)/`", cells[1])
        links = set(re.findall(r"`(vyr_\w+)`", cells[2]))
        if len(libraries) != len(folders):
            errors.append(f"README layer row names {len(libraries)} libraries but {len(folders)} folders: {line.strip()}")
            continue
        for library, folder in zip(libraries, folders):
            table[library] = (folder, links)

folder_library = {folder: library for library, (folder, _) in table.items()}

# Every library folder of the tree is in the table, under its own name.
for directory, subdirs, files in os.walk(root):
    relative = os.path.relpath(directory, root)
    if relative.split(os.sep)[0] in ("build", "tests", "bench", ".git") or relative.startswith("build"):
        subdirs[:] = []
        continue
    if "CMakeLists.txt" in files and relative != ".":
        with open(os.path.join(directory, "CMakeLists.txt"), encoding="utf-8") as cmake:
            built = re.findall(r"vyr_add_library\((\w+)", cmake.read())
        for library in built:
            if folder_library.get(relative) != library:
                errors.append(f"{relative}/ builds {library}, which the README's layer table does not list for that folder")


def reachable(library):
    seen, todo = set(), [library]
    while todo:
        current = todo.pop()
        if current in seen or current not in table:
            continue
        seen.add(current)
        todo.extend(table[current][1])
    return seen


def library_of(path):
    """The library of the deepest table folder holding path, or None."""
    parts = os.path.dirname(path).split("/")
    for depth in range(len(parts), 0, -1):
        library = folder_library.get("/".join(parts[:depth]))
        if library:
            return library
    return None


include = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
for library, (folder, _) in sorted(table.items()):
    allowed = reachable(library)
    for directory, subdirs, files in os.walk(os.path.join(root, folder)):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp", ".c")):
                continue
            source = os.path.relpath(os.path.join(directory, name), root)
            if library_of(source) != library:
                continue  # a sub-folder that is a library of its own
            with open(os.path.join(root, source), encoding="utf-8", errors="replace") as text:
                for number, line in enumerate(text, 1):
                    match = include.match(line)
                    if not match or not os.path.exists(os.path.join(root, match.group(1))):
                        continue
                    target = library_of(match.group(1))
                    if target and target not in allowed:
                        errors.append(f"{source}:{number}: {library} includes {match.group(1)} of {target}, "
                                      f"a library it does not link")

for error in errors:
    print(error)
print(f"{len(table)} libraries checked, {len(errors)} layer faults")
sys.exit(1 if errors else 0)
