#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Seed f3195cce maintainers
# SPDX-License-Identifier: MIT
# Black-box tables for divprobe. Usage: divprobe.sh TABLE [EMULATOR...] PATH-TO-divprobe, where
# TABLE is replies, terminal, lost-verdict or prompts, each a test of its own.
# shellcheck source=lib.sh source-path=SCRIPTDIR
source "$(dirname "$0")/lib.sh"
table=$1
shift
run=("${runner[@]}" "$@")

P1='Enter an integer: ' P2='Enter another integer: '
P=$P1$P2
E=divprobe
# The messages about reply $1 (1 or 2), named $2: not an integer (N1, N2), out of range (R1, R2)
# and missing (I1, I2); and the one about stdin (C).
messages() {
    printf -v "N$1" '%s' "$E: the $2 reply is not an integer:"
    printf -v "R$1" '%s' "$E: the $2 reply is out of range (-2147483648 to 2147483647)\n"
    printf -v "I$1" '%s' "$E: input ended before the $2 integer\n"
}
C="$E: cannot read input:"
messages 1 first
messages 2 second

# True if file $1 holds exactly the text $2 (escapes as in printf %b), and no NUL byte. Read by
# the shell itself: a table runs hundreds of rows, and each process costs.
holds() {
    local got want
    printf -v want '%b' "$2"
    ! IFS= read -r -d '' got <"$1" || return
    [ "$got" = "$want" ]
}

# Runs the program on stdin and compares stdout, stderr and status exactly. Escapes as in printf %b.
row() {
    printf '%b' "$1" >"$tmp/in"
    "${run[@]}" <"$tmp/in" >"$tmp/out" 2>"$tmp/err"
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
    row ''                             "$P1"                                           "$I1"                            1
    row '  \n\n'                       "$P1"                                           "$I1"                            1
    row '12\n'                         "$P"                                            "$I2"                            1
    # the quote: up to the end of its line, cut after 32 bytes
    row 'a"b\\c\tz\r\nnext\n'          "$P1"                                           "$N1 "'"a\\"b\\\\c\\x09z\\x0d"\n' 1
    row '\033[2J\033]0;x\a\n'          "$P1"                                           "$N1 "'"\\x1b[2J\\x1b]0;x\\x07"\n' 1
    # (32 bytes in all, a sign included; byte 1 is shown in four)
    local X32 C33 Q31
    X32=$(printf 'x%.0s' {1..32}) C33=$(printf '\\001%.0s' {1..33}) Q31=$(printf '\\\\x01%.0s' {1..31})
    row "12 $X32"                      "$P"                                            "$N2 \"$X32\"\n"                 1
    row "${X32}y\n"                    "$P1"                                           "$N1 \"$X32\"...\n"              1
    row "-${X32}\n"                    "$P1"                                           "$N1 \"-${X32:1}\"...\n"         1
    row "$C33\n"                       "$P1"                                           "$N1 \"$Q31\\\\x01\"...\n"       1
    row "12 -$C33"                     "$P"                                            "$N2 \"-$Q31\"...\n"             1
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
    err=$("${run[@]}" 0>/dev/null 2>&1 >/dev/null)
    status=$?
    ended "$status" "write-only stdin"
    [ $status = 1 ] && [ "$err" = "$C Bad file descriptor" ] && ok || bad "write-only stdin: $err"
}

