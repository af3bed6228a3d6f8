#!/usr/bin/env bash
# Runs a large set of pixconv command lines with two builds and compares, case by case,
# the exit status, standard output, standard error and every file left in the folder.
# For refactorings that must not change behaviour: keep a copy of the old binary first.
#   tests/pixconv_compare.sh OLD_PIXCONV NEW_PIXCONV DEFAULT_FONT HERO_SPR
# Each case runs in a fresh copy of one seed folder, made once with OLD_PIXCONV. Prints
# each case that differs and exits 1, or says how many cases agreed.
set -euo pipefail
old=$(realpath "$1")
new=$(realpath "$2")
font=$(realpath "$3")
hero=$(realpath "$4")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---- The seed: every kind of input, made by the old build from the two assets.
seed=$work/seed
mkdir -p "$seed/frames" "$seed/dir1" "$seed/dir2"
(
    cd "$seed"
    cp "$hero" hero.spr
    cp "$font" font.fnt
    # Square sprites, so that the size bytes' order does not matter: a 4 x 4 and an 8 x 8.
    /usr/bin/python3 - <<'EOF'
open("a.spr", "wb").write(bytes([4, 4]) + bytes(i % 16 for i in range(16)))
open("b.spr", "wb").write(bytes([4, 4]) + bytes((i * 3) % 16 for i in range(16)))
open("big.spr", "wb").write(bytes([8, 8]) + bytes([255] * 32 + [5] * 32))
open("clear.spr", "wb").write(bytes([4, 4]) + bytes([255] * 16))
open("empty.spr", "wb").write(bytes([0, 0]))
open("short.spr", "wb").write(bytes([8, 8, 1, 2]))
open("junk.png", "wb").write(b"not a picture")
open("bad.json", "wb").write(b"{ broken")
EOF
    cp a.spr dir1/a.spr
    cp b.spr dir2/a.spr
    "$old" hero.spr hero.png
    "$old" hero.spr hero.gif
    "$old" a.spr b.spr anim.gif
    "$old" a.spr b.spr sheet.png
    "$old" --atlas array a.spr b.spr arraysheet.png
    "$old" a.spr b.spr tiles.tsx
    cp tiles.png tileonly.png && cp tiles.tsx tileonly.tsx
    "$old" font.fnt font.psf
    "$old" font.fnt font.psf.gz
    "$old" font.fnt font.bdf
    "$old" font.fnt font.ttf
    "$old" font.fnt font.png
    "$old" --palette pal.gpl
    "$old" --palette pal.pal
    "$old" --palette pal.hex
    "$old" --palette pal.png
    cp /usr/share/fonts/X11/misc/5x8.pcf.gz 5x8.pcf.gz 2>/dev/null || true
) >/dev/null

