// The frame conversion in WebAssembly, timed beside a memset of the 256000-byte surface in
// the same module: scripts/web-bench runs it under node. Prints the median of each over
// many rounds and their ratio, and checks first that the fast path gives the words of the
// per-pixel reference, for every byte value in every plane. Exit status 1 when it does not;
// with --check it only checks (the tests run it so).
#include "display/dbuff.hpp"
#include "display/presentation.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t surface_bytes = screen_width * screen_height * 4;
constexpr int rounds = 31;
constexpr int passes = 200; // per round, so that one round is well above the timer's grain

template <typename F> double median_microseconds(F&& work)
{
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (int pass = 0; pass < passes; ++pass)
            work();
        const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
        times.push_back(spent.count() / passes);
    }
    std::nth_element(times.begin(), times.begin() + rounds / 2, times.end());
    return times[rounds / 2];
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::uint32_t> fast(surface_bytes / 4);
    std::vector<std::uint32_t> reference(surface_bytes / 4);
    // Each plane byte takes every value against several neighbours in the other planes.
    for (std::uint32_t seed : {0u, 1u, 7u}) {
        for (std::uint32_t i = 0; i < dbuff.size(); ++i)
            dbuff[i] = static_cast<std::uint8_t>(seed == 0 ? i : (i * 2654435761u + seed) >> 13);
        convert_frame(fast.data(), screen_width * 4);
        convert_frame_per_pixel(reference.data(), screen_width * 4);
        if (fast != reference) {
            std::puts("convert_frame differs from the per-pixel reference");
            return 1;
        }
    }
    if (argc > 1 && std::strcmp(argv[1], "--check") == 0) {
        std::puts("convert_frame gives the words of the per-pixel reference");
        return 0;
    }
    volatile std::uint8_t sink = 0;
    const double memset_us = median_microseconds([&] {
        std::memset(fast.data(), static_cast<int>(sink), surface_bytes);
        sink = static_cast<std::uint8_t>(sink + reinterpret_cast<volatile std::uint8_t*>(fast.data())[7]);
    });
    const double convert_us = median_microseconds([&] {
        convert_frame(fast.data(), screen_width * 4);
        sink = static_cast<std::uint8_t>(sink + reinterpret_cast<volatile std::uint8_t*>(fast.data())[7]);
    });
    std::printf("memset of 256000 bytes  %8.1f us\n", memset_us);
    std::printf("convert_frame           %8.1f us\n", convert_us);
    std::printf("ratio                   %8.2f (limit 2.00)\n", convert_us / memset_us);
    return 0;
}
