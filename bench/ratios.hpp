// Benchmarks judged by ratios: each operation's median CPU time divided by its
// reference's, both timed in the same run, so that a slow machine or a busy spell
// slows both alike. Nothing here reports errors but through main's status.
#pragma once
#include <string>
#include <vector>

struct ratio {
    std::string operation; // benchmark names as Google Benchmark prints them
    std::string reference;
    double limit; // 0 when the ratio is only for information
};

// Runs the benchmarks as main(argc, argv) asks, Google Benchmark's flags included.
// With --ratios: `repetitions` runs of each in random order (each at least
// `min_seconds` long when that is above 0), then the table of `ratios`. Returns main's
// status: 1 for flags Google Benchmark does not know.
int run_benchmarks(int argc, char** argv, int repetitions, double min_seconds, const std::vector<ratio>& ratios);
