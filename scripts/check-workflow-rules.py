#!/usr/bin/env python3
"""The project's own rules for its GitHub workflow, read as GitHub parses it. A Windows job on
windows-latest and windows-2022, Debug and Release, that configures with the msvc preset (no
Visual Studio version pinned), builds, runs both test programs and checks the exe's dependents
and manifest, every tool's exit status checked; a job in a debian:12 container that runs the
README's test command and uploads the exe with its SHA-256; on a tag v*, and only then, a job
after both that takes that exe, checks its hash, writes SHA256SUMS, takes the version's notes from
CHANGELOG.md and publishes a release with the exe, SHA256SUMS and LICENSE, the only job that may
write to the repository; a time limit on every job; known
actions at a major version no older than a floor (a newer one passes: the check must not rot as
actions move on). Commands count only where they run, not inside an echo.

    scripts/check-workflow-rules.py [WORKFLOW...]
"""
import glob
import json
import re
import sys

import yaml

# The oldest major version of each action the workflow may use (the first on Node 24); an older
# one is outdated, an action not named here is unknown.
MINIMUM_MAJORS = {"actions/checkout": 6, "actions/upload-artifact": 7,
                  "actions/download-artifact": 7}


def outdated(uses):
    """Why `uses` ("owner/action@vN") is refused, or None."""
    action, _, version = uses.partition("@")
    if action not in MINIMUM_MAJORS:
        return f"{uses} is not an action this workflow knows ({', '.join(MINIMUM_MAJORS)})"
    match = re.fullmatch(r"v(\d+)(\.\d+){0,2}", version)
    if match is None:
        return f"{uses} does not name a major version (vN)"
    if int(match.group(1)) < MINIMUM_MAJORS[action]:
        return f"{uses} is older than v{MINIMUM_MAJORS[action]}"
    return None


def commands(step):
    """The lines of a step's script that run something: not blank, not a comment, not an echo."""
    lines = []
    for line in str(step.get("run", "")).splitlines():
        line = line.strip()
        if line and not line.startswith(("#", "echo ", "echo.", "::", "rem ")) and line != "echo":
            lines.append(line)
    return lines


def runs(job, pattern):
    """Whether some step of the job runs a command line matching the pattern."""
    return any(re.search(pattern, line) for step in job.get("steps", []) for line in commands(step))


