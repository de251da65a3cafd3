#!/usr/bin/env bash
# Black-box table for divprobe. Usage: divprobe.sh [EMULATOR...] PATH-TO-divprobe
# RUNNER, if set, is put before the program (a memory checker, say; valgrind needs --vgdb=no, or
# its own start-up file meets the file size limit of the lost-verdict row).
set -u
prog=("$@")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
passed=0 failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)) && printf 'FAIL %s\n' "$@"; }

# Runs the program on stdin and compares stdout, stderr and status exactly. Escapes as in printf %b.
row() {
    printf '%b' "$1" | ${RUNNER:-} "${prog[@]}" >"$tmp/out" 2>"$tmp/err"
    local status=$?
    printf '%b' "$2" | cmp -s - "$tmp/out" && printf '%b' "$3" | cmp -s - "$tmp/err" &&
        [ "$status" = "$4" ] && ok ||
        bad "$(printf 'stdin=%q: stdout=%q stderr=%q status=%s' "$1" "$(cat "$tmp/out")" "$(cat "$tmp/err")" "$status")"
}

P='Enter an integer: Enter another integer: '
P1='Enter an integer: '
E=divprobe
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
N1="$E: the first reply is not an integer:"
N2="$E: the second reply is not an integer:"
row 'abc\n'                        "$P1"                                           "$N1 \"abc\"\n"                  1
row '12\nabc\n'                    "$P"                                            "$N2 \"abc\"\n"                  1
row '+ 5\n3\n'                     "$P1"                                           "$N1 \"+ 5\"\n"                  1
row '-\n3\n'                       "$P1"                                           "$N1 \"-\"\n"                    1
row '12x'                          "$P"                                            "$N2 \"x\"\n"                    1
row '12 -'                         "$P"                                            "$N2 \"-\"\n"                    1
row ''                             "$P1"                                           "$E: input ended before the first integer\n" 1
row '  \n\n'                       "$P1"                                           "$E: input ended before the first integer\n" 1
row '12\n'                         "$P"                                            "$E: input ended before the second integer\n" 1
# the quote: up to the end of its line, cut after 32 bytes, and no byte of the input raw
row 'a"b\\c\tz\r\nnext\n'          "$P1"                                           "$N1 "'"a\\"b\\\\c\\x09z\\x0d"\n' 1
row '\033[2J\033]0;x\a\n'          "$P1"                                           "$N1 "'"\\x1b[2J\\x1b]0;x\\x07"\n' 1
row '\0\0377\0303\0251\n'          "$P1"                                           "$N1 "'"\\x00\\xff\\xc3\\xa9"\n' 1
X32=$(printf 'x%.0s' {1..32})
row "12 $X32"                      "$P"                                            "$N2 \"$X32\"\n"                 1
row "${X32}y\n"                    "$P1"                                           "$N1 \"$X32\"...\n"              1
# outside the int range, however long the numeral
R1="$E: the first reply is out of range (-2147483648 to 2147483647)\n"
R2="$E: the second reply is out of range (-2147483648 to 2147483647)\n"
row '2147483648\n1\n'              "$P1"                                           "$R1"                            1
row '-2147483649\n1\n'             "$P1"                                           "$R1"                            1
row '21474836470\n1\n'             "$P1"                                           "$R1"                            1
row '-21474836480\n1\n'            "$P1"                                           "$R1"                            1
row '12\n4294967296\n'             "$P"                                            "$R2"                            1
row "1$(printf '%0100d' 0)\n1\n"   "$P1"                                           "$R1"                            1
row "-9$(printf '9%.0s' {1..99})"  "$P1"                                           "$R1"                            1

# At a terminal a message starts on a line of its own, not after a prompt left open. script(1)
# gives the program a pseudo-terminal without echo, so that what it shows is what the program
# wrote (\004 is Ctrl-D). A line the user ends closes the prompt's line; a line typed ahead,
# before the prompt showed, does not.
tty_row() {
    printf '%b' "$1" | script -q -E never -ec "$(printf '%q ' ${RUNNER:-} "${prog[@]}")" /dev/null >"$tmp/out"
    local status=$?
    printf '%b' "$2" | cmp -s - <(tr -d '\r' <"$tmp/out") && [ "$status" = 1 ] && ok ||
        bad "$(printf 'at a terminal, typed %q: shows %q, status %s' "$1" "$(<"$tmp/out")" "$status")"
}
if script -q -E never -ec true /dev/null </dev/null >/dev/null 2>&1; then
    #       typed                  the terminal shows, but for the echo
    tty_row '\004'                 "$P1\n$E: input ended before the first integer\n"
    tty_row '12\004\004'           "$P\n$E: input ended before the second integer\n"
    tty_row '12\n\004'             "$P\n$E: input ended before the second integer\n"
    tty_row '12abc\n'              "$P\n$N2 \"abc\"\n"
    tty_row '12 99999999999\n'     "$P\n$R2"
    tty_row 'abc\n'                "$P1$N1 \"abc\"\n"
    tty_row '12\nabc\n'            "$P$N2 \"abc\"\n"
    tty_row '\n\n12\n\nabc\n'      "$P$N2 \"abc\"\n"
    tty_row '\033[2J\n'            "$P1$N1 "'"\\x1b[2J"\n'
    tty_row '99999999999\n'        "$P1$R1"