# Talks to COMMAND... as a user would, with KEYS (escapes as in printf %b): each | waits until
# the output ends in the next prompt before what follows it is sent; what stands before the first
# | is sent at once. Then reads the rest of the output. Sets `shown` to all the output, and
# `status`. Decided by observation: a prompt that has not come within $limit seconds fails. If
# `stop` names a file, once the first prompt has come the process group whose id that file holds
# is stopped and continued, and what follows waits for the prompt shown again.
converse() {
    local keys=$1 piece prompt=0 prompts=("$P1" "$P2") c pid from to group seen=0
    shift
    coproc TALK { exec "$@"; }
    pid=$TALK_PID
    # Bash forgets the coprocess's descriptors once it has reaped it: work on duplicates.
    exec {from}<&"${TALK[0]}" {to}>&"${TALK[1]}"
    shown=''
    # Reads the output until what came after its first $seen bytes ends in $1; fails if it has
    # not within $limit seconds.
    heard() {
        while [[ ${shown:seen} != *"$1" ]] && IFS= read -r -N 1 -t "$limit" -u "$from" c; do
            shown+=$c
        done
        [[ ${shown:seen} == *"$1" ]]
    }
    while IFS= read -r -d '|' piece; do
        if ((prompt > 0)); then
            heard "${prompts[prompt - 1]}" || break
        fi
        if ((prompt == 1)) && [ -n "${stop:-}" ]; then
            group=$(<"$stop") seen=${#shown}
            kill -STOP -- "-$group" && kill -CONT -- "-$group" && heard "$P1" || break
        fi
        printf '%b' "$piece" >&"$to"
        prompt=$((prompt + 1))
    done <<<"$keys|"
    IFS= read -r -d '' -u "$from" c
    shown+=$c
    exec {from}<&- {to}>&-
    wait "$pid"
    status=$?
}

# At a terminal a message starts on a line of its own, not after a prompt left open, and leaves
# no empty line. script(1) gives the program a pseudo-terminal that echoes what is typed, and
# the row compares all the terminal shows (but \r before each line end; a lone \r goes back to
# the start of the line; \004 is Ctrl-D, which shows nothing). A line end the user typed after
# the prompt showed has ended the prompt's line; one typed ahead, before it showed, has not, nor
# has one from a file or a pipe, which the terminal never shows.
# script runs its command with $SHELL, which must be a shell that knows the command: this one.
in_terminal=(env SHELL="$BASH" script -q -E always -ec)
# Each row says how the program is run, what it is given, what the terminal shows, and, with
# stdout to a file, what that holds. A message means exit status 1.
#   tty KEYS     the keys, at the terminal: each | waits for the next prompt, and what stands
#                before the first is typed ahead, whole lines that the terminal holds before
#                the program starts
#   edited KEYS  typed ahead while a line editor, as a shell has, held the terminal: when it
#                lets go, the terminal hands every line held over in one piece
#   'stty SETTINGS' KEYS
#                as tty, with the terminal set by stty SETTINGS before the program starts
#   other KEYS   as tty, but typed at a terminal of their own: stdout and stderr at this one; the
#                last column is what the terminal typed at shows
#   file TEXT    stdin from a file
#   pipe TEXT    stdin from a pipe whose writer keeps it open until the program has ended
#   stderr TEXT  stdin from a file, stdout to a file: only stderr at the terminal
#   folder       stdin a folder, which opens but cannot be read
#   stopped KEYS as tty, each key after a prompt; but once the first prompt has come the program
#                is stopped and continued, as by a shell's Ctrl-Z and fg (though nothing ends the
#                prompt's line, as the shell would)
#   background   a job in the background of a shell with job control (cmd &): it shows its
#                prompt, then stops as a read from the terminal would stop it (SIGTTIN), which
#                the shell's wait sees, and the job is ended
tty_row() {
    local how=$1 keys=$2 want command setup='' stdin='' status_want=0 stop=''
    printf -v want '%b' "$3"
    command=$(printf '%q ' "${run[@]}")
    case $how in
    tty | edited | 'stty '*)
        # Keys typed ahead: the program starts once the terminal holds them, and a line editor
        # lets go of them after that.
        [[ $keys == '|'* ]] || setup="for ((i = 0; i < 100 * $limit; i++)); do read -t 0 && break; sleep 0.01; done; "
        [ "$how" != edited ] || setup+="stty -icanon; stty icanon; "
        [[ $how != 'stty '* ]] || setup+="$how; "
        command="${setup}exec $command"
        ;;
    stopped)
        # In a session of its own, whose id (its process group's) goes to a file: not in
        # script(1)'s child's, as script stops itself when that child stops, until it is continued.
        # Started in the background, setsid leads no process group, so it makes the session
        # without a fork of its own, and the shell waits for the program itself: as util-linux's
        # setsid does with -w, which busybox's lacks.
        stop=$tmp/group
        command=$(printf '%q' "echo \$\$ >$(printf %q "$stop"); exec $command")
        command="setsid $(printf %q "$BASH") -c $command <&0 & wait \$!"
        ;;
    background)
        # The time limit is the shell's: a program that waits unseen in the background, rather
        # than stop, is cut off with it. The shell's notice of the stop, whose words vary with
        # its version, is not shown. Not through RUNNER: valgrind does not stop at the SIGTTIN
        # the program sends itself.
        command=$(printf '%q ' "${run[@]:${#runner[@]}}")
        command=$(printf '%q' "exec 3>&2 2>/dev/null; set -m; $command 2>&3 3>&- & wait \$!; status=\$?
                               kill -KILL \$!; exit \$status")
        command="exec $(printf '%q ' timeout "${timeout_options[@]}")$(printf %q "$BASH") -c $command"
        status_want=$((128 + $(kill -l TTIN)))
        ;;
    other)
        # That terminal is a second script(1)'s: it takes what this one is given, and what it
        # shows goes to a file.
        command=$(printf '%q' "exec $command >&3 2>&3 3>&-")
        command="script -q -E always -ec $command /dev/null 3>&1 >$(printf %q "$tmp/out")"
        ;;
    folder) stdin=$tmp ;;
    file | stderr) stdin=$tmp/in && printf '%b' "$keys" >"$stdin" ;;
    pipe)
        stdin=$tmp/pipe
        rm -f "$stdin" && mkfifo "$stdin" && exec {pipe}<>"$stdin"
        printf '%b' "$keys" >&"$pipe"
        ;;
    esac
    # Given as stdin, not typed.
    [ -z "$stdin" ] || { command+=$(printf ' <%q' "$stdin") && keys=''; }
    [ "$how" != stderr ] || command+=$(printf ' >%q' "$tmp/out")
    converse "$keys" "${in_terminal[@]}" "$command" /dev/null
    [ "$how" != pipe ] || exec {pipe}>&-
    ended "$status" "at a terminal, $how $2"
    [[ $want != *"$E: "* ]] || status_want=1
    local typed='' typed_want=''
    if [ "$how" = other ]; then
        IFS= read -r -d '' typed <"$tmp/out"
        printf -v typed_want '%b' "$4"
    fi
    [ "${shown//$'\r\n'/$'\n'}" = "$want" ] && [ "$status" = "$status_want" ] &&
        { [ "$how" != stderr ] || holds "$tmp/out" "$4"; } && [ "${typed//$'\r'/}" = "$typed_want" ] && ok ||
        bad "$(printf 'at a terminal, %s %s: shows %q, status %s' "$how" "$2" "$shown" "$status")${typed:+, typed at: $(printf %q "$typed")}"
}
terminal() {
    command -v script >/dev/null && command -v setsid >/dev/null ||
        skip "no script(1) or setsid(1) here (util-linux): the terminal rows cannot run"
    local err
    err=$("${in_terminal[@]}" true /dev/null </dev/null 2>&1 >/dev/null) ||
        skip "script(1) cannot start a pseudo-terminal here (${err//$'\n'/ }): the terminal rows cannot run"
    local X40
    X40=$(printf 'x%.0s' {1..40})
    #       how     given                   what the terminal shows                             stdout
    # typed after each prompt: the user's line end ended the prompt's line
    tty_row tty     '|\004'                 "$P1\n$I1"
    tty_row tty     '|12\004\004'           "${P1}12$P2\n$I2"
    tty_row tty     '|12\n|\004'            "${P1}12\n$P2\n$I2"
    tty_row tty     '|12abc\n'              "${P1}12abc\n$P2\n$N2 \"abc\"\n"
    tty_row tty     '|12 99999999999\n'     "${P1}12 99999999999\n$P2\n$R2"
    tty_row tty     '|12 99999999999 x\n'   "${P1}12 99999999999 x\n$P2\n$R2"
    tty_row tty     '|abc\n'                "${P1}abc\n$N1 \"abc\"\n"
    tty_row tty     '|12\n|abc\n'           "${P1}12\n${P2}abc\n$N2 \"abc\"\n"
    tty_row tty     '|\n\n12\n|\nabc\n'     "$P1\n\n12\n$P2\nabc\n$N2 \"abc\"\n"
    tty_row tty     '|\033[2J\n'            "${P1}^[[2J\n$N1 "'"\\x1b[2J"\n'
    tty_row tty     '|99999999999\n'        "${P1}99999999999\n$R1"
    # the rest of the line unread when the message is due: its line end, typed, still counts
    tty_row tty     '|99999999999 x\n'      "${P1}99999999999 x\n$R1"
    tty_row tty     "|${X40}\n"             "$P1$X40\n$N1 \"${X40:0:32}\"...\n"
    tty_row tty     '|12\n|99999999999 y\n' "${P1}12\n${P2}99999999999 y\n$R2"
    tty_row tty     '|12\n|3\n'             "${P1}12\n${P2}3\n3 is a factor of 12\n"
    # Ctrl-D in mid-line hands over what stands before it, which the next prompt then finds
    tty_row tty     '|12 abc\004|\n'        "${P1}12 abc$P2\n$N2 \"abc\"\n"
    tty_row tty     '|12 abc\004\004'       "${P1}12 abc$P2\n$N2 \"abc\"\n"
    # stopped and continued: the prompt is shown again, from the start of its line
    tty_row stopped '|\004'                 "$P1\r$P1\n$I1"
    tty_row stopped '|12\n|3\n'             "$P1\r${P1}12\n${P2}3\n3 is a factor of 12\n"
    tty_row stopped '|abc\n'                "$P1\r${P1}abc\n$N1 \"abc\"\n"
    tty_row background ''                   "$P1"
    # typed ahead: shown before the prompt, and its line end with it
    tty_row tty     'abc\n'                 "abc\n$P1\n$N1 \"abc\"\n"
    tty_row tty     '12\nabc\n'             "12\nabc\n$P\n$N2 \"abc\"\n"
    tty_row tty     '\n\n12\n\nabc\n'       "\n\n12\n\nabc\n$P\n$N2 \"abc\"\n"
    tty_row tty     '99999999999 x\n'       "99999999999 x\n$P1\n$R1"
    tty_row tty     '\004'                  "$P1\n$I1"
    tty_row tty     '12\n3\n'               "12\n3\n${P}3 is a factor of 12\n"
    tty_row edited  '12\nabc\n'             "12\nabc\n$P\n$N2 \"abc\"\n"
    tty_row edited  '12\n99999999999\n'     "12\n99999999999\n$P\n$R2"
    tty_row edited  '12\n3\n'               "12\n3\n${P}3 is a factor of 12\n"
    # echo off: nothing typed is shown, so the prompt's line stays open; but with echonl, a line
    # end typed is shown, only while the terminal hands input over a line at a time
    tty_row 'stty -echo'                '|abc\n'    "$P1\n$N1 \"abc\"\n"
    tty_row 'stty -echo'                '|12\n|3\n' "${P}3 is a factor of 12\n"
    tty_row 'stty -echo echonl'         '|abc\n'    "$P1\n$N1 \"abc\"\n"
    tty_row 'stty -echo echonl'         '|12\n|3\n' "$P1\n$P2\n3 is a factor of 12\n"
    tty_row 'stty -echo -icanon echonl' '|abc\n'    "$P1\n$N1 \"abc\"\n"
    tty_row 'stty -echo -icanon echonl' '|12\n|3\n' "${P}3 is a factor of 12\n"
    # typed at another terminal: shown there, not here, so the prompt's line here stays open
    tty_row other   '|abc\n'                "$P1\n$N1 \"abc\"\n"                                 'abc\n'
    tty_row other   '|12\n|3\n'             "${P}3 is a factor of 12\n"                     '12\n3\n'
    tty_row other   '|12\n|\004'            "$P\n$I2"                                       '12\n'
    # from a file or a pipe: nothing is shown, so every line stays open; a pipe left open is
    # not waited on
    tty_row file    'abc\n'                 "$P1\n$N1 \"abc\"\n"
    tty_row file    '12\nabc\n'             "$P\n$N2 \"abc\"\n"
    tty_row pipe    '12\nabc\n'             "$P\n$N2 \"abc\"\n"
    tty_row file    '99999999999 x\n'       "$P1\n$R1"
    tty_row pipe    '99999999999 x'         "$P1\n$R1"
    tty_row file    ''                      "$P1\n$I1"
    tty_row pipe    '12\n3\n'               "${P}3 is a factor of 12\n"
    tty_row folder  ''                      "$P1\n$C Is a directory\n"
    # only stderr at the terminal: stdout gets the prompts alone
    tty_row stderr  '12\nabc\n'             "$N2 \"abc\"\n"                                 "$P"
}