def check_workflow(path, problems):
    with open(path, encoding="utf-8") as source:
        workflow = yaml.safe_load(source) or {}
    # 'on' is YAML 1.1's true: GitHub reads the key as the trigger list all the same.
    if "on" not in workflow and True not in workflow:
        problems.append("no trigger")
    jobs = workflow.get("jobs") or {}
    windows = bench = release = None
    top_permissions = workflow.get("permissions") or {}
    if top_permissions.get("contents") != "read":
        problems.append("the workflow's permissions are not contents: read")
    for name, job in jobs.items():
        if not isinstance(job.get("timeout-minutes"), int) or not 0 < job["timeout-minutes"] <= 120:
            problems.append(f"{name}: no timeout-minutes of at most 120")
        for step in job.get("steps", []):
            uses = step.get("uses")
            if uses:
                problem = outdated(uses)
                if problem:
                    problems.append(f"{name}: {problem}")
            for line in commands(step):
                if "dumpbin" in line and "|| exit /b 1" not in line:
                    problems.append(f"{name}: dumpbin's exit status is not checked")
                if re.search(r'-G\s*"?Visual Studio', line):
                    problems.append(f"{name}: a Visual Studio version is pinned")
        matrix = (job.get("strategy") or {}).get("matrix") or {}
        if sorted(matrix.get("os", [])) == ["windows-2022", "windows-latest"]:
            windows = (name, job)
        container = job.get("container")
        image = container.get("image") if isinstance(container, dict) else container
        if image == "debian:12":
            bench = (name, job)
        if runs(job, r"^gh release create\b"):
            release = (name, job)
        elif (job.get("permissions") or {}).get("contents") == "write":
            problems.append(f"{name}: may write to the repository but publishes no release")

    if windows is None:
        problems.append("no job on windows-latest and windows-2022")
    else:
        name, job = windows
        if job.get("runs-on") != "${{ matrix.os }}":
            problems.append(f"{name}: does not run on its matrix's images")
        if sorted((job.get("strategy") or {}).get("matrix", {}).get("config", [])) != ["Debug", "Release"]:
            problems.append(f"{name}: not Debug and Release")
        for pattern, what in ((r"^cmake --preset msvc\b", "configure with the msvc preset"),
                              (r"^cmake --build --preset msvc\b.*\$\{\{ matrix\.config \}\}", "build its configuration"),
                              (r"core_tests\.exe", "run core_tests.exe"),
                              (r"win_tests\.exe", "run win_tests.exe"),
                              (r"^dumpbin .*/dependents", "list the exe's dependents"),
                              (r"findstr .*vcruntime", "refuse a Visual C++ runtime DLL"),
                              (r"^mt .*-inputresource", "extract the manifest"),
                              (r"requireAdministrator", "check the manifest asks for elevation")):
            if not runs(job, pattern):
                problems.append(f"{name}: does not {what}")
    if bench is None:
        problems.append("no job in a debian:12 container")
    else:
        name, job = bench
        if not runs(job, r"^scripts/test$"):
            problems.append(f"{name}: does not run the README's test command")
        if not runs(job, r"sha256sum verbwright\.exe"):
            problems.append(f"{name}: does not compute the exe's SHA-256")
        uploads = [step for step in job.get("steps", []) if str(step.get("uses", "")).startswith("actions/upload-artifact@")]
        paths = " ".join(str((step.get("with") or {}).get("path", "")) for step in uploads)
        if "verbwright.exe" not in paths or "sha256" not in paths:
            problems.append(f"{name}: does not upload the exe with its SHA-256")
    if release is None:
        problems.append("no job publishes a release")
    else:
        name, job = release
        if "startsWith(github.ref, 'refs/tags/v')" not in str(job.get("if", "")):
            problems.append(f"{name}: does not run on tags v* alone")
        needs = job.get("needs") or []
        needs = [needs] if isinstance(needs, str) else needs
        if bench is not None and bench[0] not in needs:
            problems.append(f"{name}: does not wait for the bench job's exe")
        if (job.get("permissions") or {}).get("contents") != "write":
            problems.append(f"{name}: cannot write the release")
        if not any(str(step.get("uses", "")).startswith("actions/download-artifact@") for step in job.get("steps", [])):
            problems.append(f"{name}: does not take the bench job's exe")
        for pattern, what in ((r"sha256sum -c verbwright\.exe\.sha256", "check the exe's hash"),
                              (r"sha256sum verbwright\.exe > SHA256SUMS", "write SHA256SUMS"),
                              (r"CHANGELOG\.md", "take its notes from CHANGELOG.md"),
                              (r"^test -s .*notes", "refuse empty notes"),
                              (r"FILEVERSION", "match the tag to the exe's version"),
                              (r"^gh release create .*verbwright\.exe.*SHA256SUMS.*LICENSE.*--notes-file",
                               "publish the exe, SHA256SUMS and LICENSE with the notes")):
            if not runs(job, pattern):
                problems.append(f"{name}: does not {what}")


def check_presets(problems):
    with open("CMakePresets.json", encoding="utf-8") as source:
        presets = json.load(source)
    msvc = [p for p in presets.get("configurePresets", []) if p.get("name") == "msvc"]
    if not msvc:
        problems.append("presets: no msvc configure preset")
        return
    preset = msvc[0]
    if "Visual Studio" in str(preset.get("generator", "")):
        problems.append("presets: msvc pins a Visual Studio version")
    if (inherited(presets.get("configurePresets", []), preset, "condition") or {}).get("rhs") != "Windows":
        problems.append("presets: msvc is not limited to a Windows host")


def inherited(presets, preset, key):
    """A preset's field, its own or the first its bases give, as CMake resolves it."""
    if key in preset:
        return preset[key]
    bases = preset.get("inherits", [])
    for name in [bases] if isinstance(bases, str) else bases:
        for base in presets:
            if base.get("name") == name:
                found = inherited(presets, base, key)
                if found is not None:
                    return found
    return None


paths = sys.argv[1:] or sorted(glob.glob(".github/workflows/*.yml"))
problems = []
if not paths:
    problems.append("no workflow to check")
for path in paths:
    found = []
    check_workflow(path, found)
    problems += [f"{path}: {problem}" for problem in found]
check_presets(problems)
for problem in problems:
    print("workflow:", problem)
sys.exit(1 if problems else 0)
