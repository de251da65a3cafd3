#!/usr/bin/env bash
# Black-box tables for divprobe. Usage: divprobe.sh TABLE [EMULATOR...] PATH-TO-divprobe, where
# TABLE is replies, terminal, lost-verdict or prompts, each a test of its own. A table that
# cannot run here says why on one line and exits 77, which ctest counts as skipped.
# RUNNER, if set, is put before the program (a memory checker, say; valgrind needs --vgdb=no, or
# its own start-up file meets the file size limit of the lost-verdict row).
set -u
table=$1
shift
prog=("$@")
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
passed=0 failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)) && printf 'FAIL %s\n' "$@"; }
skip() {
    echo "skipped: $*"
    exit 77
}

# A sound run ends in milliseconds, under valgrind or qemu in well under a second. One that is
# still running after this many seconds loops: it fails the table at once.
limit=5
# shellcheck disable=SC2206 # RUNNER is a command line, split into its words on purpose
runner=(timeout --foreground -k 1 "$limit" ${RUNNER:-} "${prog[@]}")
# Says whether the run that ended with STATUS ended by itself; stops the table if not.
ended() {
    (($1 != 124 && $1 != 137)) || { echo "FAIL still running after $limit s: $2"; exit 1; }
}

P='Enter an integer: Enter another integer: '
P1='Enter an integer: '
E=divprobe
N1="$E: the first reply is not an integer:"
N2="$E: the second reply is not an integer:"
R1="$E: the first reply is out of range (-2147483648 to 2147483647)\n"
R2="$E: the second reply is out of range (-2147483648 to 2147483647)\n"

