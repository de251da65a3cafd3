# shellcheck shell=bash
# SPDX-FileCopyrightText: 2026 Seed f3195cce maintainers
# SPDX-License-Identifier: MIT
# What .ci/run and .ci/debian-release share with each other and with .ci/in-chroot, which runs
# inside the chroots: sourced, not run.

# Runs the calling script again, with its arguments, in a PID and a mount namespace of its own,
# with its temporary files in a folder of its own. When the script ends, however it ends (done,
# failed, Ctrl-C, SIGTERM, hang-up), the kernel stops everything it started, nested chroots
# and orphans included; what it mounted goes with the mount namespace; this folder is removed.
# Inside (see contained), this returns at once.
# Without root there is no namespace: the script runs in a session of its own instead, whose
# processes are stopped when it ends, and so do only the checks that need no root.
contain() {
    ! contained || return 0
    local child status=0 tmp group='' inside=(unshare --pid --mount --mount-proc --fork --kill-child --)
    # Without root, what is stopped at the end is the session's process group.
    if ((EUID != 0)); then
        inside=(setsid --wait)
        group=-
    fi
    # Absolute, as the script changes its directory.
    tmp=$(mktemp -d "${TMPDIR:-/tmp}/probes-ci.XXXXXX") && tmp=$(realpath "$tmp") || exit 1
    # Outside the namespace or session nothing stays but this wait. Stopped, it stops what runs
    # inside before it removes the folder: unshare holds off SIGINT and SIGTERM for its child, so
    # it is killed, and --kill-child kills the child, process 1 of the namespace, and so the rest
    # with it; a session's processes are killed as a group. A reader of our output may be gone by
    # then (Ctrl-C on `.ci/run | tee log`), and a second signal may come while the chroots are
    # removed: neither may end this before it is done.
    trap 'trap "" PIPE INT TERM HUP; kill -KILL -- "$group$child" 2>/dev/null || true
          wait 2>/dev/null || true; rm -rf --one-file-system "$tmp"' EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
    PROBES_CI_SESSION=$tmp TMPDIR=$tmp "${inside[@]}" bash "$(realpath "$0")" "$@" &
    child=$!
    wait "$child" || status=$?
    exit "$status"
}
# True if this script is what contain started: the marker PROBES_CI_SESSION names this run's
# own folder, and this process is process 1 of its PID namespace (with root) or leads its session
# and process group (without). The marker alone proves nothing: whatever a run starts inherits it,
# and anyone may set it.
contained() {
    local stat group session
    [[ -n ${PROBES_CI_SESSION-} && $PROBES_CI_SESSION == "${TMPDIR-}" && -d $TMPDIR && -O $TMPDIR ]] ||
        return 1
    (($$ != 1)) || return 0
    # Root is contained only in a namespace.
    ((EUID != 0)) || return 1
    # Process group and session, the fields after state and parent, past the command's name.
    stat=$(<"/proc/$$/stat") && stat=${stat##*) } || return 1
    read -r _ _ group session _ <<<"$stat"
    ((group == $$ && session == $$))
}
# When this script ends, however it ends, ends at once everything it started, background jobs
# and chroots alike, as process 1 of the namespace that contain made: everything else there is
# this run's. Anywhere else, such as in a session or as process 1 of a namespace someone else
# made, it ends nothing: there, the end of what contain started ends the rest.
end_all_on_exit() {
    (($$ != 1)) || ! contained || trap 'kill -KILL -1 2>/dev/null || true' EXIT
}

# Sets the array programs to the programs, as CMake itself reads the one list, whatever its
# layout. Called by what needs them, once cmake is there: a fresh chroot has none before its
# build dependencies.
programs_list=$(realpath "$(dirname "${BASH_SOURCE[0]}")/../cmake/programs.cmake")
read_programs() {
    local list
    command -v cmake >/dev/null || { echo "$0: cmake reads the list of programs, and it is not installed" >&2; return 2; }
    list=$(cmake -P "$programs_list") || { echo "$0: cmake cannot read the list of programs, $programs_list" >&2; return 2; }
    mapfile -t programs <<<"$list"
    [ -n "${programs[*]}" ] || { echo "$0: $programs_list lists no program" >&2; return 2; }
}

# Prints COUNT numbers (1 by default), one a line, that no account of this machine holds as its
# user or group id, and that no range in /etc/subuid or /etc/subgid lets a user map into a
# namespace of their own: a build run as one of them can be reached by no one here but root. Each
# is drawn at random from 2^24 of them, so that no two checks, nor two runs at once, share one: the
# processes a build leaves behind could reach into the other's builds.
free_ids() {
    local id name start count taken drawn=() tries
    for ((tries = 0; tries < 1000 && ${#drawn[@]} < ${1:-1}; tries++)); do
        id=$((1900000000 + SRANDOM % 16777216)) taken=''
        getent passwd "$id" >/dev/null || getent group "$id" >/dev/null && taken=yes
        while IFS=: read -r name start count; do
            [[ $start =~ ^[0-9]+$ && $count =~ ^[0-9]+$ ]] || continue
            ((id < start || id >= start + count)) || taken=yes
        done < <(cat /etc/subuid /etc/subgid 2>/dev/null)
        [ -n "$taken" ] || among "$id" "${drawn[@]}" || drawn+=("$id")
    done
    ((${#drawn[@]} == ${1:-1})) || { echo "$0: too few free ids from 1900000000 on" >&2; return 1; }
    printf '%s\n' "${drawn[@]}"
}
# Ends every process that runs as ID, one of free_ids', which is this run's alone: what a build
# left behind may not outlive the check that started it, nor reach into the next one's builds.
end_id() {
    [[ $1 =~ ^[1-9][0-9]*$ ]] || { echo "end_id: no id $1" >&2; return 2; }
    pkill -KILL -U "$1" || (($? == 1))
}

# Who runs the builds: the chroots set a user of their own.
as_user=()
# The tree these scripts come from, from which root runs what it runs: in a chroot, a copy of
# root's that the build user cannot change.
ci_top=$(realpath "$(dirname "${BASH_SOURCE[0]}")/..")

# Runs COMMAND with its output to a log that shows (its end) only if the command fails: the file
# LOG, added to and kept, after --log LOG; or else a log of its own, removed after.
quietly() {
    local log keep='' status=0
    if [ "$1" = --log ]; then
        log=$2 keep=yes
        shift 2
    else
        log=$(mktemp) || return
    fi
    "$@" >>"$log" 2>&1 || status=$?
    ((status == 0)) || tail -n 80 "$log"
    [ -n "$keep" ] || rm -f "$log"
    return "$status"
}

# Configures the build tree DIR with warnings as errors and the given options, and builds it.
build_tree() {
    local dir=$1
    shift
    echo "=== $dir $*"
    quietly "${as_user[@]}" cmake -S . -B "$dir" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@" || return
    quietly "${as_user[@]}" cmake --build "$dir"
}
# Makes the build tree DIR with warnings as errors and the given options, and runs the suite,
# whose golden files hold each build to the very bytes the default build prints. Every test must
# run: see skips, and MAY_SKIP.
suite() {
    build_tree "$@" || return
    # ctest's output goes to a file of root's own, not into the tree the build user may change.
    local dir=$1 log
    log=$(mktemp) || return
    "${as_user[@]}" ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" </dev/null >"$log" ||
        { cat "$log"; return 1; }
    grep -E '^[0-9]+% tests passed' "$log"
    skips "$log" "${may_skip-}" "$dir/Testing/Temporary/LastTest.log"
}
# Runs COMMAND... ITEM for each ITEM, as many at once as there are cores: most builds here spend
# their time configuring, one core at a time. Each writes to a log of its own, shown in turn as
# it ends; the first that fails ends this, and the rest end with the run (contain).
side_by_side() {
    local command=() pids=() logs next=0 shown=0 cores status
    while [ "$1" != -- ]; do
        command+=("$1")
        shift
    done
    shift
    logs=$(mktemp -d) cores=$(nproc)
    while ((shown < $#)); do
        if ((next < $# && next - shown < cores)); then
            "${command[@]}" "${@:next + 1:1}" >"$logs/$next" 2>&1 &
            pids[next]=$!
            next=$((next + 1))
        else
            status=0
            wait "${pids[shown]}" || status=$?
            cat "$logs/$shown"
            ((status == 0)) || return "$status"
            shown=$((shown + 1))
        fi
    done
}

# A test that cannot run on a build is skipped only where it truly cannot: stdbuf cannot reach a
# static program, an emulated one or one of another C library.
stdbuf_rows='-lost-output-(L|0)$'

# Reads ctest's output in LOG and shows each test it skipped, with the reason the test gave where
# ctest's LastTest.log (LASTTEST) holds it, one line for each reason. Fails if one of them has a
# name that does not match the pattern ALLOWED (none may, if it is empty): where a test can run,
# it must.
skips() {
    local log=$1 allowed=$2 lasttest=${3-} name reason status=0
    local -A allowed_skips=()
    for name in $(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' "$log"); do
        reason=$(sed -n "/^\"$name\" start time/,/^<end of output>/s/^skipped: //p" "$lasttest" 2>/dev/null) || true
        if [[ -n $allowed && $name =~ $allowed ]]; then
            allowed_skips[${reason:-no reason on record}]+=" $name"
        else
            echo "SKIPPED, though it must run here: $name: ${reason:-no reason on record}"
            status=1
        fi
    done
    for reason in "${!allowed_skips[@]}"; do
        echo "skipped, as they must be here:${allowed_skips[$reason]}: $reason"
    done
    return $status
}

# Runs the suite on a cross build for the Debian architecture NAME, in the build tree PREFIX-NAME:
# built by TRIPLE-g++, each program run under qemu-QEMU.
cross_suite() {
    local triple=$1 qemu=$2 name=$3 dir=${4:-build}-$3
    may_skip=$stdbuf_rows suite "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_SYSTEM_NAME=Linux \
        -DCMAKE_SYSTEM_PROCESSOR="$name" -DCMAKE_CXX_COMPILER="$triple-g++" \
        "-DCMAKE_CROSSCOMPILING_EMULATOR=qemu-$qemu;-L;/usr/$triple"
}

# The toolchain builds, on the CI machine and on each newer release in its chroot: compilers,
# their libraries and the flags a user may add must not change an answer, nor may linking.
# shellcheck disable=SC2034 # read by the scripts that source this one
toolchains=(gcc clang fastmath clang-fastmath hardened optout optout-zero static musl musl-static zig)
# Makes toolchain build NAME, in the build tree PREFIX-NAME (a folder of the source tree by
# default), and runs the suite on it or checks what the build must show; or says why this machine
# cannot make it.
toolchain() {
    local name=$1 dir=${2:-build}-$1 options may_skip=''
    case $name in
    # The README's build with the machine's own GCC: protected and fortified by the floor.
    gcc) options=() ;;
    # Unoptimised, AddressSanitizer and UBSan stopping at the first finding.
    sanitize) options=(-DCMAKE_BUILD_TYPE=Debug
                       "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all") ;;
    clang) options=(-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-stdlib=libc++) ;;
    # Linked with -Ofast too, which no option of ours can undo: the programs start in
    # flush-to-zero mode.
    fastmath) options=("-DCMAKE_CXX_FLAGS=-O2 -ffast-math -fsingle-precision-constant"
                       -DCMAKE_EXE_LINKER_FLAGS=-Ofast) ;;
    clang-fastmath) options=(-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-ffast-math) ;;
    hardened)
        if ! g++ -fhardened -E -x c++ /dev/null >/dev/null 2>&1; then
            echo "=== $dir: skipped: g++ $(g++ -dumpversion) has no -fhardened"
            return 0
        fi
        options=(-DCMAKE_CXX_FLAGS=-fhardened) ;;
    # An explicit opt-out stays as given, as with GCC's -fhardened.
    optout) options=("-DCMAKE_CXX_FLAGS=-fno-stack-protector -U_FORTIFY_SOURCE") ;;
    optout-zero) options=(-DCMAKE_CXX_FLAGS=-D_FORTIFY_SOURCE=0) ;;
    static) options=(-DPROBES_STATIC=ON) may_skip=$stdbuf_rows ;;
    musl) options=(-DCMAKE_TOOLCHAIN_FILE=cmake/musl.cmake) may_skip=$stdbuf_rows ;;
    musl-static) options=(-DCMAKE_TOOLCHAIN_FILE=cmake/musl.cmake -DPROBES_STATIC=ON) may_skip=$stdbuf_rows ;;
    # zig's C++ driver, which refuses some linker options that GCC's and Clang's pass on: the zig
    # that .ci/run fetched into zig_dir, never one found on the machine; on PATH for this build
    # alone, and its caches in that folder too, so that it leaves nothing behind. Each run's zig
    # and source are in a folder of their own, so each run's tree is new.
    zig)
        if [ -z "${zig_dir-}" ]; then
            echo "=== $dir: skipped: no zig fetched (Debian has none; .ci/run toolchains fetches one)"
            return 0
        fi
        # As the id that .ci/run gave it, in the source and the folders that id owns; root's own
        # files (the logs) stay out of them.
        local as_user=("${zig_user[@]}" env "PATH=$zig_dir:$PATH" "HOME=${zig_source:?}" "TMPDIR=$zig_source/tmp"
                       "ZIG_GLOBAL_CACHE_DIR=$zig_dir/cache" "ZIG_LOCAL_CACHE_DIR=$zig_dir/cache")
        cd "$zig_source" && "${as_user[@]}" mkdir "$zig_source/tmp" || return
        options=(-DCMAKE_CXX_COMPILER="$zig_dir/zig" -DCMAKE_CXX_COMPILER_ARG1=c++) ;;
    *) echo "no toolchain build $name" >&2; return 2 ;;
    esac
    case $name in
    gcc) suite "$dir" "${options[@]}" && hardened_as "$dir" "protected fortified" ;;
    fastmath)
        suite "$dir" "${options[@]}" || return
        [[ $(nm "$dir/poleprobe") == *" set_fast_math"* ]] ||
            { echo "poleprobe does not start in flush-to-zero mode: the build tests nothing of it"; return 1; } ;;
    # The opt-outs change nothing a program prints: what they must show is in the build.
    optout) build_tree "$dir" "${options[@]}" && hardened_as "$dir" "" ;;
    optout-zero) build_tree "$dir" "${options[@]}" && hardened_as "$dir" protected ;;
    # A static program is held to its own start-up bars; a build user runs what it built.
    static) suite "$dir" "${options[@]}" && "${as_user[@]}" "$ci_top/bench/startup.sh" "$dir" ;;
    *) suite "$dir" "${options[@]}" ;;
    esac
}
# Checks that divprobe in the build tree DIR is hardened as WANT says, as its imports show it:
# "protected" by the stack protector (its failure handler: divprobe keeps arrays on its stack),
# "fortified" (printf's checking variant).
hardened_as() {
    local dir=$1 want=$2 imports got=()
    imports=$(nm --dynamic --undefined-only "$dir/divprobe")
    [[ $imports != *" __stack_chk_fail"* ]] || got+=(protected)
    [[ $imports != *" __printf_chk"* ]] || got+=(fortified)
    echo "divprobe is hardened: ${got[*]:-neither protected nor fortified}"
    [ "${got[*]}" = "$want" ] || { echo "but it must be: ${want:-neither}"; return 1; }
}

