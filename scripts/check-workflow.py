#!/usr/bin/env python3
"""Reads the Windows workflow as GitHub would parse it and checks the parts this project relies
on: a Windows runner, the Visual Studio 2022 generator, Debug and Release, both test programs,
and the checks of the exe's dependents and manifest."""
import sys

import yaml

path = sys.argv[1] if len(sys.argv) > 1 else ".github/workflows/windows.yml"
with open(path, encoding="utf-8") as source:
    workflow = yaml.safe_load(source)

problems = []
jobs = workflow.get("jobs") or {}
if not jobs:
    problems.append("no jobs")
for name, job in jobs.items():
    if job.get("runs-on") != "windows-latest":
        problems.append(f"{name}: not on windows-latest")
    configs = job.get("strategy", {}).get("matrix", {}).get("config", [])
    if sorted(configs) != ["Debug", "Release"]:
        problems.append(f"{name}: not Debug and Release")
    text = "\n".join(str(step.get("run", "")) + str(step.get("uses", "")) for step in job["steps"])
    for needed in ('"Visual Studio 17 2022"', "core_tests.exe", "win_tests.exe", "dumpbin",
                   "requireAdministrator", "actions/checkout@"):
        if needed not in text:
            problems.append(f"{name}: no {needed}")
# 'on' is YAML 1.1's true: GitHub reads the key as the trigger list all the same.
if "on" not in workflow and True not in workflow:
    problems.append("no trigger")

for problem in problems:
    print("workflow:", problem)
sys.exit(1 if problems else 0)
