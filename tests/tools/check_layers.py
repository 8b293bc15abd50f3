#!/usr/bin/env python3
"""Checks that every #include of the program points down a layer, or at an interface the file
implements. Layers, from the bottom: tree/, support/, scan/, listing/, printing/; the platform
adapters (platform/*), which include of the layers between only the interfaces they implement;
the windows (main_window/, about/) and cli/ on top, which don't include each other."""
import pathlib
import re
import sys

ROOT = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
CORE = ["tree", "support", "scan", "listing", "printing"]
# The interfaces of the core that platform adapters implement (with the types they pass).
INTERFACES = {
    "scan/FileSystem.h", "scan/FolderListing.h", "scan/ScanControls.h", "scan/DetailTicks.h",
    "printing/PrinterDevice.h", "printing/PrintBackend.h",
}
TOP = {"main_window": {"main_window", "about"}, "about": {"about"}, "cli": {"cli"}}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def allowed(folder, target):
    top = target.split("/")[0]
    if folder in CORE:
        return top in CORE and CORE.index(top) <= CORE.index(folder)
    if folder == "platform":
        return top in ("tree", "support", "platform") or target in INTERFACES
    if folder in TOP:
        return top in CORE or top == "platform" or top in TOP[folder]
    return True


faults = []
for path in sorted(ROOT.rglob("*")):
    if path.suffix not in (".h", ".cpp") or not path.is_file():
        continue
    rel = path.relative_to(ROOT)
    folder = rel.parts[0]
    if folder not in CORE and folder not in TOP and folder != "platform":
        continue  # tests, benchmarks, build folders
    for target in INCLUDE.findall(path.read_text(errors="replace")):
        if "/" in target and not allowed(folder, target):
            faults.append(f"{rel}: includes {target}")
for fault in faults:
    print(fault)
sys.exit(1 if faults else 0)
