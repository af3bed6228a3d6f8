#include "ratios.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

namespace {

// Keeps the median of every benchmark while the console shows the usual table.
class median_collector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.aggregate_name == "median" && !run.error_occurred)
                medians[run.run_name.str()] = run.GetAdjustedCPUTime();
    }
    std::map<std::string, double> medians;
};

void print_ratios(const std::map<std::string, double>& medians, const std::vector<ratio>& ratios)
{
    std::printf("\n%-28s %-18s %8s %8s\n", "operation", "reference", "ratio", "limit");
    for (const ratio& r : ratios) {
        const auto operation = medians.find(r.operation);
        const auto reference = medians.find(r.reference);
        if (operation == medians.end() || reference == medians.end() || reference->second <= 0)
            continue;
        const double value = operation->second / reference->second;
        if (r.limit > 0)
            std::printf("%-28s %-18s %8.2f %8.2f  %s\n", r.operation.c_str(), r.reference.c_str(), value, r.limit,
                        value <= r.limit ? "within" : "OVER");
        else
            std::printf("%-28s %-18s %8.2f %8s\n", r.operation.c_str(), r.reference.c_str(), value, "-");
    }
}

} // namespace

int run_benchmarks(int argc, char** argv, int repetitions, double min_seconds, const std::vector<ratio>& ratios)
{
    std::vector<char*> args(argv, argv + argc);
    bool wanted = false;
    std::erase_if(args, [&](const char* arg) { return std::strcmp(arg, "--ratios") == 0 && (wanted = true); });
    // Medians of CPU time over repetitions run in random order stand up to a noisy
    // machine better than one run: a slow spell hits operation and reference alike.
    std::string repeat = "--benchmark_repetitions=" + std::to_string(repetitions);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::string at_least = "--benchmark_min_time=" + std::to_string(min_seconds);
    if (wanted) {
        args.insert(args.begin() + 1, {repeat.data(), interleave.data()});
        if (min_seconds > 0)
            args.insert(args.begin() + 1, at_least.data());
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    median_collector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (wanted)
        print_ratios(reporter.medians, ratios);
    benchmark::Shutdown();
    return 0;
}
