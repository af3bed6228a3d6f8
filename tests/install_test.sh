#!/bin/sh
# Installs the build into a fresh prefix, as `cmake --install build --prefix PREFIX` does for
# a user, and checks that the tree holds exactly the programs, the data files and the manual
# pages (nothing the tests, benchmarks or makefont build), and that the installed pixmend
# runs from another folder. Usage: install_test.sh CMAKE BUILD_DIR SOURCE_DIR
set -eu
cmake=$1
build=$2
source=$3

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" > /dev/null

expected='bin/glyfmend
bin/pixconv
bin/pixmend
share/man/man1/glyfmend.1
share/man/man1/pixconv.1
share/man/man1/pixmend.1
share/man/man5/pixel-editors.5
share/pixel-editors/default.fnt
share/pixel-editors/hero.spr'
actual=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
if [ "$actual" != "$expected" ]; then
    printf 'The installed tree is\n%s\n\nbut should be\n%s\n' "$actual" "$expected"
    exit 1
fi

for program in pixmend glyfmend pixconv; do
    [ -x "$prefix/bin/$program" ] || { echo "bin/$program is not executable"; exit 1; }
done
for page in pixmend.1 glyfmend.1 pixconv.1; do
    cmp "$source/man/$page" "$prefix/share/man/man1/$page"
done
cmp "$source/man/pixel-editors.5" "$prefix/share/man/man5/pixel-editors.5"
cmp "$build/default.fnt" "$prefix/share/pixel-editors/default.fnt"
cmp "$source/assets/hero.spr" "$prefix/share/pixel-editors/hero.spr"

# Run from a folder that holds nothing of the build, so that nothing there is found by accident.
status=0
output=$(cd "$prefix/share" && "$prefix/bin/pixmend" 2>&1) || status=$?
expected_output='Not enough arguments!
>pixmend [filename] [width] [height]'
if [ "$status" -ne 1 ] || [ "$output" != "$expected_output" ]; then
    printf 'The installed pixmend without arguments exited with %s and printed\n%s\n' "$status" "$output"
    exit 1
fi
