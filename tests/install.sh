#!/usr/bin/env bash
# Installs from the build tree DIR, and removes what was installed (the uninstall target), as a
# user may: into prefixes and DESTDIRs absolute and relative, with characters that CMake lists
# and globs treat apart. Every install adds to one record; one removal takes all of them and
# nothing else: not a file beside them, not one where an install without DESTDIR would have gone,
# not one changed since. Usage: install.sh DIR BINDIR MANDIR PROGRAM...
# shellcheck source=lib.sh source-path=SCRIPTDIR
source "$(dirname "$0")/lib.sh"
build=$1 bindir=$2 mandir=$3
shift 3
# A record of our own, and CMake's manifest under a component's name: the user's installs from
# this tree, and another run of this test, keep theirs.
export PROBES_INSTALL_RECORD=$tmp/record
theirs() { cat "$build"/install_manifest.txt "$build"/installed-files.txt 2>/dev/null | cksum; }
before=$(theirs)
trap 'rm -rf "$tmp" "$build/install_manifest_Unspecified.txt"' EXIT
cd "$tmp" && tmp=$(pwd -P) && mkdir -p deep/dir && ln -s deep/dir L || exit 1

# Each install runs in $tmp. Where each lands is read by the system, and what the removal must
# leave is where a misreading would have put divprobe: where it goes without DESTDIR, or with
# the .. of L/.. read as text (L is a symbolic link to deep/dir).
#    DESTDIR        prefix        the removal leaves
rows=(''            "$tmp/p x"    -
      "$tmp/stage"  "$tmp/q"      "$tmp/q"
      '~stage'      "$tmp/r"      "$tmp/r"
      ''            rel           -
      "$tmp/stage/" rel2          "$tmp/rel2"
      stage3        rel3          "$tmp/rel3"
      ''            '[x] y;z*'    -
      ''            L/../p        "$tmp/p")
ours=() kept=()
for ((i = 0; i < ${#rows[@]}; i += 3)); do
    stage=${rows[i]} prefix=${rows[i + 1]}
    [[ $prefix == /* ]] || prefix=$tmp/$prefix
    [[ $stage == '' || $stage == /* ]] || stage=$tmp/$stage
    # A file beside the programs, and one where a misreading would have put divprobe.
    mkdir -p "$prefix/$bindir"
    kept+=("$prefix/$bindir/$1.other")
    [ "${rows[i + 2]}" = - ] || kept+=("${rows[i + 2]}/$bindir/$1")
    mkdir -p "${kept[-1]%/*}" && tee "${kept[@]}" <<<"not installed by this test" >/dev/null
    DESTDIR=${rows[i]} cmake --install "$build" --prefix "${rows[i + 1]}" --component Unspecified \
        >"$tmp/log" 2>&1 || bad "install: $(<"$tmp/log")"
    for program; do
        for file in "$bindir/$program" "$mandir/man1/$program.1"; do
            [ -f "$stage$prefix/$file" ] && ours+=("$stage$prefix/$file") && ok ||
                bad "DESTDIR=${rows[i]} --prefix ${rows[i + 1]}: the install wrote no $stage$prefix/$file"
        done
    done
done
# An install that fails halfway, where a file stands in the way of the pages' folder, leaves on
# record what it wrote before.
mkdir -p "$tmp/half/${mandir%/*}" && : >"$tmp/half/$mandir"
kept+=("$tmp/half/$mandir")
cmake --install "$build" --prefix "$tmp/half" --component Unspecified >"$tmp/log" 2>&1 &&
    bad "an install with a file for a folder passed: $(<"$tmp/log")"
[ -f "$tmp/half/$bindir/$1" ] || bad "the install that failed halfway wrote no $bindir/$1"
# A file changed since it was installed stays, and on record, until it is gone.
echo changed >"${ours[1]}"
kept+=("${ours[1]}")
left() { find "$tmp" -type f ! -name 'record*' ! -name log | sort; }
cmake --build "$build" --target uninstall >"$tmp/log" 2>&1 && bad "a removal that kept a file passed"
[ "$(left)" = "$(realpath -- "${kept[@]}" | sort)" ] || bad "after the removal, left: $(left)"
grep -qF "${ours[1]}" "$tmp/record" || bad "the changed file is no longer on record: $(<"$tmp/log")"
rm "${ours[1]}"
cmake --build "$build" --target uninstall >"$tmp/log" 2>&1 || bad "the last removal: $(<"$tmp/log")"
[ ! -e "$tmp/record" ] || bad "the record stays, though nothing on it is left: $(<"$tmp/record")"
# Once removed, nothing is left to remove: a second removal says so and fails.
cmake --build "$build" --target uninstall >"$tmp/log" 2>&1 && bad "a second removal passed: $(<"$tmp/log")"
grep -q 'nothing to remove' "$tmp/log" || bad "a second removal said: $(<"$tmp/log")"
[ "$(theirs)" = "$before" ] || bad "the build tree's own records changed"
tally "install and remove"
