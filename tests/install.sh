#!/usr/bin/env bash
# An install from the build tree DIR and its removal (the uninstall target), into a prefix with a
# space in it: staged with DESTDIR, and not. The removal takes what the install wrote and nothing
# else, not even a file where the install would have gone without DESTDIR. Usage: install.sh DIR
set -u
build=$1
tmp=$(mktemp -d) || exit 1
# Our installs must not take the place of one the user made from this tree: its records are put
# back afterwards.
records=("$build/install_manifest.txt" "$build/installed-files.txt")
mkdir "$tmp/saved"
cp -p "${records[@]}" "$tmp/saved/" 2>/dev/null
trap 'rm -f "${records[@]}"; cp -p "$tmp"/saved/* "$build/" 2>/dev/null; rm -rf "$tmp"' EXIT
failed=0
bad() { failed=$((failed + 1)) && printf 'FAIL %s\n' "$@"; }

prefix="$tmp/p x"
for stage in "" "$tmp/stage"; do
    # Files the install does not write: one beside the programs, and, for a staged install, one
    # where an install without DESTDIR would have put divprobe. The removal must leave both.
    mkdir -p "$prefix/bin"
    theirs=("$prefix/bin/divprobe.other" ${stage:+"$prefix/bin/divprobe"})
    tee "${theirs[@]}" <<<"not installed by this test" >/dev/null
    DESTDIR=$stage cmake --install "$build" --prefix "$prefix" >"$tmp/log" 2>&1 || bad "install: $(<"$tmp/log")"
    for file in bin/divprobe bin/poleprobe bin/centsweep \
        share/man/man1/divprobe.1 share/man/man1/poleprobe.1 share/man/man1/centsweep.1; do
        [ -f "$stage$prefix/$file" ] || bad "DESTDIR=$stage: the install wrote no $stage$prefix/$file"
    done
    cmake --build "$build" --target uninstall >"$tmp/log" 2>&1 || bad "uninstall: $(<"$tmp/log")"
    left=$(find "$prefix" "$tmp/stage" -type f 2>/dev/null | sort)
    want=$(printf '%s\n' "${theirs[@]}" | sort)
    [ "$left" = "$want" ] || bad "DESTDIR=$stage: after the removal, left: $left; want: $want"
    rm -rf "$prefix" "$tmp/stage"
done
# Once removed, nothing is left to remove: a second removal says so and fails.
cmake --build "$build" --target uninstall >"$tmp/log" 2>&1 && bad "a second removal passed: $(<"$tmp/log")"
grep -q 'nothing to remove' "$tmp/log" || bad "a second removal said: $(<"$tmp/log")"
echo "install and remove: $failed failed"
[ "$failed" = 0 ]
