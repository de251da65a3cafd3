// SPDX-FileCopyrightText: 2026 Seed f3195cce maintainers
// SPDX-License-Identifier: MIT
// centsweep: prints the multiples of 100 from 0 to 900.
#include <cstdio>

int main()
{
    for (int counter = 0; counter <= 999; ++counter)
        if (counter % 100 == 0)
            std::printf("%d\n", counter);

    // A write that failed inside printf (stdout line-buffered, as on a terminal, or unbuffered)
    // leaves only the error flag and errno behind, and nothing for fflush to report.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::perror("centsweep: cannot write output");
        return 1;
    }
    return 0;
}
