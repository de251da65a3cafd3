// centsweep: prints the multiples of 100 from 0 to 900.
#include <cstdio>

int main()
{
    for (int counter = 0; counter <= 999; ++counter)
        if (counter % 100 == 0)
            std::printf("%d\n", counter);

    if (std::fflush(stdout) != 0) {
        std::perror("centsweep: cannot write output");
        return 1;
    }
    return 0;
}