# The Debian releases CI checks, oldest to newest, one a row: adding a release is adding its row.
# .ci/run has a check of each name, .ci/debian-release takes each, and mmdebstrap fetches it by
# it. After the name, separated by `;`, each row says what its release checks differently:
# 1. Lintian tags that building on every release from one debian/ forces, each allowed only on
#    the release whose lintian knows it (another release's lintian stops at a tag it does not know):
#      newer-standards-version: the policy version is unstable's, newer than this release's lintian.
#      package-uses-old-debhelper-compat-version: compat 14 does not exist on bookworm or trixie.
#      redundant-priority-optional-field: without it trixie's lintian warns recommended-field.
#      redundant-rules-requires-root-no-field: without it bookworm's dpkg would build as root.
# 2. What hardening-check is told not to require:
#      --nostackprotector: the flag is on, but no function of poleprobe or centsweep has a buffer
#        for it to guard.
#      --nocfprotection: bookworm's dpkg builds without -fcf-protection; the glibc start files of
#        trixie and unstable (Scrt1.o, crti.o) carry no IBT or SHSTK property, so no program linked
#        there keeps one, whatever its own objects have.
#      --nobranchprotection: branch protection is arm64's, but devscripts 2.25 and later look for
#        it everywhere; bookworm's hardening-check has no such check and no such option.
# 3. The steps of .ci/in-chroot that only some releases run, each in the pass .ci/debian-release
#    gives it: the toolchain builds with the release's own compilers (toolchains), which bookworm's
#    are too old for; and unstable's own: a second build in the same tree (rebuild), reprotest,
#    the loong64 cross build, which no other release has a cross compiler for, and piuparts.
debian_releases=(
    "bookworm; newer-standards-version; --nostackprotector --nocfprotection;"
    "trixie; newer-standards-version; --nostackprotector --nocfprotection --nobranchprotection;
        toolchains"
    "unstable; package-uses-old-debhelper-compat-version redundant-priority-optional-field
        redundant-rules-requires-root-no-field; --nostackprotector --nocfprotection
        --nobranchprotection; rebuild toolchains reprotest loong64 piuparts"
)
# Their names, for the scripts that list them.
# shellcheck disable=SC2034 # read by the scripts that source this one
release_names=("${debian_releases[@]%%;*}")

