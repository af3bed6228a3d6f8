#!/bin/sh
# Runs mandoc's checker on every manual page in the folder given and fails on any message of
# warning level or worse. Style messages are left out: "referenced manual not found" depends
# on which pages this machine has installed. Usage: manpages_test.sh MAN_DIR
set -eu
pages=$(find "$1" -name '*.[1-9]' | LC_ALL=C sort)
[ -n "$pages" ] || { echo "No manual pages in $1"; exit 1; }
# mandoc exits 0 with nothing printed when no page has anything at warning level or worse.
# shellcheck disable=SC2086
output=$(mandoc -Tlint -W warning $pages 2>&1) || { printf '%s\n' "$output"; exit 1; }
[ -z "$output" ] || { printf '%s\n' "$output"; exit 1; }
echo "$(echo "$pages" | wc -l) pages checked"
