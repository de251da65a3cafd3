#!/usr/bin/env bash
# What each program costs to run, in instructions counted by callgrind (repeatable on a busy
# machine, unlike wall time), against /bin/true. Usage: bench/startup.sh [DIR], where DIR holds
# the programs: a build tree (build by default) or an installed bin directory.
# Exits 1 if a program is over its bar: 1.15 times /bin/true, 1.30 for poleprobe, which also
# loads the math library; a statically linked program loads nothing, and its bar is 0.60.
# Exits 2, saying why, if valgrind or a program is missing.
set -euo pipefail
dir=${1:-build}
valgrind=$(command -v valgrind) || { echo "startup.sh: valgrind is missing (apt-get install valgrind)" >&2; exit 2; }

# Instructions that COMMAND executes, fed INPUT on stdin. The dynamic loader's work grows with
# the environment, so both sides run in the same empty one, and the figures repeat anywhere.
instructions() {
    local input=$1
    shift
    printf '%s' "$input" |
        env -i "$valgrind" --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
        sed -n 's/.*refs: *//p' | tr -d ,
}

base=$(instructions '' /bin/true)
printf '%-10s %12s %7s %5s\n' program instructions ratio bar
printf '%-10s %12s %7s\n' /bin/true "$base" 1.0000
over=0
while read -r program bar input; do
    [ -x "$dir/$program" ] || { echo "startup.sh: no $program in $dir: build first, or name the directory" >&2; exit 2; }
    count=$(instructions "$input" "$dir/$program")
    readelf -l "$dir/$program" | grep -q 'program interpreter' || bar=0.60
    verdict=$(awk -v c="$count" -v b="$base" -v bar="$bar" \
        'BEGIN { r = c / b; printf "%7.4f %5.2f %s", r, bar, (r <= bar ? "ok" : "OVER") }')
    printf '%-10s %12s %s\n' "$program" "$count" "$verdict"
    [[ $verdict == *ok ]] || over=1
done <<'ROWS'
divprobe  1.15 12 3
poleprobe 1.30
centsweep 1.15
ROWS
exit "$over"