# Losing only the verdict is a failure too: a file size limit that lets the prompts through but
# not the line after them, with SIGXFSZ ignored so that the write fails rather than the program
# being killed.
lost_verdict() {
    command -v prlimit >/dev/null || skip "no prlimit here (util-linux): the lost-verdict row cannot run"
    local err status
    err=$( (trap '' XFSZ && printf '12 3\n' | prlimit --fsize=${#P} "${run[@]}" 2>&1 >"$tmp/out"))
    status=$?
    ended "$status" "verdict lost"
    [ $status = 1 ] && [ "$err" = "$E: cannot write output: File too large" ] && holds "$tmp/out" "$P" && ok ||
        bad "$(printf 'verdict lost: status %s, stderr %q, stdout %q' $status "$err" "$(<"$tmp/out")")"
}

# Each prompt reaches a pipe before the program waits for its reply: each reply is sent only once
# its prompt has come, so a prompt left in the buffer stalls the talk and fails the row.
prompts() {
    converse '|12\n|3\n' "${run[@]}"
    ended "$status" "prompts on a pipe"
    [ "$shown" = "${P}3 is a factor of 12"$'\n' ] && [ "$status" = 0 ] && ok ||
        bad "$(printf 'prompts on a pipe: %q, status %s' "$shown" "$status")"
}

case $table in
replies | terminal | lost-verdict | prompts) "${table//-/_}" ;;
*) echo "divprobe.sh: no table $table" >&2; exit 2 ;;
esac
tally "divprobe $table"
