// SPDX-FileCopyrightText: 2026 Seed f3195cce maintainers
// SPDX-License-Identifier: MIT
// poleprobe: prints the tangent of pi/2 in double and in single precision.
#include <cmath>
#include <cstdio>

int main()
{
    // volatile, so that the math library computes both tangents at run time rather than the
    // compiler folding them, which would make the output depend on the optimisation level.
    volatile double p = 3.141592653589793;

    std::printf("%f\n", std::tan(p / 2.0));

    // The single-precision argument: p rounded to float first, then halved in float.
    const float half_pi = static_cast<float>(p) / 2.0f;
    // Not tanf: glibc 2.36's tanf is one step off here (-22877334). The double tangent of the
    // exactly widened argument, rounded once to float, is the correctly rounded float tangent.
    const float tangent = static_cast<float>(std::tan(static_cast<double>(half_pi)));
    std::printf("%f\n", static_cast<double>(tangent));

    // A write that failed inside printf (stdout line-buffered, as on a terminal, or unbuffered)
    // leaves only the error flag and errno behind, and nothing for fflush to report.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::perror("poleprobe: cannot write output");
        return 1;
    }
    return 0;
}
