#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Seed f3195cce maintainers
# SPDX-License-Identifier: MIT
# What each program costs to run, in instructions counted by callgrind (repeatable on a busy
# machine, unlike wall time), against the floor: startup-floor, an empty main built and linked
# the same way in the same tree, which costs what any such program costs to start on this system.
# /bin/true is shown beside it for reference only: how it is linked varies between releases.
# Usage: bench/startup.sh [--slip] [DIR], where DIR is a build tree (build by default).
# With --slip, it also builds DIR's source again, configured as DIR is, in DIR/one-more-library
# with the slip the bars are there to catch (cmake/one-more-library.cmake), measures that,
# and prints each program's ratio as built, with the slip and midway between: the bar to give a
# new program, measured so on each release. Each program must then be under its bar as built and
# over it with the slip.
# Exits 1 if a program is over its bar (with --slip, or not over it with the slip); 2, saying
# why, if valgrind, a program or its bar is missing, or a static DIR is given --slip; and 3,
# saying which, if a program fails to run.
# The bars (the table below: program, dynamic bar, static bar, input) are ratios to the floor. A
# bar is there to catch a slip, not to weigh code: the slip is a program that loads one more
# library (libgcc_s, the cheapest to load of those a C++ program may pick up), which any ordinary
# change to a program's code costs far less than. So each dynamic bar lies midway between what
# the program measures, as packaged, and what it measures with that one more library, on the
# release where those two lie closest (ratios, as packaged / one more library):
#   divprobe   trixie   1.2037 / 1.3846   (bookworm 1.2105 / 1.4084, unstable 1.1869 / 1.3737)
#   poleprobe  bookworm 1.3171 / 1.4712   (trixie 1.3647 / 1.5258, unstable 1.3594 / 1.5139)
#   centsweep  unstable 1.1493 / 1.3272   (bookworm 1.1791 / 1.3614, trixie 1.1635 / 1.3495)
# A static program loads no library, so it has no such slip: its bars only bound the C library's
# own start-up work, which varies more, and leave at least 15% room above it.
set -euo pipefail
slip=''
[ "${1-}" != --slip ] || { slip=yes; shift; }
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

# The bars: program, dynamic bar, static bar, and its input.
bars=$(cat <<'ROWS'
divprobe    1.29 1.30 12 3
poleprobe   1.39 1.60
centsweep   1.24 1.75
ROWS
)
# The build tree's programs.
mapfile -t programs <"$dir/programs.txt" || { echo "startup.sh: $dir is no build tree of ours" >&2; exit 2; }
# Each program's row, checked before anything is measured; but --slip measures a program without
# one, so as to place its bar, and refuses it only then.
declare -A row=() input=()
unbarred=()
for program in "${programs[@]}"; do
    if line=$(grep "^$program " <<<"$bars"); then
        row[$program]=$line
        read -r _ _ _ input["$program"] <<<"$line"
    elif [ -n "$slip" ]; then
        unbarred+=("$program")
    else
        echo "startup.sh: no bar for $program: measure it with --slip, and give it a row" >&2
        exit 2
    fi
done

# A static program loads no library, so its floor is small and every bit of work shows more.
if readelf -l "$dir/startup-floor" | grep 'program interpreter' >/dev/null; then link=dynamic; else link=static; fi
[ -z "$slip" ] || [ "$link" = dynamic ] ||
    { echo "startup.sh: $dir is static: its programs load no library, so there is no slip to measure" >&2; exit 2; }

# Prints each program of the build tree DIR, and the floor, with the instructions it executes
# and its ratio to the floor: "program instructions ratio".
measure() {
    local floor program count
    floor=$(instructions "$1/startup-floor" '') || exit
    printf '%s %s 1\n' startup-floor "$floor"
    for program in "${programs[@]}"; do
        count=$(instructions "$1/$program" "${input[$program]-}") || exit
        printf '%s %s %s\n' "$program" "$count" "$(awk -v c="$count" -v f="$floor" 'BEGIN { printf "%.4f", c / f }')"
    done
}
# Prints the bar of PROGRAM for this link, or nothing.
bar_of() {
    local dynamic static
    [[ -v row[$1] ]] || return 0
    read -r _ dynamic static _ <<<"${row[$1]}"
    [ "$link" = dynamic ] && echo "$dynamic" || echo "$static"
}

