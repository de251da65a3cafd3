// SPDX-FileCopyrightText: 2026 Seed f3195cce maintainers
// SPDX-License-Identifier: MIT
// The start-up floor: a program that does nothing, built and linked as the probes are, so that
// the benchmark can tell what each probe costs beyond what any such program costs to start.
int main()
{
}