else
    echo "no pseudo-terminal here: the terminal rows are not run"
fi

# Unreadable input is a failure too (lost output is tested for every program, in CMakeLists.txt).
# Not a closed stdin: a preloaded library that opens a file (libfaketime does) would take fd 0.
err=$(${RUNNER:-} "${prog[@]}" 0>/dev/null 2>&1 >/dev/null)
[ $? = 1 ] && [ "$err" = "$E: cannot read input: Bad file descriptor" ] && ok || bad "write-only stdin: $err"

# So is losing only the verdict: a file size limit that lets the prompts through but not the line
# after them, with SIGXFSZ ignored so that the write fails rather than the program being killed.
err=$( (trap '' XFSZ && printf '12 3\n' | prlimit --fsize=${#P} ${RUNNER:-} "${prog[@]}" 2>&1 >"$tmp/out"))
status=$?
[ $status = 1 ] && [ "$err" = "$E: cannot write output: File too large" ] && printf %s "$P" | cmp -s - "$tmp/out" && ok ||
    bad "$(printf 'verdict lost: status %s, stderr %q, stdout %q' $status "$err" "$(<"$tmp/out")")"

# Each prompt reaches a pipe before the program waits for its reply. Decided by looking, not by
# waiting: once the program is blocked reading stdin, having read all it was sent, whatever it
# flushed is in the pipe. A sound program is never waited for; a broken one fails at once.
# Runs the command until it succeeds, 0.01 s apart. It gives up after a minute, which only a
# program that neither reads nor ends would take.
poll() {
    local deadline=$((SECONDS + 60))
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.01
    done
}
# The number of read(2) in /proc/PID/syscall: what a shell waiting on an empty pipe is blocked in.
# Bash forgets SH_PID as soon as it reaps the shell, so keep a copy.
coproc SH { read -r _; }
sh_pid=$SH_PID sh_in=${SH[1]}
blocked() { [[ $(cat "/proc/$sh_pid/syscall" 2>/dev/null) =~ ^([0-9]+)\ 0x0\  ]]; }
poll blocked
read_nr=${BASH_REMATCH[1]-none}
exec {sh_in}>&-
wait "$sh_pid"

# True once the program is blocked reading fd 0 with at least $1 more bytes read (rchar in
# /proc/PID/io) than when it last waited, or once it has ended.
consumed=0
waits_for_input() {
    local io syscall
    io=$(cat "/proc/$pid/io" 2>/dev/null) && syscall=$(cat "/proc/$pid/syscall" 2>/dev/null) || return 0
    io=${io#rchar: } io=${io%%$'\n'*}
    [[ $syscall == "$read_nr 0x0 "* ]] && ((io >= consumed + $1)) && consumed=$io
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

# Nor does bash keep DP's descriptors once it has reaped the program: work on duplicates.
coproc DP { exec ${RUNNER:-} "${prog[@]}" 2>/dev/null; }
pid=$DP_PID
exec {from}<&"${DP[0]}" {to}>&"${DP[1]}"
first='' second='' verdict=''
poll waits_for_input 0 && take ${#P1} first
printf '12\n' >&"$to"
poll waits_for_input 3 && take $((${#P} - ${#P1})) second
printf '3\n' >&"$to"
poll waits_for_input 2 && take 100 verdict
exec {from}<&- {to}>&-
[ ! -e "/proc/$pid" ] || kill "$pid"
wait "$pid"
[ "$first$second" = "$P" ] && [ "$verdict" = $'3 is a factor of 12\n' ] && ok ||
    bad "$(printf 'prompts on a pipe (read(2) is %s here): %q %q %q' "$read_nr" "$first" "$second" "$verdict")"

echo "divprobe: $passed passed, $failed failed"
[ "$failed" = 0 ]
