// divprobe: asks for two integers and says whether the second is a factor of the first.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// Reads one integer the way "%d" does: leading white space skipped, an optional sign, then
// the digits up to the first non-digit, which stays unread for the next reply. Unlike "%d" it
// stops the program on a reply that is missing, not a number, or too big for an int, where
// "%d" would leave the value unset or wrap it silently.
static int read_reply()
{
    // The prompt must show before we wait, even when stdout is a pipe, as in `divprobe | tee log`.
    flush_output();
    int c;
    do {
        c = std::getchar();
    } while (std::isspace(c));
    const bool negative = c == '-';
    if (c == '-' || c == '+')
        c = std::getchar();
    const bool has_digits = std::isdigit(c);
    // Digits past the limit are still consumed, so that any numeral, however long, is one reply.
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    for (; std::isdigit(c); c = std::getchar())
        if (magnitude <= limit)
            magnitude = magnitude * 10 + (c - '0');
    if (std::ferror(stdin))
        fail("cannot read input", errno);
    if (!has_digits)
        fail(c == EOF ? "input ended before an integer" : "no integer given");
    if (magnitude > limit)
        fail("number out of range (-2147483648 to 2147483647)");
    std::ungetc(c, stdin);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

int main()
{
    std::printf("Enter an integer: ");
    const int first = read_reply();
    std::printf("Enter another integer: ");
    const int second = read_reply();

    // b divides a when a = k*b: so 0 divides only 0. Widening keeps -2147483648 % -1 from
    // overflowing, which would trap.
    const bool factor = second == 0 ? first == 0 : static_cast<long long>(first) % second == 0;
    std::printf(factor ? "%d is a factor of %d\n" : "%d is NOT a factor of %d\n", second, first);
    flush_output();
    return 0;
}
