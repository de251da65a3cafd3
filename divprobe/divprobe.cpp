// divprobe: asks for two integers and says whether the second is a factor of the first.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

// Ends the run with one line on stderr; a non-zero error adds the system's reason.
[[noreturn]] static void fail(const char *what, int error = 0)
{
    if (error != 0)
        std::fprintf(stderr, "divprobe: %s: %s\n", what, std::strerror(error));
    else
        std::fprintf(stderr, "divprobe: %s\n", what);
    std::exit(1);
}

// Lost output must not pass for success, as with `divprobe > /dev/full`. When stdout is
// line-buffered or unbuffered, a write fails inside printf, which drops the bytes and leaves
// only the stream's error flag (and errno) behind: fflush then has nothing to report.
static void flush_output()
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        fail("cannot write output", errno);
}

// How many bytes of a reply that is not an integer an error message quotes.
constexpr int quoted_bytes = 32;

// Writes byte C of a reply as a message may show it on any terminal, and says how many bytes
// that took: printable ASCII as it is, a quote or backslash escaped, every other byte as \xHH.
// No byte of the input reaches the terminal raw, an escape sequence least of all.
static int escape(int c, char *out)
{
    if (c == '"' || c == '\\')
        return std::sprintf(out, "\\%c", c);
    if (c >= 0x20 && c < 0x7f)
        return std::sprintf(out, "%c", c);
    return std::sprintf(out, "\\x%02x", c);
}

// Reads one integer the way "%d" does: leading white space skipped, an optional sign, then
// the digits up to the first non-digit, which stays unread for the next reply. Unlike "%d" it
// stops the program on a reply that is missing, not a number, or too big for an int, where
// "%d" would leave the value unset or wrap it silently; WHICH names the reply in the message.
// At a terminal the prompt leaves its line open until the user ends a line: the message must
// then start on a line of its own. TYPED_AHEAD says that the rest of the line holding the
// previous reply was typed before this prompt, so that its line end does not count.
static int read_reply(const char *which, bool &typed_ahead)
{
    // The prompt must show before we wait, even when stdout is a pipe, as in `divprobe | tee log`.
    flush_output();
    bool line_open = true;
    auto next = [&] {
        const int c = std::getchar();
        if (c == '\n') {
            line_open = line_open && typed_ahead;
            typed_ahead = false;
        }
        return c;
    };
    int c;
    do {
        c = next();
    } while (std::isspace(c));
    const int sign = c == '-' || c == '+' ? c : 0;
    if (sign)
        c = next();
    const bool has_digits = std::isdigit(c);
    // Digits past the limit are still consumed, so that any numeral, however long, is one reply.
    const long long limit = sign == '-' ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    for (; std::isdigit(c); c = next())
        if (magnitude <= limit)
            magnitude = magnitude * 10 + (c - '0');

    char why[64 + 4 * quoted_bytes];
    const int error = std::ferror(stdin) ? errno : 0;
    if (error != 0) {
        std::snprintf(why, sizeof why, "cannot read input");
    } else if (!has_digits && !sign && c == EOF) {
        std::snprintf(why, sizeof why, "input ended before the %s integer", which);
    } else if (!has_digits) {
        // The reply quoted up to the end of its line, or cut.
        int n = std::sprintf(why, "the %s reply is not an integer: \"", which);
        if (sign)
            n += escape(sign, why + n);
        for (int taken = 0; c != '\n' && c != EOF; c = next(), ++taken) {
            if (taken == quoted_bytes) {
                n += std::sprintf(why + n, "\"...");
                break;
            }
            n += escape(c, why + n);
        }
        if (c == '\n' || c == EOF)
            std::sprintf(why + n, "\"");
    } else if (magnitude > limit) {
        std::snprintf(why, sizeof why, "the %s reply is out of range (-2147483648 to 2147483647)", which);
    } else {
        std::ungetc(c, stdin);
        typed_ahead = c != EOF;
        return static_cast<int>(sign == '-' ? -magnitude : magnitude);
    }
    if (line_open && isatty(STDOUT_FILENO)) {
        std::putchar('\n');
        flush_output();
    }
    fail(why, error);
}

int main()
{
    bool typed_ahead = false;
    std::printf("Enter an integer: ");
    const int first = read_reply("first", typed_ahead);
    std::printf("Enter another integer: ");
    const int second = read_reply("second", typed_ahead);

    // b divides a when a = k*b: so 0 divides only 0. Widening keeps -2147483648 % -1 from
    // overflowing, which would trap.
    const bool factor = second == 0 ? first == 0 : static_cast<long long>(first) % second == 0;
    std::printf(factor ? "%d is a factor of %d\n" : "%d is NOT a factor of %d\n", second, first);
    flush_output();
    return 0;
}