# True if file $1 holds exactly the text $2 (escapes as in printf %b), carriage returns aside
# when $3 says cr, and no NUL byte. Read by the shell itself: a table runs hundreds of rows, and
# each process costs.
holds() {
    local got want
    printf -v want '%b' "$2"
    ! IFS= read -r -d '' got <"$1" || return
    [ "${3-}" != cr ] || got=${got//$'\r'/}
    [ "$got" = "$want" ]
}

# Runs the program on stdin and compares stdout, stderr and status exactly. Escapes as in printf %b.
row() {
    printf '%b' "$1" >"$tmp/in"
    "${runner[@]}" <"$tmp/in" >"$tmp/out" 2>"$tmp/err"
    local status=$?
    ended "$status" "$(printf 'stdin=%q' "$1")"
    holds "$tmp/out" "$2" && holds "$tmp/err" "$3" && [ "$status" = "$4" ] && ok ||
        bad "$(printf 'stdin=%q: stdout=%q stderr=%q status=%s' "$1" "$(<"$tmp/out")" "$(<"$tmp/err")" "$status")"
}

# Every byte value in a reply that is not an integer, quoted by the rule the man page gives:
# printable ASCII as it is, a quote or a backslash escaped, every other byte as \xHH; a line end
# ends the quote. Each row is an x and then as many byte values in turn as a quote shows.
every_byte() {
    local first byte octal char stdin quote
    for ((first = 0; first < 256; first += 31)); do
        stdin=x quote=x
        for ((byte = first; byte < first + 31 && byte < 256; byte++)); do
            ((byte != 10)) || continue
            printf -v octal '%03o' "$byte"
            printf -v char "\\$octal"
            stdin+="\\0$octal"
            if ((byte == 34 || byte == 92)); then
                quote+="\\$char"
            elif ((byte >= 32 && byte < 127)); then
                quote+=$char
            else
                printf -v char '\\x%02x' "$byte"
                quote+=$char
            fi
        done
        row "$stdin\n" "$P1" "$N1 \"${quote//\\/\\\\}\"\n" 1
    done
    row 'x\nz\n' "$P1" "$N1 \"x\"\n" 1
}

replies() {
    #   stdin                          stdout                                          stderr                           status
    row '12\n3\n'                      "${P}3 is a factor of 12\n"                     ''                               0
    row '3\n12\n'                      "${P}12 is NOT a factor of 3\n"                 ''                               0
    row '7\n7\n'                       "${P}7 is a factor of 7\n"                      ''                               0
    row '7\n1\n'                       "${P}1 is a factor of 7\n"                      ''                               0
    row '0\n5\n'                       "${P}5 is a factor of 0\n"                      ''                               0
    row '-12\n5\n'                     "${P}5 is NOT a factor of -12\n"                ''                               0
    row '12\n-6\n'                     "${P}-6 is a factor of 12\n"                    ''                               0
    row '-12\n-4\n'                    "${P}-4 is a factor of -12\n"                   ''                               0
    row '-7\n2\n'                      "${P}2 is NOT a factor of -7\n"                 ''                               0
    row '2147483647\n2147483647\n'     "${P}2147483647 is a factor of 2147483647\n"    ''                               0
    row '-2147483648\n2\n'             "${P}2 is a factor of -2147483648\n"            ''                               0
    row '-2147483648\n2147483647\n'    "${P}2147483647 is NOT a factor of -2147483648\n" ''                             0
    row '2147483647\n-2147483648\n'    "${P}-2147483648 is NOT a factor of 2147483647\n" ''                             0
    # reading: white space, signs, two replies on one line, what follows a numeral
    row '12 3\n'                       "${P}3 is a factor of 12\n"                     ''                               0
    row '\n\n  \t12\n\n   3\n'         "${P}3 is a factor of 12\n"                     ''                               0
    row '12\r\n3\r\n'                  "${P}3 is a factor of 12\n"                     ''                               0
    row '\v12\f3\n'                    "${P}3 is a factor of 12\n"                     ''                               0
    row '+12\n+5\n'                    "${P}5 is NOT a factor of 12\n"                 ''                               0
    row '12\n3xyz\n'                   "${P}3 is a factor of 12\n"                     ''                               0
    row '12-3'                         "${P}-3 is a factor of 12\n"                    ''                               0
    row '000000000000000000000000000012 -0000000000000000000000000000003' \
                                       "${P}-3 is a factor of 12\n"                    ''                               0
    # no remainder to take: 0 divides only 0, -1 divides everything
    row '12\n0\n'                      "${P}0 is NOT a factor of 12\n"                 ''                               0
    row '0\n0\n'                       "${P}0 is a factor of 0\n"                      ''                               0
    row '-2147483648\n-1\n'            "${P}-1 is a factor of -2147483648\n"           ''                               0
    # not an integer, or no reply at all: stop, say which reply and why, quoting what was found
    row 'abc\n'                        "$P1"                                           "$N1 \"abc\"\n"                  1
    row '12\nabc\n'                    "$P"                                            "$N2 \"abc\"\n"                  1
    row '3xyz\n'                       "$P"                                            "$N2 \"xyz\"\n"                  1
    row '+ 5\n3\n'                     "$P1"                                           "$N1 \"+ 5\"\n"                  1
    row '-\n3\n'                       "$P1"                                           "$N1 \"-\"\n"                    1
    row '12x'                          "$P"                                            "$N2 \"x\"\n"                    1
    row '12 -'                         "$P"                                            "$N2 \"-\"\n"                    1
    row ''                             "$P1"                                           "$E: input ended before the first integer\n" 1
    row '  \n\n'                       "$P1"                                           "$E: input ended before the first integer\n" 1
    row '12\n'                         "$P"                                            "$E: input ended before the second integer\n" 1
    # the quote: up to the end of its line, cut after 32 bytes
    row 'a"b\\c\tz\r\nnext\n'          "$P1"                                           "$N1 "'"a\\"b\\\\c\\x09z\\x0d"\n' 1
    row '\033[2J\033]0;x\a\n'          "$P1"                                           "$N1 "'"\\x1b[2J\\x1b]0;x\\x07"\n' 1
    X32=$(printf 'x%.0s' {1..32})
    row "12 $X32"                      "$P"                                            "$N2 \"$X32\"\n"                 1
    row "${X32}y\n"                    "$P1"                                           "$N1 \"$X32\"...\n"              1
    every_byte
    # outside the int range, however long the numeral
    row '2147483648\n1\n'              "$P1"                                           "$R1"                            1
    row '-2147483649\n1\n'             "$P1"                                           "$R1"                            1
    row '21474836470\n1\n'             "$P1"                                           "$R1"                            1
    row '-21474836480\n1\n'            "$P1"                                           "$R1"                            1
    row '12\n4294967296\n'             "$P"                                            "$R2"                            1
    row "1$(printf '%0100d' 0)\n1\n"   "$P1"                                           "$R1"                            1
    row "-9$(printf '9%.0s' {1..99})"  "$P1"                                           "$R1"                            1

    # Unreadable input is a failure too (lost output is tested for every program: lost-output.sh).
    # Not a closed stdin: a preloaded library that opens a file (libfaketime does) would take fd 0.
    local err status
    err=$("${runner[@]}" 0>/dev/null 2>&1 >/dev/null)
    status=$?
    ended "$status" "write-only stdin"
    [ $status = 1 ] && [ "$err" = "$E: cannot read input: Bad file descriptor" ] && ok || bad "write-only stdin: $err"
}

# At a terminal a message starts on a line of its own, not after a prompt left open, and leaves
# no empty line. script(1) gives the program a pseudo-terminal without echo, so that what it
# shows is what the program wrote (\004 is Ctrl-D). A line the user ends closes the prompt's line;
# a line typed ahead, before the prompt showed, does not, nor does one from a file or a pipe,
# which the terminal never shows.
# The keys reach script through a FIFO that this shell holds open: at the end of its input,
# script would wait a quarter of a second before it passed the end on.
tty_row() {
    local how=$1 command keys
    printf '%b' "$2" >"$tmp/in"
    command=$(printf '%q ' "${runner[@]}")
    case $how in
    file) command="$command <$(printf %q "$tmp/in")" ;;
    pipe) command="cat $(printf %q "$tmp/in") | $command" ;;
    esac
    rm -f "$tmp/keys" && mkfifo "$tmp/keys" && exec {keys}<>"$tmp/keys"
    [ "$how" != typed ] || printf '%b' "$2" >&"$keys"
    script -q -E never -ec "$command" /dev/null <"$tmp/keys" >"$tmp/out"
    local status=$?
    exec {keys}>&-
    ended "$status" "$(printf 'at a terminal, %s %q' "$how" "$2")"
    holds "$tmp/out" "$3" cr && [ "$status" = 1 ] && ok ||
        bad "$(printf 'at a terminal, %s %q: shows %q, status %s' "$how" "$2" "$(<"$tmp/out")" "$status")"
}
terminal() {
    command -v script >/dev/null || skip "no script(1) here (util-linux): the terminal rows cannot run"
    script -q -E never -ec true /dev/null </dev/null >/dev/null 2>&1 ||
        skip "no pseudo-terminal here: the terminal rows cannot run"
    local X40
    X40=$(printf 'x%.0s' {1..40})
    #       stdin  given                   the terminal shows, but for the echo
    tty_row typed  '\004'                  "$P1\n$E: input ended before the first integer\n"
    tty_row typed  '12\004\004'            "$P\n$E: input ended before the second integer\n"
    tty_row typed  '12\n\004'              "$P\n$E: input ended before the second integer\n"
    tty_row typed  '12abc\n'               "$P\n$N2 \"abc\"\n"
    tty_row typed  '12 99999999999\n'      "$P\n$R2"
    tty_row typed  '12 99999999999 x\n'    "$P\n$R2"
    tty_row typed  'abc\n'                 "$P1$N1 \"abc\"\n"
    tty_row typed  '12\nabc\n'             "$P$N2 \"abc\"\n"
    tty_row typed  '\n\n12\n\nabc\n'       "$P$N2 \"abc\"\n"
    tty_row typed  '\033[2J\n'             "$P1$N1 "'"\\x1b[2J"\n'
    tty_row typed  '99999999999\n'         "$P1$R1"
    # the rest of the line unread when the message is due: its line end, typed, still counts
    tty_row typed  '99999999999 x\n'       "$P1$R1"
    tty_row typed  "${X40}\n"              "$P1$N1 \"${X40:0:32}\"...\n"
    tty_row typed  '12\n99999999999 y\n'   "$P$R2"
    # stdin from a file or a pipe: nothing is shown, so every line stays open
    tty_row file   '12\nabc\n'             "$P\n$N2 \"abc\"\n"
    tty_row pipe   '12\nabc\n'             "$P\n$N2 \"abc\"\n"
    tty_row file   '99999999999 x\n'       "$P1\n$R1"
    tty_row pipe   ''                      "$P1\n$E: input ended before the first integer\n"
}