# Prints what the row of RELEASE in debian_releases says in its COLUMN: lintian_allowed (as
# lintian's --suppress-tags takes it), hardening_skip or steps. A release with no row, such as the
# CI machine's when it runs Debian testing, takes the newest release's, and says so.
per_release() {
    local column=$1 release=$2 row fields
    local -A index=([lintian_allowed]=1 [hardening_skip]=2 [steps]=3)
    [[ -v index[$column] ]] || { echo "per_release: no column $column" >&2; return 2; }
    for row in "${debian_releases[@]}"; do
        [ "${row%%;*}" != "$release" ] || break
    done
    if [ "${row%%;*}" != "$release" ]; then
        echo "$0: no Debian release $release in .ci/lib.sh: taking ${row%%;*}'s $column" >&2
    fi
    IFS=';' read -ra fields <<<"${row//$'\n'/ }"
    read -ra fields <<<"${fields[index[$column]]-}"
    if [ "$column" = lintian_allowed ]; then
        (IFS=,; echo "${fields[*]}")
    else
        echo "${fields[*]}"
    fi
}

# Installs those of the packages named that this machine lacks, which takes root; without root,
# says which are missing.
need() {
    local package missing=()
    for package; do
        dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q ' installed$' || missing+=("$package")
    done
    ((${#missing[@]})) || return 0
    if ((EUID != 0)); then
        echo "$0: missing packages, which only root can install: ${missing[*]}" >&2
        return 1
    fi
    [ -n "${apt_updated-}" ] || quietly apt-get update || return
    apt_updated=yes
    quietly apt-get install -y --no-install-recommends "${missing[@]}"
}

# True if NAME is one of the WORDs.
among() {
    local name=$1 word
    shift
    for word; do
        [ "$word" != "$name" ] || return 0
    done
    return 1
}

# Says NAME... are names in the list LIST (the name of an array), or that they are not, and which
# are, exit status 2.
known_names() {
    local -n list=$1
    shift
    local name
    for name; do
        among "$name" "${list[@]}" || {
            echo "$0: no $name; the names are: ${list[*]}" >&2
            exit 2
        }
    done
}
