#!/usr/bin/python3
"""Runs every command example of the README and of the manual pages, so that none can go stale.

Usage: examples_test.py SOURCE_DIR BUILD_DIR [--windows WINDOWS_BUILD_DIR]

The examples are the ```sh blocks of README.md and the .Bd -literal blocks and .Dl lines of
the EXAMPLES section of each manual page in man/. A block is left out when the line before it says
"<!-- not run: why -->" (README) or '.\\" not run: why' (manual page). A command must exit 0
unless its line ends with the comment "# exits N" (README) or the manual page's example
follows '.\\" exits N'.

Each document's examples run in order, each as one bash command, in a fresh folder holding
the sample knight hero.spr, the default font as mine.fnt, eight 16 x 16 sprites walk-1.spr
to walk-8.spr, and build/ (the build folder). The build folder's programs come first on
PATH. The manual pages name the installed data under /usr/local: the build is installed
into a temporary prefix, which stands for /usr/local in their commands. pixmend and glyfmend stand for themselves only as far as this: they run in the test's
own Xvfb until their window shows, then end as a window manager's quit ends them (SIGTERM,
status 0), so an example that cannot start its editor fails.
"""
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile

SKIPPED = 77  # ctest's SKIP_RETURN_CODE for this test
HANG_LIMIT = 300  # seconds: only a guard against a real hang

EDITOR_SHIM = """#!/usr/bin/python3
# Starts the real editor, waits until its window shows, then ends it with SIGTERM.
import os, subprocess, sys, time
program = subprocess.Popen([os.path.join(os.environ["EXAMPLES_BUILD"], os.path.basename(sys.argv[0]))] + sys.argv[1:])
deadline = time.monotonic() + 60
while program.poll() is None:
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(program.pid)],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if found.returncode == 0:
        program.terminate()
        sys.exit(program.wait())
    if time.monotonic() > deadline:
        program.kill()
        sys.exit("no window within a minute")
    time.sleep(0.05)
sys.exit(program.returncode)  # it ended without showing a window
"""


class Example:
    def __init__(self, where, command, status):
        self.where, self.command, self.status = where, command, status


def commands_of(lines, first_line, where, status_from_comment):
    """Joins continued lines and drops blank and comment-only lines."""
    examples, pending, start = [], "", first_line
    for number, line in enumerate(lines, first_line):
        if not pending:
            start = number
        if line.endswith("\\"):
            pending += line[:-1] + " "
            continue
        command = (pending + line).strip()
        pending = ""
        if not command or command.startswith("#"):
            continue
        status = 0
        if status_from_comment:
            match = re.search(r"#\s*exits (\d+)", command)
            status = int(match.group(1)) if match else 0
        examples.append(Example(f"{where}:{start}", command, status))
    return examples


def readme_examples(path):
    lines = open(path, encoding="utf-8").read().splitlines()
    examples, n = [], 0
    while n < len(lines):
        fence = lines[n].strip()
        if fence.startswith("```") and fence != "```":
            end = next(e for e in range(n + 1, len(lines)) if lines[e].strip() == "```")
            before = next((lines[b] for b in range(n - 1, -1, -1) if lines[b].strip()), "")
            if fence == "```sh" and not before.startswith("<!-- not run"):
                examples += commands_of(lines[n + 1:end], n + 2, os.path.basename(path), True)
            n = end
        n += 1
    return examples


def unescape_mdoc(text):
    return text.replace("\\e", "\\").replace("\\-", "-").replace("\\&", "").replace("\\(aq", "'")


def manual_examples(path):
    lines = open(path, encoding="utf-8").read().splitlines()
    where = os.path.basename(path)
    start = lines.index(".Sh EXAMPLES")
    end = next((n for n in range(start + 1, len(lines)) if lines[n].startswith(".Sh ")), len(lines))
    examples, skip, status, n = [], False, 0, start + 1
    while n < end:
        line = lines[n]
        if line.startswith('.\\" not run'):
            skip = True
        elif line.startswith('.\\" exits '):
            status = int(line.split()[2])
        elif line.startswith(".Dl ") or line.startswith(".Bd -literal"):
            if line.startswith(".Dl "):
                block, first = [line[4:]], n + 1
            else:
                close = lines.index(".Ed", n)
                block, first, n = lines[n + 1:close], n + 2, close
            if not skip:
                found = commands_of([unescape_mdoc(text) for text in block], first, where, False)
                for example in found:
                    example.status = status
                examples += found
            skip, status = False, 0
        n += 1
    return examples


def start_x_server():
    """Starts Xvfb on a display number nobody uses; returns (process, display) or (None, why)."""
    if shutil.which("Xvfb") is None or shutil.which("xdotool") is None:
        return None, "no Xvfb or xdotool for the editors' examples (install xvfb and xdotool)"
    read_end, write_end = os.pipe()
    # -noreset: between two editors no client is connected, and a server that resets then
    # can take the window of an editor that connects meanwhile, leaving it never shown.
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                               "-nolisten", "tcp", "-noreset"], pass_fds=[write_end],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        server.kill()
        return None, "Xvfb did not start"
    return server, ":" + number


def seed_folder(folder, source, build):
    shutil.copy(os.path.join(source, "assets", "hero.spr"), os.path.join(folder, "hero.spr"))
    shutil.copy(os.path.join(build, "default.fnt"), os.path.join(folder, "mine.fnt"))
    for frame in range(1, 9):
        # A walk cycle of sorts: every frame different, none wholly transparent.
        pixels = bytes(255 if (x + y + frame) % 4 == 0 else (x * y + frame) % 16
                       for y in range(16) for x in range(16))
        with open(os.path.join(folder, f"walk-{frame}.spr"), "wb") as file:
            file.write(bytes([16, 16]) + pixels)
    os.symlink(build, os.path.join(folder, "build"))


