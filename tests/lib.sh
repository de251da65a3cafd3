# shellcheck shell=bash
# SPDX-FileCopyrightText: 2026 Seed f3195cce maintainers
# SPDX-License-Identifier: MIT
# What the test scripts share: sourced, not run. A script counts the rows that pass and fail and
# ends with tally; one that cannot run here says why on one line and exits 77, which ctest counts
# as skipped. Its temporary files go in $tmp, removed when it ends.
set -u
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
passed=0 failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)) && printf 'FAIL %s\n' "$*"; }
skip() {
    echo "skipped: $*"
    exit 77
}
# Says how many rows of NAME passed and failed; fails if one failed.
tally() {
    echo "$1: $passed passed, $failed failed"
    [ "$failed" = 0 ]
}

# A sound run ends in milliseconds, under valgrind or qemu in well under a second. One that is
# still running after this many seconds loops: it is cut off, and fails at once.
limit=5
# What a program is run with: that limit, and RUNNER before it, if set (a memory checker, as CI's
# memcheck sets; valgrind needs --vgdb=no, or its own start-up file meets the file size limit of
# divprobe's lost-verdict row).
# GNU's timeout moves the program to a process group of its own, which may not read the terminal:
# --foreground keeps it in ours. busybox's, first on PATH in some build roots, keeps it there
# anyway, and knows no such option.
timeout_options=(-k 1 "$limit")
! timeout --foreground 1 true 2>/dev/null || timeout_options=(--foreground "${timeout_options[@]}")
# shellcheck disable=SC2034,SC2206 # used where sourced; RUNNER is a command line, split on purpose
runner=(timeout "${timeout_options[@]}" ${RUNNER:-})
# Says whether the run that ended with STATUS ended by itself; stops the script if not. WHAT
# names the run. GNU's timeout says 124 when it stopped the program, busybox's leaves the status
# of its SIGTERM (143); either, 137, for the SIGKILL that follows.
ended() {
    (($1 != 124 && $1 != 137 && $1 != 143)) || { echo "FAIL still running after $limit s: $2"; exit 1; }
}
