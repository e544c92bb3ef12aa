#!/usr/bin/env python3
"""Compiles every Windows source of the project once more, syntax only, with cmake/sdk-macros.h
forced in: the macros the Windows SDK defines and MinGW-w64 does not. Fails on any error, and when
it finds nothing to compile.

    scripts/check-sdk-macros.py [BUILD_DIR]
"""
import concurrent.futures
import json
import os
import shlex
import subprocess
import sys

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build", "windows")
header = os.path.join(root, "cmake", "sdk-macros.h")
with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as source:
    entries = [entry for entry in json.load(source)
               if entry["file"].startswith(root) and "googletest" not in entry["file"]
               and entry["file"].endswith(".cpp")]


def compile_once(entry):
    command = shlex.split(entry["command"]) + ["-fsyntax-only", "-include", header]
    result = subprocess.run(command, cwd=entry["directory"], capture_output=True, text=True)
    return entry["file"], result.returncode, result.stderr


failed = 0
with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
    for path, status, errors in pool.map(compile_once, entries):
        if status != 0:
            failed += 1
            print(f"{os.path.relpath(path, root)} does not compile with the SDK's macros:")
            print(errors)
print(f"sdk macros: {len(entries)} sources compiled, {failed} failed")
sys.exit(1 if failed or not entries else 0)
