#!/usr/bin/python3
"""Proves that `scripts/setup run` installs all that the three programs need to build.

Configures the project without its tests and benchmarks in a fresh folder, collects every
file of the system that the configure step found and the programs' build uses (the
libraries on each link line, the include folders, the CMake package folders, the
pkg-config files, the compiler), and checks that each belongs to a Debian package of the
`run` group or to one of their dependencies. A library added to the build without its
package in that group fails here, not on a new user's machine.

Usage: setup_test.py CMAKE SOURCE_DIR
"""
import glob
import os
import re
import shlex
import subprocess
import sys
import tempfile


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def cache_entries(build):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            match = re.match(r"([^#/][^:]*):(\w+)=(.*)", line.rstrip("\n"))
            if match:
                yield match.groups()


def found_files(build):
    """The absolute paths outside the build that the configured build uses."""
    paths = set()
    for name, kind, value in cache_entries(build):
        if kind == "PATH" and name.endswith("_DIR") or name in ("CMAKE_CXX_COMPILER", "CMAKE_MAKE_PROGRAM",
                                                                 "PKG_CONFIG_EXECUTABLE"):
            paths.add(value)
        # A QUIET check is a probe that the build can do without.
        if name.startswith("__pkg_config_arguments_") and "QUIET" not in value.split(";"):
            for module in value.split(";"):
                if module not in ("REQUIRED", "IMPORTED_TARGET", "GLOBAL", "NO_CMAKE_PATH",
                                  "NO_CMAKE_ENVIRONMENT_PATH"):
                    module = re.split(r"[<>=]", module)[0]
                    paths.add(run("pkg-config", "--path", module).strip())
    for made in glob.glob(os.path.join(build, "**", "CMakeFiles", "*.dir", "*"), recursive=True):
        if os.path.basename(made) not in ("link.txt", "flags.make"):
            continue
        with open(made, encoding="utf-8") as text:
            for word in shlex.split(text.read(), comments=True):
                word = word.removeprefix("-I").removeprefix("-isystem")
                paths.add(word)
    return {path for path in paths if path.startswith("/usr") or path.startswith("/lib")}


def owners(path):
    """The packages that hold `path`, trying its merged-/usr and resolved spellings."""
    spellings = [path, os.path.realpath(path)]
    spellings += [spelling.removeprefix("/usr") for spelling in spellings if spelling.startswith("/usr/lib")]
    for spelling in spellings:
        result = subprocess.run(["dpkg", "-S", spelling], capture_output=True, text=True)
        if result.returncode == 0:
            names = set()
            for line in result.stdout.splitlines():
                if line.startswith("diversion "):
                    continue
                names |= {name.strip().split(":")[0] for name in line.rsplit(": ", 1)[0].split(",")}
            return names
    return set()


def run_group_closure(source):
    group = run(os.path.join(source, "scripts", "setup"), "--list", "run").split()
    listing = run("apt-cache", "depends", "--recurse", "--no-recommends", "--no-suggests", "--no-conflicts",
                  "--no-breaks", "--no-replaces", "--no-enhances", *group)
    closure = {line.split(":")[0] for line in listing.splitlines() if line and not line[0].isspace()}
    return group, closure


def main():
    cmake, source = sys.argv[1:3]
    group, allowed = run_group_closure(source)
    with tempfile.TemporaryDirectory() as build:
        run(cmake, "-S", source, "-B", build, "-DEDITORS_TESTS=OFF", "-DEDITORS_BENCH=OFF")
        paths = sorted(found_files(build))
    wrong = []
    for path in paths:
        held_by = owners(path)
        if not held_by & allowed:
            wrong.append(f"  {path}: {', '.join(sorted(held_by)) or 'no package'}")
    # A check that found nothing proves nothing: the libraries each program links must be among them.
    for library in ("libSDL2", "libspng.so", "libgif.so", "libfreetype.so", "libwoff2enc.so", "libz.so"):
        if not any(library in path for path in paths):
            wrong.append(f"  {library}: not found among the configured build's files")
    print(f"{len(paths)} files of the configured build checked against the {len(group)} packages of "
          f"'scripts/setup run' and their {len(allowed)} dependencies")
    if wrong:
        print("Not installed by 'scripts/setup run':")
        print("\n".join(wrong))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
