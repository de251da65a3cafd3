#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Seed f3195cce maintainers
# SPDX-License-Identifier: MIT
# Lost output is a failure however stdout is buffered: line-buffered or unbuffered, the write
# fails inside printf and leaves nothing for the final flush to report.
# Usage: lost-output.sh NAME BUFFERING [EMULATOR...] PATH-TO-PROGRAM, where BUFFERING is
# default, L or 0. L and 0 are set with stdbuf, which preloads a library of its own C library:
# where that cannot reach the program, the row is skipped.
# shellcheck source=lib.sh source-path=SCRIPTDIR
source "$(dirname "$0")/lib.sh"
name=$1 buffering=$2
shift 2
program=${*: -1}
[ -f "$program" ] || { echo "FAIL no program $program"; exit 1; }
# The loader that FILE names, the one that takes in LD_PRELOAD: none for a static program.
interpreter() {
    local headers
    headers=$(readelf --program-headers "$1") || return
    sed -n 's/.*Requesting program interpreter: \(.*\)]$/\1/p' <<<"$headers"
}
if [ "$buffering" != default ]; then
    stdbuf=$(command -v stdbuf) || skip "no stdbuf here (GNU coreutils): buffering $buffering cannot be set"
    command -v readelf >/dev/null || skip "no readelf here (binutils): cannot tell whether stdbuf reaches the program"
    # Decided by the program itself: stdbuf's library reaches it only through the same loader, so
    # never a static program, nor one built for another machine (run by an emulator) or against
    # another C library.
    theirs=$(interpreter "$stdbuf") && mine=$(interpreter "$program") ||
        { echo "FAIL readelf cannot read $stdbuf or $program"; exit 1; }
    [ -n "$mine" ] || skip "a static program loads no library: stdbuf cannot set its buffering"
    [ "$mine" = "$theirs" ] ||
        skip "the program's loader is $mine, stdbuf's is $theirs: stdbuf cannot set its buffering"
    # stdbuf preloads its library after any already in LD_PRELOAD. A program built with
    # GCC's AddressSanitizer refuses to run unless its runtime comes first: so it does.
    asan=$(ldd "$program" | sed -n 's/^[[:space:]]*libasan\.so[^ ]* => \([^ ]*\).*/\1/p')
    runner=(env ${asan:+LD_PRELOAD="$asan${LD_PRELOAD:+:$LD_PRELOAD}"} stdbuf -o"$buffering" "${runner[@]}")
fi
err=$(echo 12 3 | "${runner[@]}" "$@" 2>&1 >/dev/full)
status=$?
ended "$status" "stdout /dev/full"
[ $status = 1 ] && [ "$err" = "$name: cannot write output: No space left on device" ] && ok ||
    bad "$(printf 'stdout /dev/full, buffering %s: status %s, stderr %q' "$buffering" "$status" "$err")"
tally "$name lost output, buffering $buffering"
