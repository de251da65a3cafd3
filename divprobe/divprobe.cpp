// SPDX-FileCopyrightText: 2026 Seed f3195cce maintainers
// SPDX-License-Identifier: MIT
// divprobe: asks for two integers and says whether the second is a factor of the first.
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

// Ends the run with one line on stderr, FORMAT filled in, and exit status 1.
[[noreturn]] [[gnu::format(printf, 1, 2)]] static void fail(const char *format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::exit(1);
}

// Lost output must not pass for success, as with `divprobe > /dev/full`. When stdout is
// line-buffered or unbuffered, a write fails inside printf, which drops the bytes and leaves
// only the stream's error flag (and errno) behind: fflush then has nothing to report.
static void flush_output()
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        fail("divprobe: cannot write output: %s\n", std::strerror(errno));
}

// Whether stdin is a terminal that shows the line ends typed at it where the prompt's line is:
// stdout is the same terminal, and it echoes each key (ECHO) or the line ends alone (ECHONL,
// which a terminal does only while it hands input over a line at a time, ICANON). A line end
// shown on another terminal ends no line here.
static bool typing_shown()
{
    termios modes;
    struct stat in, out;
    if (tcgetattr(STDIN_FILENO, &modes) != 0 || fstat(STDIN_FILENO, &in) != 0 ||
        fstat(STDOUT_FILENO, &out) != 0 || in.st_rdev != out.st_rdev)
        return false;
    return (modes.c_lflag & ECHO) != 0 || (modes.c_lflag & (ECHONL | ICANON)) == (ECHONL | ICANON);
}

// What is read of stdin. Not on the stack, which may be small (ulimit -s): the program must run
// wherever any program runs.
static char buffer[BUFSIZ];

// Does nothing: that it ran is what ends a wait for input (Input::wait).
static void on_continue(int) {}

// The replies as they are read, and where a terminal's cursor stands after them. A terminal shows
// each key as it is typed, and hands the keys over a line at a time: the prompt's line stays open
// until the user ends a line typed after the prompt showed. Whatever was typed before it showed,
// the rest of the previous reply's line or lines typed ahead, was shown before it and ends
// nothing. Input from a file or a pipe is not shown at all, nor is typing with echo off or at
// another terminal, so there the prompt's line stays open. Read by hand, not with stdio, so that
// what is read but not yet taken is known. A stop (Ctrl-Z) and continue (fg) while the program
// waits for input must end the wait: the shell has ended the prompt's line meanwhile, so the
// prompt is shown again, from the start of the line.
struct Input {
    const bool shown = typing_shown();
    const bool screen = isatty(STDOUT_FILENO) != 0; // stdout is a terminal
    const char *prompt = ""; // the prompt last shown
    sigset_t waiting{};      // the signal mask while the program waits: SIGCONT let through
    bool line_open = true;   // nothing typed since the prompt has ended its line
    int ahead = 0;           // bytes still to take that were typed before the prompt showed
    bool ended = false;      // stdin has ended
    int start = 0;           // where the bytes read and not yet taken start in buffer
    int end = 0;             // and where they end

    // SIGCONT, its handler run without SA_RESTART, ends a wait. It is blocked but during the
    // wait itself, so that one that comes at any other time is held, and ends the next wait.
    Input()
    {
        if (!screen)
            return;
        struct sigaction action {};
        action.sa_handler = on_continue;
        sigaction(SIGCONT, &action, nullptr);
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGCONT);
        sigprocmask(SIG_BLOCK, &blocked, &waiting);
    }

    // Shows TEXT, the prompt. What is read and not taken, and what the terminal holds, was typed
    // ahead of it. No terminal holds near INT_MAX bytes: a count that says so is cut, so that the
    // sum cannot overflow.
    void show_prompt(const char *text)
    {
        int held = 0;
        if (shown && ioctl(STDIN_FILENO, FIONREAD, &held) != 0)
            held = 0;
        ahead = end - start + (held < INT_MAX - BUFSIZ ? held : INT_MAX - BUFSIZ);
        line_open = true;
        prompt = text;
        std::printf("%s", text);
        flush_output();
    }

    // Waits until stdin has input, or has ended. At a terminal, shows the prompt again each time
    // the program is continued after a stop. In the background it first stops, as a read from its
    // terminal would stop it (SIGTTIN), which the wait does not: not to wait unseen, nor to show
    // the prompt over the shell's line.
    void wait()
    {
        pollfd input = {STDIN_FILENO, POLLIN, 0};
        for (bool continued = false; screen; continued = true) {
            const pid_t foreground = tcgetpgrp(STDIN_FILENO);
            if (foreground > 0 && foreground != getpgrp()) {
                kill(0, SIGTTIN);
            } else if (continued) {
                std::putchar('\r');
                show_prompt(prompt);
            }
            if (ppoll(&input, 1, nullptr, &waiting) >= 0 || errno != EINTR)
                return;
        }
    }

    // The next byte of stdin, or EOF once it has ended. A read that fails ends the run.
    int next()
    {
        if (start == end && !ended) {
            wait();
            const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
            if (got < 0) {
                const int error = errno;
                end_reply(EOF);
                fail("divprobe: cannot read input: %s\n", std::strerror(error));
            }
            start = 0;
            end = static_cast<int>(got);
            ended = got == 0;
        }
        if (start == end)
            return EOF;
        const int c = static_cast<unsigned char>(buffer[start++]);
        if (ahead > 0)
            --ahead;
        else if (shown)
            line_open = c != '\n';
        return c;
    }

    // Leaves C, the byte just taken, for the next reply.
    void put_back(int c)
    {
        if (c != EOF)
            --start;
    }

    // Called when a reply turns out unusable, C being the last byte taken of it, before the
    // message that says so. At a terminal the message must start a line of its own and leave no
    // empty one. When the user typed this reply, the rest of its line is at hand (the terminal
    // handed it over whole), and its line end, shown as it was typed, may have ended the prompt's
    // line: so it is taken first. After a Ctrl-D in mid-line the terminal waits for the rest of
    // the line, as it does for any reader. A line shown but not yet ended, as a paste may leave,
    // is beyond reach: the terminal neither hands it over nor counts it (FIONREAD), and leaving
    // canonical mode to see it would hand it over as if ended. The message then follows it.
    void end_reply(int c)
    {
        if (!screen)
            return;
        while (shown && c != '\n' && c != EOF)
            c = next();
        if (line_open) {
            std::putchar('\n');
            flush_output();
        }
    }
};