# ---- The cases, one command line a line (shell words).
cases=$work/cases
{
    cat <<'EOF'
--help
--version
--help --bogus
--version hero.spr out.png

-x
--bogus hero.spr out.png
--scale
--scale=
--psf1=3 font.fnt out.psf
--
-- hero.spr out.png
hero.spr
hero.spr a.png b.png
missing.spr out.png
hero.spr hero.spr
hero.spr ./hero.spr
hero.spr out.xyz
hero.xyz out.png
hero.spr nodir/out.png
tiles.tsx out.spr
hero.apng out.spr
hero.spr out.gpl
font.fnt out.apng
short.spr out.png
empty.spr out.png
empty.spr out.gif
empty.spr out.apng
junk.png out.spr
junk.png --font out.fnt
hero.png out.png
hero.png out.h
hero.png --sprite out.h
hero.png --font out.h
hero.png --sprite --font out.h
--sprite hero.spr out.png
--font hero.spr out.png
--sprite font.fnt out.png
hero.png --sprite out.png
font.png --font out.png
font.png --font --invert out.fnt
font.png --font out.fnt
font.png --font --scale 2 out.fnt
hero.spr --scale 4 out.png
hero.spr --scale=4 out.png
hero.spr --scale 0 out.png
hero.spr --scale 65 out.png
hero.spr --scale 64 out.png
hero.spr --scale abc out.png
hero.spr --scale 0004 out.png
hero.spr --scale 2 out.h
hero.spr --nearest out.png
hero.png --nearest out.spr
font.fnt --bmfont out.fnt
font.fnt --bmfont --scale 2 out.fnt
font.fnt out.xml
font.fnt --name 'My Font' out.xml
font.fnt --name 'bad"name' out.ttf
font.fnt --name Foo out.ttf
font.fnt --name '' out.ttf
font.fnt --name 1bad out.h
font.fnt --name good_name out.h
font.fnt --name whatever out.bdf
font.fnt --name x out.psf
font.fnt --psf1 out.psf
font.fnt --psf1 out.psfu.gz
font.fnt --charset cp437 out.psf
font.fnt --charset cp437 out.bdf
font.fnt --charset koi8-r out.ttf
font.fnt --charset bogus out.psf
font.fnt --charset cp437 out.fnt
font.fnt --invert out.png
hero.spr --psf1 out.png
hero.spr --invert out.png
font.ttf --size 8 out.fnt
font.ttf --size 99 out.fnt
font.ttf --size 0 out.fnt
font.fnt --size 8 out.ttf
5x8.pcf.gz out.fnt
5x8.pcf.gz --size 8 out.fnt
5x8.pcf.gz --charset cp437 out.bdf
font.psf.gz out.fnt
font.psf out.psf.gz
font.bdf out.fnt
font.bdf --charset cp437 out.fnt
hero.spr --delay 100 out.gif
hero.spr --delay 100 --loop 2 out.apng
hero.spr --delay 0 out.gif
hero.spr --delay 655351 out.gif
hero.spr --delay 5 out.gif
hero.spr --loop 65536 out.gif
hero.spr --loop 65535 out.gif
hero.spr --delay 100 out.png
hero.spr --loop 2 out.png
hero.gif out.spr
hero.gif out.png
anim.gif out.spr
a.spr b.spr sheet2.png
a.spr b.spr --atlas array sheet2.png
a.spr b.spr --atlas bogus sheet2.png
a.spr b.spr --columns 1 sheet2.png
a.spr b.spr --columns 0 sheet2.png
a.spr b.spr --padding 2 sheet2.png
a.spr b.spr --scale 2 sheet2.png
a.spr --atlas hash one.png
a.spr b.spr a.png
dir1/a.spr dir2/a.spr sheet2.png
a.spr missing.spr sheet2.png
a.spr short.spr sheet2.png
a.spr b.spr sheet.png
a.spr b.spr a.spr
sheet.png frames/
sheet.png frames
sheet.png nofolder/
arraysheet.png frames/
--cell 4x4 sheet.png tile%02d.spr
--cell 4x4 sheet.png tile.spr
--cell 4x4 sheet.png frames/
--cell 4x4 sheet.png tile%02d.png
--cell 4x4 sheet.png tile%d%d.spr
--cell 4x4 sheet.png tile%%%d.spr
--cell 4x4 --offset 1x1 sheet.png t%d.spr
--cell 4x4 --padding 1 sheet.png t%d.spr
--cell 4x4 --skip-empty sheet.png t%d.spr
--cell 4x0 sheet.png t%d.spr
--cell 4 sheet.png t%d.spr
--cell 999x4 sheet.png t%d.spr
--cell 4x4 --atlas array sheet.png t%d.spr
--cell 4x4 --columns 2 sheet.png t%d.spr
sheet.png t%d.spr
sheet.png --skip-empty frames/
sheet.png --padding 1 frames/
sheet.png --nearest frames/
junk.png frames/
hero.png frames/
tileonly.png frames/
a.spr b.spr t2.tsx
a.spr b.spr --animation t2.tsx
a.spr b.spr --animation --delay 50 t2.tsx
a.spr b.spr --delay 50 t2.tsx
a.spr big.spr t2.tsx
a.spr b.spr --godot 3 t2.tsx
a.spr b.spr w.tres
a.spr b.spr --godot 3 w.tres
a.spr b.spr --godot 5 w.tres
a.spr b.spr --delay 80 w.tres
a.spr b.spr --name walk w.tres
a.spr b.spr --animation w.tres
sheet.png w.tres
sheet.png t2.tsx
sheet.png --godot 3 w.tres
a.spr b.spr walk.gif
a.spr b.spr walk.apng
a.spr big.spr walk.gif
a.spr empty.spr walk.gif
a.spr b.spr --delay 5 walk.gif
a.spr b.spr --delay 5 walk.apng
a.spr b.spr --loop 3 --scale 2 walk.apng
a.spr b.spr --nearest walk.gif
a.spr b.spr --columns 2 walk.gif
a.spr b.spr a.gif
sheet.png walk.gif
sheet.png --nearest walk.gif
anim.gif frames/
anim.gif f%02d.spr
anim.gif f.spr
anim.gif f%02d.png
anim.gif nofolder/
anim.gif --nearest frames/
anim.gif --scale 2 frames/
anim.gif --delay 100 frames/
junk.png --font frames/
--palette out.gpl
--palette out.pal
--palette out.hex
--palette out.png
--palette out.xyz
--palette out.gpl --scale 2
--palette pal.gpl
--palette pal.gpl hero.spr out.png
--palette pal.pal hero.spr out.gif
--palette pal.hex hero.spr out.apng
--palette pal.png hero.spr out.png
--palette pal.gpl hero.png out.spr
--palette missing.gpl hero.spr out.png
--palette junk.png hero.spr out.png
--palette pal.txt hero.spr out.png
--palette pal.gpl font.fnt out.psf
--palette pal.gpl font.fnt out.png
--palette pal.gpl a.spr b.spr sheet2.png
--palette pal.gpl anim.gif frames/
--palette pal.gpl a.spr b.spr walk.gif
--palette hero.spr hero.spr out.png
--palette out.png hero.spr out.png
--watch hero.spr
--watch --bogus hero.spr out.png
--watch hero.spr out.xyz
--watch --psf1 hero.spr out.png
EOF
    # Every input kind into every output ending, and with --sprite and --font.
    for input in hero.spr hero.png hero.gif font.fnt font.psf font.psf.gz font.bdf font.ttf font.png 5x8.pcf.gz; do
        for ending in spr fnt png gif apng gpl pal hex psf psfu psf.gz psfu.gz bdf pcf fon ttf otf otb h xml woff2 tsx tres; do
            echo "$input out.$ending"
        done
        echo "--sprite $input out.h"
        echo "--font $input out.png"
    done
    # Every option in every mode: where it applies it runs, elsewhere the message names why.
    for option in --sprite --font "--scale 2" --nearest --invert --psf1 "--name n" --bmfont "--charset cp437" \
                  "--size 8" "--columns 1" "--padding 1" "--atlas array" "--cell 4x4" "--offset 1x1" --skip-empty \
                  "--delay 40" "--loop 2" --animation "--godot 3" "--palette pal.gpl"; do
        for line in "hero.spr out.png" "font.fnt out.psf" "a.spr b.spr s.png" "sheet.png frames/" \
                    "--cell 4x4 sheet.png t%d.spr" "a.spr b.spr t.tsx" "a.spr b.spr w.tres" \
                    "a.spr b.spr w.gif" "anim.gif frames/" "sheet.png w.apng"; do
            echo "$option $line"
        done
    done
} > "$cases"

