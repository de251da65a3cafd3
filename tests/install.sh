#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Seed f3195cce maintainers
# SPDX-License-Identifier: MIT
# Installs from the build tree DIR, and removes what was installed (the uninstall target), as a
# user may: into prefixes and DESTDIRs absolute and relative, with characters that CMake lists
# and globs treat apart. Every install adds to one record; one removal takes all of them and
# nothing else: not a file beside them, not one where an install without DESTDIR would have gone,
# not one changed since. An install that cannot be recorded is refused before its first file, one
# that waits for the record's lock says so, and nothing writes outside $tmp, whatever BINDIR and
# MANDIR are. Usage: install.sh DIR BINDIR MANDIR PROGRAM...
# shellcheck source=lib.sh source-path=SCRIPTDIR
source "$(dirname "$0")/lib.sh" || exit 1
build=$1 bindir=$2 mandir=$3
shift 3
# A record of our own, and CMake's manifest under a component's name: the user's installs from
# this tree, and another run of this test, keep theirs. A manifest of that component that a
# user's install left is put back as it was.
export PROBES_INSTALL_RECORD=$tmp/record
# Their bytes, to the last line end (the . keeps it).
theirs() { cat "$build"/install_manifest.txt "$build"/installed-files.txt 2>/dev/null; echo .; }
before=$(theirs)
manifest=$build/install_manifest_Unspecified.txt saved=''
[ ! -f "$manifest" ] || { cp "$manifest" "$tmp/manifest" && saved=yes; } || exit 1
trap 'if [ "$saved" ]; then cp "$tmp/manifest" "$manifest"; else rm -f "$manifest"; fi; rm -rf "$tmp"' EXIT
cd "$tmp" && tmp=$(pwd -P) && mkdir -p deep/dir && ln -s deep/dir L || exit 1