def run_examples(examples, source, build, environment, prefix):
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        seed_folder(folder, source, build)
        for example in examples:
            try:
                command = example.command.replace("/usr/local/", prefix + "/")
                done = subprocess.run(["bash", "-c", command], cwd=folder, env=environment,
                                      capture_output=True, text=True, timeout=HANG_LIMIT)
                status, errors = done.returncode, done.stderr.strip()
            except subprocess.TimeoutExpired:
                status, errors = None, f"still running after {HANG_LIMIT} s"
            if status == example.status:
                print(f"ok      {example.where}: {example.command}")
                continue
            failures += 1
            print(f"FAILED  {example.where}: {example.command}\n"
                  f"        exit status {status}, expected {example.status}" + (f"; {errors}" if errors else ""))
    return failures


def snapshot(folder):
    """Every file under `folder` (not following the build link) and its bytes."""
    files = {}
    for where, folders, names in os.walk(folder):
        folders[:] = [name for name in folders if not os.path.islink(os.path.join(where, name))]
        for name in names:
            path = os.path.join(where, name)
            if not os.path.islink(path):
                with open(path, "rb") as file:
                    files[os.path.relpath(path, folder)] = file.read()
    return files


def run_command(command, folder, environment):
    try:
        done = subprocess.run(["bash", "-c", command], cwd=folder, env=environment,
                              capture_output=True, timeout=HANG_LIMIT)
        return done.returncode, done.stdout, done.stderr
    except subprocess.TimeoutExpired:
        return None, b"", f"still running after {HANG_LIMIT} s".encode()


def compare_examples(examples, source, build, sides, prefix):
    """Runs each example on both sides, each in its own folder; counts the differences."""
    failures = 0
    with tempfile.TemporaryDirectory() as linux, tempfile.TemporaryDirectory() as windows:
        for folder in (linux, windows):
            seed_folder(folder, source, build)
        for example in examples:
            command = example.command.replace("/usr/local/", prefix + "/")
            results = [run_command(command, folder, environment)
                       for folder, environment in zip((linux, windows), sides)]
            files = [snapshot(linux), snapshot(windows)]
            different = [name for name in sorted(set(files[0]) | set(files[1]))
                         if files[0].get(name) != files[1].get(name)]
            what = []
            for index, part in enumerate(("exit status", "standard output", "standard error")):
                if results[0][index] != results[1][index]:
                    what.append(f"{part}: Linux {results[0][index]!r}, Windows {results[1][index]!r}")
            if different:
                what.append("files differ: " + ", ".join(different))
            if not what:
                print(f"same    {example.where}: {example.command}")
                continue
            failures += 1
            print(f"FAILED  {example.where}: {example.command}\n        " + "\n        ".join(what))
    return failures


def main():
    source, build = (os.path.abspath(path) for path in sys.argv[1:3])
    windows_build = os.path.abspath(sys.argv[4]) if sys.argv[3:4] == ["--windows"] else None
    documents = {"README.md": readme_examples(os.path.join(source, "README.md"))}
    for page in sorted(os.listdir(os.path.join(source, "man"))):
        lines = open(os.path.join(source, "man", page), encoding="utf-8").read().splitlines()
        if ".Sh EXAMPLES" in lines:
            name, section = page.rsplit(".", 1)
            documents[f"{name}({section})"] = manual_examples(os.path.join(source, "man", page))
    for name, examples in documents.items():
        if not examples:
            print(f"{name}: no example found; has the way they are marked changed?")
            return 1

    shims = tempfile.mkdtemp()
    prefix = tempfile.mkdtemp()
    server = None
    try:
        for editor in ("pixmend", "glyfmend"):
            shim = os.path.join(shims, editor)
            with open(shim, "w") as file:
                file.write(EDITOR_SHIM)
            os.chmod(shim, stat.S_IRWXU)
        environment = dict(os.environ, PATH=f"{shims}:{build}:/usr/bin:/bin", EXAMPLES_BUILD=build)
        server, display = start_x_server()
        if server is None:
            if os.environ.get("CI") == "true":
                print(f"cannot do its job (CI=true, so this fails instead of skipping): {display}")
                return 1
            print(display)
            return SKIPPED
        environment["DISPLAY"] = display
        subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
        if windows_build:
            shim = os.path.join(shims, "windows", "pixconv")
            os.makedirs(os.path.dirname(shim))
            with open(shim, "w") as file:
                file.write(f'#!/bin/sh\nexec wine "{windows_build}/pixconv.exe" "$@"\n')
            os.chmod(shim, stat.S_IRWXU)
            on_windows = dict(environment, PATH=f"{shims}/windows:" + environment["PATH"])
            failures = sum(compare_examples(examples, source, build, (environment, on_windows), prefix)
                           for examples in documents.values())
        else:
            failures = sum(run_examples(examples, source, build, environment, prefix) for examples in documents.values())
        total = sum(len(examples) for examples in documents.values())
        counts = ", ".join(f"{len(examples)} in {name}" for name, examples in documents.items())
        print(f"{total - failures} of {total} examples ran as their text says ({counts})")
        return 1 if failures else 0
    finally:
        if server is not None:
            server.send_signal(signal.SIGTERM)
            server.wait()
        shutil.rmtree(shims)
        shutil.rmtree(prefix)


if __name__ == "__main__":
    sys.exit(main())
