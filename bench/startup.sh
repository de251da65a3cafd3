#!/usr/bin/env bash
# What each program costs to run, in instructions counted by callgrind (repeatable on a busy
# machine, unlike wall time), against /bin/true. Usage: bench/startup.sh [BUILD_DIR]
# Exits 1 if a program is over its bar: 1.15 times /bin/true, 1.30 for poleprobe, which also
# loads the math library; a statically linked program loads nothing, and its bar is 0.60.
set -euo pipefail
build=${1:-build}

# Instructions that COMMAND executes, fed INPUT on stdin.
instructions() {
    local input=$1
    shift
    printf '%s' "$input" |
        valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
        sed -n 's/.*refs: *//p' | tr -d ,
}

base=$(instructions '' /bin/true)
printf '%-10s %12s %6s %5s\n' program instructions ratio bar
printf '%-10s %12s %6s\n' /bin/true "$base" 1.000
over=0
while read -r program bar input; do
    count=$(instructions "$input" "$build/$program")
    readelf -l "$build/$program" | grep -q 'program interpreter' || bar=0.60
    verdict=$(awk -v c="$count" -v b="$base" -v bar="$bar" \
        'BEGIN { r = c / b; printf "%6.3f %5.2f %s", r, bar, (r <= bar ? "ok" : "OVER") }')
    printf '%-10s %12s %s\n' "$program" "$count" "$verdict"
    [[ $verdict == *ok ]] || over=1
done <<'ROWS'
divprobe  1.15 12 3
poleprobe 1.30
centsweep 1.15
ROWS
exit "$over"