# Losing only the verdict is a failure too: a file size limit that lets the prompts through but
# not the line after them, with SIGXFSZ ignored so that the write fails rather than the program
# being killed.
lost-verdict() {
    command -v prlimit >/dev/null || skip "no prlimit here (util-linux): the lost-verdict row cannot run"
    local err status
    err=$( (trap '' XFSZ && printf '12 3\n' | prlimit --fsize=${#P} "${runner[@]}" 2>&1 >"$tmp/out"))
    status=$?
    ended "$status" "verdict lost"
    [ $status = 1 ] && [ "$err" = "$E: cannot write output: File too large" ] && holds "$tmp/out" "$P" && ok ||
        bad "$(printf 'verdict lost: status %s, stderr %q, stdout %q' $status "$err" "$(<"$tmp/out")")"
}

# Each prompt reaches a pipe before the program waits for its reply. Decided by looking, not by
# waiting: once the program is blocked reading stdin, having read all it was sent, whatever it
# flushed is in the pipe. A sound program is never waited for; a broken one fails at once. What
# the program is doing is read from /proc by this shell itself, with the read builtin: the
# program is its child, and a parent may read what a sibling such as cat may not (Yama's
# ptrace_scope 1).

# Runs the command until it succeeds, 0.01 s apart, for at most $limit seconds, which only a
# program that neither reads nor ends would take.
poll() {
    local deadline=$((SECONDS + limit + 1))
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.01
    done
}
prompts() {
    # The number of read(2) in /proc/PID/syscall: what a shell waiting on an empty pipe is blocked
    # in. Bash forgets SH_PID as soon as it reaps the shell, so keep a copy.
    local sh_pid sh_in
    coproc SH { read -r _; }
    sh_pid=$SH_PID sh_in=${SH[1]}
    # Decided at once: where /proc cannot show a child's system call and reads (a kernel without
    # them, /proc hidden, Yama's ptrace_scope 2 or 3), the row cannot run.
    { read -r _ <"/proc/$sh_pid/syscall" && read -r _ <"/proc/$sh_pid/io"; } 2>/dev/null ||
        skip "/proc does not show this shell its child's system call and reads: the prompts row cannot run"
    poll blocked "$sh_pid"
    read_nr=${BASH_REMATCH[1]-none}
    exec {sh_in}>&-
    wait "$sh_pid"

    # Nor does bash keep DP's descriptors once it has reaped the program: work on duplicates.
    coproc DP { exec ${RUNNER:-} "${prog[@]}" 2>/dev/null; }
    pid=$DP_PID
    exec {from}<&"${DP[0]}" {to}>&"${DP[1]}"
    # A program that has gone leaves a closed pipe: writing to it fails, and must not end us.
    trap '' PIPE
    local first='' second='' verdict=''
    poll waits_for_input 0 && take ${#P1} first && printf '12\n' >&"$to" &&
        poll waits_for_input 3 && take $((${#P} - ${#P1})) second && printf '3\n' >&"$to" &&
        poll waits_for_input 2 && take 100 verdict ||
        echo "FAIL the program neither read nor ended within $limit s"
    exec {from}<&- {to}>&-
    kill "$pid" 2>/dev/null
    wait "$pid"
    [ "$first$second" = "$P" ] && [ "$verdict" = $'3 is a factor of 12\n' ] && ok ||
        bad "$(printf 'prompts on a pipe (read(2) is %s here): %q %q %q' "$read_nr" "$first" "$second" "$verdict")"
}
# True once process $1 is blocked in a system call with fd 0 as its first argument, which is then
# in BASH_REMATCH[1].
blocked() {
    local syscall
    { read -r syscall <"/proc/$1/syscall"; } 2>/dev/null && [[ $syscall =~ ^([0-9]+)\ 0x0\  ]]
}
# True once the program is blocked reading fd 0 with at least $1 more bytes read (rchar in
# /proc/PID/io) than when it last waited, or once it has ended.
consumed=0
waits_for_input() {
    local rchar
    { read -r _ rchar <"/proc/$pid/io"; } 2>/dev/null || return 0
    blocked "$pid" && [ "${BASH_REMATCH[1]}" = "$read_nr" ] && ((rchar >= consumed + $1)) && consumed=$rchar
}
# Appends to variable $2 what the program has written, up to $1 bytes in all, byte by byte and
# only while a byte is there: it never waits for more.
take() {
    local -n into=$2
    local c
    while ((${#into} < $1)) && read -r -t 0 <&"$from" && IFS= read -r -N 1 c <&"$from"; do
        into+=$c
    done
}

case $table in
replies | terminal | lost-verdict | prompts) "$table" ;;
*) echo "divprobe.sh: no table $table" >&2; exit 2 ;;
esac
echo "divprobe $table: $passed passed, $failed failed"
[ "$failed" = 0 ]
