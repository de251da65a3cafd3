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

// A reply read, and whether the rest of its line, up to its line end, came with it: a terminal
// delivers whole lines, so that rest was typed before the next prompt showed.
struct Reply {
    int value;
    bool typed_ahead;
};

// Reads one integer the way "%d" does: leading white space skipped, an optional sign, then
// the digits up to the first non-digit, which stays unread for the next reply. Unlike "%d" it
// stops the program on a reply that is missing, not a number, or too big for an int, where
// "%d" would leave the value unset or wrap it silently; WHICH names the reply in the message.
// At a terminal the prompt leaves its line open until the user ends a line: the message must
// then start on a line of its own. TYPED_AHEAD says the previous reply's line was typed before
// this prompt, so that its line end does not count.
static Reply read_reply(const char *which, bool typed_ahead)
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

    const int error = std::ferror(stdin) ? errno : 0;
    const bool ended = !has_digits && !sign && c == EOF;
    if (!error && !ended && has_digits && magnitude <= limit) {
        std::ungetc(c, stdin);
        return {static_cast<int>(sign == '-' ? -magnitude : magnitude), c != EOF};
    }
    // Not an integer: what stood there, up to the end of its line, or cut. Room for a sign, four
    // bytes for each byte quoted, and the end. Static, as a buffer on the stack would import the
    // stack protector's failure handler.
    static char quoted[1 + 4 * quoted_bytes + 1];
    char *end = quoted;
    const char *cut = "";
    if (!error && !has_digits) {
        if (sign)
            end = escape(sign, end);
        for (int taken = 0; c != '\n' && c != EOF; c = next(), ++taken) {
            if (taken == quoted_bytes) {
                cut = "...";
                break;
            }
            end = escape(c, end);
        }
    }
    *end = '\0';
    if (line_open && isatty(STDOUT_FILENO)) {
        std::putchar('\n');
        flush_output();
    }
    if (error)
        fail("cannot read input", error);
    if (ended)
        std::fprintf(stderr, "divprobe: input ended before the %s integer\n", which);
    else if (!has_digits)
        std::fprintf(stderr, "divprobe: the %s reply is not an integer: \"%s\"%s\n",
                     which, quoted, cut);
    else
        std::fprintf(stderr,
                     "divprobe: the %s reply is out of range (-2147483648 to 2147483647)\n", which);
    std::exit(1);
}

int main()
{
    std::printf("Enter an integer: ");
    const Reply first_reply = read_reply("first", false);
    const int first = first_reply.value;
    std::printf("Enter another integer: ");
    const int second = read_reply("second", first_reply.typed_ahead).value;

    // b divides a when a = k*b: so 0 divides only 0. Widening keeps -2147483648 % -1 from
    // overflowing, which would trap.
    const bool factor = second == 0 ? first == 0 : static_cast<long long>(first) % second == 0;
    std::printf(factor ? "%d is a factor of %d\n" : "%d is NOT a factor of %d\n", second, first);
    flush_output();
    return 0;
}
