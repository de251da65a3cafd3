#!/usr/bin/env bash
# What each program costs to run, in instructions counted by callgrind (repeatable on a busy
# machine, unlike wall time), against the floor: startup-floor, an empty main built and linked
# the same way in the same tree, which costs what any such program costs to start on this system.
# /bin/true is shown beside it for reference only: how it is linked varies between releases.
# Usage: bench/startup.sh [DIR], where DIR is a build tree (build by default).
# Exits 1 if a program is over its bar; 2, saying why, if valgrind, a program or its bar is
# missing; and 3, saying which, if a program fails to run.
# The bars (the table below: program, dynamic bar, static bar, input) are ratios to the floor. A
# bar is there to catch a slip, not to weigh code: the slip is a program that loads one more
# library (libgcc_s, the cheapest to load of those a C++ program may pick up), which any ordinary
# change to a program's code costs far less than. So each dynamic bar lies midway between what
# the program measures, as packaged, and what it measures with that one more library, on the
# release where those two lie closest (ratios, as packaged / one more library):
#   divprobe   trixie   1.1419 / 1.3240   (bookworm 1.1450 / 1.3360, unstable 1.1248 / 1.3072)
#   poleprobe  bookworm 1.3171 / 1.4712   (trixie 1.3647 / 1.5258, unstable 1.3594 / 1.5139)
#   centsweep  unstable 1.1493 / 1.3272   (bookworm 1.1791 / 1.3614, trixie 1.1635 / 1.3495)
# A static program loads no library, so it has no such slip: its bars only bound the C library's
# own start-up work, which varies more, and leave at least 15% room above it.
set -euo pipefail
dir=${1:-build}
valgrind=$(command -v valgrind) || { echo "startup.sh: valgrind is missing (apt-get install valgrind)" >&2; exit 2; }

# Instructions that PROGRAM executes, fed INPUT on stdin. The dynamic loader's work grows with
# the environment, so every program runs in the same empty one, and the figures repeat anywhere.
instructions() {
    [ -x "$1" ] || { echo "startup.sh: no $1: build first, or name the build tree" >&2; exit 2; }
    local report status=0
    report=$(printf '%s' "$2" |
        env -i "$valgrind" --tool=callgrind --callgrind-out-file=/dev/null "$1" 2>&1 >/dev/null) || status=$?
    if ((status != 0)); then
        echo "startup.sh: $1 failed to run (exit status $status)" >&2
        grep -v '^==[0-9]*==' <<<"$report" >&2
        exit 3
    fi
    sed -n 's/.*refs: *//p' <<<"$report" | tr -d ,
}

floor=$(instructions "$dir/startup-floor" '')
# A static program loads no library, so its floor is small and every bit of work shows more.
if readelf -l "$dir/startup-floor" | grep 'program interpreter' >/dev/null; then link=dynamic; else link=static; fi
printf '%-13s %12s %7s %5s   (%s)\n' program instructions ratio bar "$link"
true=$(instructions /bin/true '')
printf '%-13s %12s %7.4f\n' startup-floor "$floor" 1 /bin/true "$true" \
    "$(awk -v t="$true" -v f="$floor" 'BEGIN { print t / f }')"
# The bars: program, dynamic bar, static bar, and its input.
bars=$(cat <<'ROWS'
divprobe    1.23 1.30 12 3
poleprobe   1.39 1.60
centsweep   1.24 1.75
ROWS
)
# The build tree's programs.
mapfile -t programs <"$dir/programs.txt" || { echo "startup.sh: $dir is no build tree of ours" >&2; exit 2; }
over=0
for program in "${programs[@]}"; do
    read -r _ dynamic static input <<<"$(grep "^$program " <<<"$bars")" ||
        { echo "startup.sh: no bar for $program: measure it, and give it a row" >&2; exit 2; }
    [ "$link" = dynamic ] && bar=$dynamic || bar=$static
    count=$(instructions "$dir/$program" "$input")
    verdict=$(awk -v c="$count" -v f="$floor" -v bar="$bar" \
        'BEGIN { r = c / f; printf "%7.4f %5.2f %s", r, bar, (r <= bar ? "ok" : "OVER") }')
    printf '%-13s %12s %s\n' "$program" "$count" "$verdict"
    [[ $verdict == *ok ]] || over=1
done
exit "$over"