built=$(measure "$dir")
over=0
printf '%-13s %12s %7s %5s   (%s)\n' program instructions ratio bar "$link"
true=$(instructions /bin/true '')
while read -r program count ratio; do
    if [ "$program" = startup-floor ]; then
        printf '%-13s %12s %7.4f\n' "$program" "$count" 1 /bin/true "$true" \
            "$(awk -v t="$true" -v f="$count" 'BEGIN { print t / f }')"
        continue
    fi
    bar=$(bar_of "$program")
    if [ -z "$bar" ]; then
        printf '%-13s %12s %7.4f %5s\n' "$program" "$count" "$ratio" none
        continue
    fi
    verdict=$(awk -v r="$ratio" -v bar="$bar" 'BEGIN { print (r <= bar ? "ok" : "OVER") }')
    printf '%-13s %12s %7.4f %5.2f %s\n' "$program" "$count" "$ratio" "$bar" "$verdict"
    [ "$verdict" = ok ] || over=1
done <<<"$built"
[ -n "$slip" ] || exit "$over"

# The slip: DIR's own source, configured with DIR's own settings (every cached one, the
# packager's flags among them) and the generator it used, with one more library.
cache=$dir/CMakeCache.txt
source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$cache")
generator=$(sed -n 's/^CMAKE_GENERATOR:INTERNAL=//p' "$cache")
[ -n "$source_dir" ] && [ -n "$generator" ] || { echo "startup.sh: $cache names no source or generator" >&2; exit 2; }
mapfile -t settings < <(cmake -N -LA "$dir" | sed -n 's/^\([A-Za-z0-9_]*:\(STRING\|BOOL\|PATH\|FILEPATH\)=\)/-D\1/p')
slipped=$(realpath "$dir")/one-more-library
log=$slipped.log
echo "each program with one more library, built in $slipped"
if ! { cmake -S "$source_dir" -B "$slipped" -G "$generator" "${settings[@]}" -DBUILD_TESTING=OFF \
        -DCMAKE_PROJECT_INCLUDE="$(dirname "$(realpath "$0")")/../cmake/one-more-library.cmake" &&
        cmake --build "$slipped"; } >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "startup.sh: the build with one more library failed (all of it: $log)" >&2
    exit 2
fi
with_slip=$(measure "$slipped")

# Each program as built and with the slip, the ratio midway between, and its bar: under it as
# built, over it with the slip.
printf '%-13s %8s %8s %8s %5s\n' program built slip midway bar
missed=()
while read -r program _ ratio && read -r _ _ slipped_ratio <&3; do
    [ "$program" != startup-floor ] || continue
    bar=$(bar_of "$program")
    midway=$(awk -v a="$ratio" -v b="$slipped_ratio" 'BEGIN { printf "%.4f", (a + b) / 2 }')
    verdict=''
    if [ -n "$bar" ]; then
        verdict=$(awk -v r="$slipped_ratio" -v bar="$bar" 'BEGIN { print (r > bar ? "caught" : "MISSED") }')
        [ "$verdict" = caught ] || missed+=("$program")
    fi
    printf '%-13s %8.4f %8.4f %8s %5s %s\n' "$program" "$ratio" "$slipped_ratio" "$midway" "${bar:-none}" "$verdict"
done <<<"$built" 3<<<"$with_slip"
if ((${#unbarred[@]})); then
    echo "startup.sh: no bar for ${unbarred[*]}: give each a row, its bar the midway above; CI's" \
        "release checks then hold it on each release, and the header says how to settle it there" >&2
    exit 2
fi
if ((${#missed[@]})); then
    echo "startup.sh: the bars of ${missed[*]} let the slip through" >&2
    exit 1
fi
exit "$over"