# No install may write outside $tmp. Where an install folder is absolute (Gentoo's cmake eclass sets
# CMAKE_INSTALL_MANDIR so, Nix's setup hook BINDIR and MANDIR), the prefix leaves it where it is:
# then every install is staged, with a DESTDIR of its own in $tmp where a row has none, and the
# prefix decides only where the relative folders go. So too where a folder climbs out of the
# prefix (../bin), and the rows' prefixes, all in $tmp, would share it.
staged=
[[ $bindir != /* && $mandir != /* && /$bindir/ != */../* && /$mandir/ != */../* ]] || staged=yes
# Where FOLDER lands for an install with DESTDIR STAGE (absolute, or empty) and prefix PREFIX
# (absolute).
lands() { if [[ $3 == /* ]]; then echo "$1$3"; else echo "$1$2/$3"; fi; }

# Installs refused, each before it writes a thing: the install fails and says why, and leaves
# every file and folder in $tmp as it was (the record, its lock, the prefix). A record is read and
# locked ahead of the first file: one that cannot be, or a path the record could not hold.
nl=$'\n'
#         record              made beforehand DESTDIR             prefix              message
refused=(record-rel           -               ''                  "$tmp/refused"      'the install record must be an absolute path, not record-rel'
         "$tmp/none/record"   -               ''                  "$tmp/refused"      "the install record's folder $tmp/none is not there"
         "$tmp/damaged"       damaged         ''                  "$tmp/refused"      "the install record $tmp/damaged is damaged: not a record"
         "$tmp/folder"        folder          ''                  "$tmp/refused"      "the install record $tmp/folder is a folder"
         "$tmp/unlockable"    lock-folder     ''                  "$tmp/refused"      "cannot lock the install record: $tmp/unlockable.lock is a folder"
         "$tmp/ro/record"     read-only       ''                  "$tmp/refused"      "cannot write the install record $tmp/ro/record:"
         "$tmp/record"        -               ''                  "$tmp/new${nl}line" "cannot install to a path with a line end in it: *$tmp/new line/"
         "$tmp/record"        -               "$tmp/new${nl}line" /usr                "cannot install to a path with a line end in it: $tmp/new line/")
state() { find "$tmp" ! -name log | sort && { [ ! -f "$record" ] || cat "$record"; } && echo .; }
for ((i = 0; i < ${#refused[@]}; i += 5)); do
    # Where both folders are absolute, the prefix is in no path the install writes.
    [[ ${refused[i + 3]} != *$nl* || $bindir != /* || $mandir != /* ]] || continue
    # Only root may write a folder whose modes say no one may: there, that row proves nothing.
    [[ ${refused[i + 1]} != read-only ]] || ((EUID != 0)) || continue
    record=${refused[i]} stage=${refused[i + 2]}
    [[ $stage || ! $staged ]] || stage=$tmp/refused-stage
    case ${refused[i + 1]} in
        damaged) echo 'not a record' >"$record" ;;
        folder) mkdir "$record" ;;
        lock-folder) mkdir "$record.lock" ;;
        # A lock already there, and a record that can be neither made nor replaced.
        read-only) mkdir "${record%/*}" && : >"$record.lock" && chmod a-w "${record%/*}" ;;
    esac
    was=$(state)
    PROBES_INSTALL_RECORD=$record DESTDIR=$stage cmake --install "$build" --prefix "${refused[i + 3]}" \
        --component Unspecified >"$tmp/log" 2>&1 && bad "an install with the record $record passed"
    # CMake wraps a message's lines: read as one line, a space for each break. A * in the message
    # stands for a DESTDIR of the test's own, where it stages.
    # shellcheck disable=SC2053 # the message is a pattern
    [[ $(tr -s ' \n' '  ' <"$tmp/log") == *${refused[i + 4]}* ]] && ok ||
        bad "the install with the record $record said: $(<"$tmp/log")"
    [ "$(state)" = "$was" ] || bad "the refused install with the record $record wrote: $(diff <(echo "$was") <(state))"
    [[ ${refused[i + 1]} != read-only ]] || chmod u+w "${record%/*}"
    rm -rf "$record" "$record.lock" "$tmp/refused" "$tmp/refused-stage" "$tmp/new${nl}line"
done

# An install that must wait for the record's lock says so, and writes nothing until it has it. The
# lock is held by a CMake script until the test closes its input; the script's first line says it
# has the lock, and the install's line says it waits: nothing is timed but the failure, an install
# that says nothing for as long as a program may run (lib.sh).
export PROBES_INSTALL_RECORD=$tmp/record-wait
stage=
[ ! "$staged" ] || stage=$tmp/wait-stage
printf '%s\n' 'file(LOCK "${lock}" GUARD PROCESS)' 'message(STATUS "locked")' 'execute_process(COMMAND cat)' \
    >"$tmp/hold.cmake"
coproc holder { cmake -D lock="$PROBES_INSTALL_RECORD.lock" -P "$tmp/hold.cmake"; }
read -r -u "${holder[0]}" line && [ "$line" = '-- locked' ] || bad "the lock's holder said: $line"
exec {out}< <(DESTDIR=$stage cmake --install "$build" --prefix "$tmp/wait" --component Unspecified 2>&1)
installer=$!
said=
while [ ! "$said" ] && read -r -t "$limit" -u "$out" line; do
    [[ $line != *"Waiting for another install or removal to let go of $PROBES_INSTALL_RECORD.lock" ]] || said=yes
done
[ "$said" ] && ok || bad "an install that waits for the lock did not say so"
[ ! -e "$tmp/wait" ] && [ ! -e "$tmp/wait-stage" ] || bad "an install that waits for the lock wrote: $(find "$tmp/wait"*)"
release=${holder[1]}
exec {release}>&-
cat <&"$out" >"$tmp/log"
wait "$installer" || bad "the install that waited for the lock: $(<"$tmp/log")"
exec {out}<&-
rm "$tmp/hold.cmake"
[ -f "$(lands "$stage" "$tmp/wait" "$bindir")/$1" ] || bad "the install that waited for the lock wrote no $bindir/$1"
# Its removal takes the record, and the lock with it.
cmake --build "$build" --target uninstall >"$tmp/log" 2>&1 || bad "the removal of what waited: $(<"$tmp/log")"
[ ! -e "$PROBES_INSTALL_RECORD" ] && [ ! -e "$PROBES_INSTALL_RECORD.lock" ] ||
    bad "after the removal of what waited, its record or lock stays: $(<"$tmp/log")"

# One file installed under two spellings of its path, the second through a link to the first's
# prefix (or DESTDIR, where it is staged), is one entry: the removal takes it once, keeps nothing,
# and passes. So it does where a record written before entries were real paths names divprobe a
# second time, under the link and an older content, ahead of its entry.
export PROBES_INSTALL_RECORD=$tmp/record-spell
for second in install 'old entry'; do
    stage='' stage2=''
    [ ! "$staged" ] || { ln -s stage-real "$tmp/stage-link" && stage=$tmp/stage-real stage2=$tmp/stage-link; }
    mkdir -p "$stage$tmp" && ln -s real "$stage$tmp/link"
    DESTDIR=$stage cmake --install "$build" --prefix "$tmp/real" --component Unspecified >"$tmp/log" 2>&1 ||
        bad "an install under two spellings: $(<"$tmp/log")"
    if [ "$second" = install ]; then
        DESTDIR=$stage2 cmake --install "$build" --prefix "$tmp/link" --component Unspecified --strip \
            >"$tmp/log" 2>&1 || bad "an install under two spellings: $(<"$tmp/log")"
        [ "$(grep -c / "$PROBES_INSTALL_RECORD")" = $(($# * 2)) ] ||
            bad "one file under two spellings is not one entry: $(<"$PROBES_INSTALL_RECORD")"
    else
        entries=$(<"$PROBES_INSTALL_RECORD")
        printf '0 %s\n%s\n' "$(lands "$stage2" "$tmp/link" "$bindir")/$1" "$entries" >"$PROBES_INSTALL_RECORD"
    fi
    cmake --build "$build" --target uninstall >"$tmp/log" 2>&1 ||
        bad "the removal of one file under two spellings ($second): $(<"$tmp/log")"
    ! grep -q Kept "$tmp/log" || bad "the removal of one file under two spellings ($second) kept one: $(<"$tmp/log")"
    [ -z "$(find "$tmp/real" "$tmp/stage-real" -type f 2>/dev/null)" ] && [ ! -e "$PROBES_INSTALL_RECORD" ] ||
        bad "after the removal of one file under two spellings ($second), left:" \
            "$(find "$tmp/real" "$tmp/stage-real" -type f 2>/dev/null)"
    rm -r "$tmp/link" "$tmp/real" "$tmp/stage-link" "$tmp/stage-real" 2>/dev/null
done
export PROBES_INSTALL_RECORD=$tmp/record

# Each install runs in $tmp. Where each lands is read by the system, and what the removal must
# leave is where a misreading would have put divprobe: where it goes without DESTDIR, or with
# the .. of L/.. read as text (L is a symbolic link to deep/dir). Where the programs' folder is
# absolute, the prefix plays no part in where they go: that file then guards nothing.
#    DESTDIR        prefix        the removal leaves
rows=(''            "$tmp/p x"    -
      "$tmp/stage"  "$tmp/q"      "$tmp/q"
      '~stage'      "$tmp/r"      "$tmp/r"
      ''            rel           -
      "$tmp/stage2/" rel2         "$tmp/rel2"
      stage3        rel3          "$tmp/rel3"
      ''            '[x] y;z*'    -
      ''            L/../p        "$tmp/p")
ours=() kept=()
for ((i = 0; i < ${#rows[@]}; i += 3)); do
    destdir=${rows[i]} prefix=${rows[i + 1]}
    [[ $destdir || ! $staged ]] || destdir=$tmp/own$i
    stage=$destdir
    [[ $prefix == /* ]] || prefix=$tmp/$prefix
    [[ $stage == '' || $stage == /* ]] || stage=$tmp/$stage
    bin=$(lands "$stage" "$prefix" "$bindir") man=$(lands "$stage" "$prefix" "$mandir")
    # A file beside the programs, and one where a misreading would have put divprobe.
    beside=$prefix/$bindir
    [[ $bindir != /* ]] || beside=$bin
    mkdir -p "$beside"
    kept+=("$beside/$1.other")
    [ "${rows[i + 2]}" = - ] || kept+=("${rows[i + 2]}/$bindir/$1")
    mkdir -p "${kept[-1]%/*}" && tee "${kept[@]}" <<<"not installed by this test" >/dev/null
    DESTDIR=$destdir cmake --install "$build" --prefix "${rows[i + 1]}" --component Unspecified \
        >"$tmp/log" 2>&1 || bad "install: $(<"$tmp/log")"
    for program; do
        for file in "$bin/$program" "$man/man1/$program.1"; do
            [ -f "$file" ] && ours+=("$file") && ok ||
                bad "DESTDIR=$destdir --prefix ${rows[i + 1]}: the install wrote no $file"
        done
    done
done
# An install that fails halfway, where a file stands in the way of the pages' folder, leaves on
# record what it wrote before.
stage=
[ ! "$staged" ] || stage=$tmp/half-stage
man=$(lands "$stage" "$tmp/half" "$mandir")
mkdir -p "$man" && : >"$man/man1"
kept+=("$man/man1")
DESTDIR=$stage cmake --install "$build" --prefix "$tmp/half" --component Unspecified >"$tmp/log" 2>&1 &&
    bad "an install with a file for a folder passed: $(<"$tmp/log")"
[ -f "$(lands "$stage" "$tmp/half" "$bindir")/$1" ] || bad "the install that failed halfway wrote no $bindir/$1"
# A file changed since it was installed stays, and on record, until it is gone.
echo changed >"${ours[1]}"
kept+=("${ours[1]}")
left() { find "$tmp" -type f ! -name 'record*' ! -name log ! -name manifest | sort; }
cmake --build "$build" --target uninstall >"$tmp/log" 2>&1 && bad "a removal that kept a file passed"
# (Folders such as ../bin may make two rows' files one.)
[ "$(left)" = "$(realpath -- "${kept[@]}" | sort -u)" ] || bad "after the removal, left: $(left)"
grep -qF " $(realpath -- "${ours[1]}")" "$tmp/record" || bad "the changed file is no longer on record: $(<"$tmp/log")"
rm "${ours[1]}"
cmake --build "$build" --target uninstall >"$tmp/log" 2>&1 || bad "the last removal: $(<"$tmp/log")"
[ ! -e "$tmp/record" ] || bad "the record stays, though nothing on it is left: $(<"$tmp/record")"
[ ! -e "$tmp/record.lock" ] || bad "the lock stays, though the record has gone"
# Once removed, nothing is left to remove: a second removal says so and fails.
cmake --build "$build" --target uninstall >"$tmp/log" 2>&1 && bad "a second removal passed: $(<"$tmp/log")"
grep -q 'nothing to remove' "$tmp/log" || bad "a second removal said: $(<"$tmp/log")"
[ ! -e "$tmp/record.lock" ] || bad "a second removal left a lock"
[ "$(theirs)" = "$before" ] || bad "the build tree's own records changed"
tally "install and remove"
