# What .ci/run and .ci/debian-release share with each other and with .ci/in-chroot, which runs
# inside the chroots: sourced, not run.

# Runs the calling script again, with its arguments, in a PID and a mount namespace of its own,
# with its temporary files in a folder of its own. When the script ends, however it ends (done,
# failed, Ctrl-C, SIGTERM, hang-up), the kernel stops everything it started, nested chroots
# and orphans included; what it mounted goes with the mount namespace; this folder is removed.
# Inside, the script is process 1 of its namespace, and this returns at once.
contain() {
    (($$ == 1)) && return 0
    local tmp child status=0
    tmp=$(mktemp -d "${TMPDIR:-/tmp}/probes-ci.XXXXXX")
    # Outside the namespace nothing stays but this wait. Stopped, it stops the namespace before it
    # removes the folder: unshare holds off SIGINT and SIGTERM for its child, so it is killed,
    # and --kill-child kills the child, process 1 of the namespace, and so the rest with it. A
    # reader of our output may be gone by then (Ctrl-C on `.ci/run | tee log`), and a second
    # signal may come while the chroots are removed: neither may end this before it is done.
    trap 'trap "" PIPE INT TERM HUP; kill -KILL "$child" 2>/dev/null || true; wait 2>/dev/null || true
          rm -rf --one-file-system "$tmp"' EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
    TMPDIR=$tmp unshare --pid --mount --mount-proc --fork --kill-child -- bash "$0" "$@" &
    child=$!
    wait "$child" || status=$?
    exit "$status"
}

# Who runs the builds: the chroots set a user of their own.
as_user=()

# Runs a command with its output to a log that shows (its end) only if the command fails.
quietly() {
    local log status=0
    log=$(mktemp)
    "$@" >"$log" 2>&1 || status=$?
    ((status == 0)) || tail -n 80 "$log"
    rm -f "$log"
    return "$status"
}

# Configures the build tree DIR with warnings as errors and the given options, builds it and runs
# the suite, whose golden files hold each build to the very bytes the default build prints.
suite() {
    local dir=$1
    shift
    echo "=== $dir $*"
    quietly "${as_user[@]}" cmake -S . -B "$dir" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@"
    quietly "${as_user[@]}" cmake --build "$dir"
    "${as_user[@]}" ctest --test-dir "$dir" --output-on-failure </dev/null
}

# Runs the suite on a cross build for the Debian architecture NAME, in the build tree PREFIX-NAME:
# built by TRIPLE-g++, each program run under qemu-QEMU.
cross_suite() {
    local triple=$1 qemu=$2 name=$3 dir=${4:-build}-$3
    suite "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_SYSTEM_NAME=Linux \
        -DCMAKE_SYSTEM_PROCESSOR="$name" -DCMAKE_CXX_COMPILER="$triple-g++" \
        "-DCMAKE_CROSSCOMPILING_EMULATOR=qemu-$qemu;-L;/usr/$triple"
}

# The toolchain builds, on the CI machine and on each newer release in its chroot: compilers,
# their libraries and the flags a user may add must not change an answer, nor may linking.
toolchains=(gcc clang fastmath clang-fastmath hardened static musl musl-static zig)
# Runs the suite on toolchain build NAME, in the build tree PREFIX-NAME (a folder of the source
# tree by default), or says why this machine cannot make it.
toolchain() {
    local name=$1 dir=${2:-build}-$1 options
    case $name in
    # The README's build with the machine's own GCC.
    gcc) options=() ;;
    # Unoptimised, AddressSanitizer and UBSan stopping at the first finding.
    sanitize) options=(-DCMAKE_BUILD_TYPE=Debug
                       "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all") ;;
    clang) options=(-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-stdlib=libc++) ;;
    fastmath) options=("-DCMAKE_CXX_FLAGS=-O2 -ffast-math -fsingle-precision-constant") ;;
    clang-fastmath) options=(-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-ffast-math) ;;
    hardened)
        if ! g++ -fhardened -E -x c++ /dev/null >/dev/null 2>&1; then
            echo "=== $dir: skipped: g++ $(g++ -dumpversion) has no -fhardened"
            return 0
        fi
        options=(-DCMAKE_CXX_FLAGS=-fhardened) ;;
    static) options=(-DPROBES_STATIC=ON) ;;
    musl) options=(-DCMAKE_TOOLCHAIN_FILE=cmake/musl.cmake) ;;
    musl-static) options=(-DCMAKE_TOOLCHAIN_FILE=cmake/musl.cmake -DPROBES_STATIC=ON) ;;
    # zig's C++ driver, which refuses some linker options that GCC's and Clang's pass on.
    zig)
        if ! command -v zig >/dev/null; then
            echo "=== $dir: skipped: no zig here (Debian has none; .ci/run installs it from npm)"
            return 0
        fi
        options=(-DCMAKE_CXX_COMPILER=zig -DCMAKE_CXX_COMPILER_ARG1=c++) ;;
    *) echo "no toolchain build $name" >&2; return 2 ;;
    esac
    suite "$dir" "${options[@]}"
    # A static program is held to its own start-up bars.
    [ "$name" != static ] || bench/startup.sh "$dir"
}

# Lintian tags that building on every release from one debian/ forces, each allowed only on the
# release whose lintian knows it (another release's lintian stops at a tag it does not know):
#   newer-standards-version: the policy version is unstable's, newer than this release's lintian.
#   package-uses-old-debhelper-compat-version: compat 14 does not exist on bookworm or trixie.
#   redundant-priority-optional-field: without it trixie's lintian warns recommended-field.
#   redundant-rules-requires-root-no-field: without it bookworm's dpkg would build as root.
declare -A lintian_allowed=(
    [bookworm]=newer-standards-version
    [trixie]=newer-standards-version
    [sid]=package-uses-old-debhelper-compat-version,redundant-priority-optional-field,redundant-rules-requires-root-no-field
)

# Says NAME... are names in the list LIST (the name of an array), or that they are not, and which
# are, exit status 2.
known_names() {
    local -n list=$1
    shift
    local name
    for name; do
        [[ " ${list[*]} " == *" $name "* ]] || {
            echo "$0: no $name; the names are: ${list[*]}" >&2
            exit 2
        }
    done
}