// How many bytes of a reply that is not an integer an error message quotes, its sign included.
constexpr int quoted_bytes = 32;

// Appends byte C of a reply to OUT as a message may show it on any terminal: printable ASCII
// as it is, a quote or backslash escaped, every other byte as \xHH. No byte of the input
// reaches the terminal raw, an escape sequence least of all. By hand, not with sprintf: each
// library function a program imports costs it a symbol lookup at every start.
static char *escape(int c, char *out)
{
    const bool printable = c >= 0x20 && c < 0x7f;
    if (!printable || c == '"' || c == '\\')
        *out++ = '\\';
    if (printable) {
        *out++ = static_cast<char>(c);
    } else {
        *out++ = 'x';
        *out++ = "0123456789abcdef"[c >> 4 & 15];
        *out++ = "0123456789abcdef"[c & 15];
    }
    return out;
}

// Ends the run on a reply with no digits where they should begin, at C (after SIGN, if one was
// read): the input ended, or the message quotes what stood there, up to the end of its line or
// cut. WHICH names the reply.
[[noreturn]] static void reject_text(Input &in, const char *which, int sign, int c)
{
    if (sign == 0 && c == EOF) {
        in.end_reply(c);
        fail("divprobe: input ended before the %s integer\n", which);
    }
    // Four bytes for each byte quoted, and the end.
    char quoted[4 * quoted_bytes + 1];
    char *end = sign != 0 ? escape(sign, quoted) : quoted;
    const char *cut = "";
    for (int taken = sign != 0; c != '\n' && c != EOF; c = in.next(), ++taken) {
        if (taken == quoted_bytes) {
            cut = "...";
            break;
        }
        end = escape(c, end);
    }
    *end = '\0';
    in.end_reply(c);
    fail("divprobe: the %s reply is not an integer: \"%s\"%s\n", which, quoted, cut);
}

// Shows PROMPT, then reads one integer the way "%d" does: leading white space skipped, an
// optional sign, then the digits up to the first non-digit, which stays unread for the next
// reply. Unlike "%d" it stops the program on a reply that is missing, not a number, or too big
// for an int, where "%d" would leave the value unset or wrap it silently; WHICH names the reply
// in the message.
static int read_reply(Input &in, const char *prompt, const char *which)
{
    // The prompt must show before we wait, even when stdout is a pipe, as in `divprobe | tee log`.
    in.show_prompt(prompt);
    int c;
    do {
        c = in.next();
    } while (std::isspace(c));
    const int sign = c == '-' || c == '+' ? c : 0;
    if (sign != 0)
        c = in.next();
    if (!std::isdigit(c))
        reject_text(in, which, sign, c);

    // Digits past the limit are still consumed, so that any numeral, however long, is one reply.
    const long long limit = sign == '-' ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    for (; std::isdigit(c); c = in.next())
        if (magnitude <= limit)
            magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) {
        in.end_reply(c);
        fail("divprobe: the %s reply is out of range (-2147483648 to 2147483647)\n", which);
    }
    in.put_back(c);
    return static_cast<int>(sign == '-' ? -magnitude : magnitude);
}

int main()
{
    Input in;
    const int first = read_reply(in, "Enter an integer: ", "first");
    const int second = read_reply(in, "Enter another integer: ", "second");

    // b divides a when a = k*b: so 0 divides only 0. Widening keeps -2147483648 % -1 from
    // overflowing, which would trap.
    const bool factor = second == 0 ? first == 0 : static_cast<long long>(first) % second == 0;
    std::printf(factor ? "%d is a factor of %d\n" : "%d is NOT a factor of %d\n", second, first);
    flush_output();
    return 0;
}