# ---- Runs every case with both builds and compares.
run_case() { # BINARY FOLDER WORDS...
    local binary=$1 folder=$2
    shift 2
    cp -a "$seed" "$folder"
    local status=0
    (cd "$folder" && "$binary" "$@" >"$folder.out" 2>"$folder.err") || status=$?
    echo "$status" >"$folder.status"
}

total=0
differ=0
while IFS= read -r line; do
    total=$((total + 1))
    eval "words=($line)"
    run_case "$old" "$work/old" "${words[@]+"${words[@]}"}"
    run_case "$new" "$work/new" "${words[@]+"${words[@]}"}"
    for part in status out err; do
        if ! cmp -s "$work/old.$part" "$work/new.$part"; then
            echo "case $total: pixconv $line: $part differs"
            diff "$work/old.$part" "$work/new.$part" | head -6 || true
            differ=$((differ + 1))
        fi
    done
    if ! diff -r --no-dereference "$work/old" "$work/new" >/dev/null; then
        echo "case $total: pixconv $line: the files differ"
        diff -rq "$work/old" "$work/new" | head -6 || true
        differ=$((differ + 1))
    fi
    rm -rf "$work/old" "$work/new" "$work"/old.* "$work"/new.*
done <"$cases"

if [ "$differ" -gt 0 ]; then
    echo "$differ differences in $total cases"
    exit 1
fi
echo "$total cases: the same status, output, errors and files"
