// Benchmarks of the display library, each timed beside the reference it is judged by:
// memset of the 256000-byte surface for the frame conversion, memset of the 32000-byte
// frame buffer for whole-screen fills, and 64 put_pixel calls for an 8 x 8 rectangle.
// Run with --ratios to print each median as a ratio to its reference and the limit
// it should stay within; the other flags are Google Benchmark's own.
#include "display/dbuff.hpp"
#include "display/palette.hpp"
#include "display/presentation.hpp"
#include "ratios.hpp"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t surface_bytes = screen_width * screen_height * 4;

std::vector<std::uint32_t>& surface_words()
{
    static std::vector<std::uint32_t> words(surface_bytes / 4);
    return words;
}

// Something on the screen, so that the conversion sees every kind of byte.
void draw_test_picture()
{
    for (std::uint32_t i = 0; i < dbuff.size(); ++i)
        dbuff[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
}

void BM_Memset256000(benchmark::State& state)
{
    auto& words = surface_words();
    for (auto _ : state) {
        std::memset(words.data(), 0, surface_bytes);
        benchmark::DoNotOptimize(words.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Memset256000);

void BM_ConvertFrame(benchmark::State& state)
{
    draw_test_picture();
    auto& words = surface_words();
    for (auto _ : state) {
        convert_frame(words.data(), screen_width * 4);
        benchmark::DoNotOptimize(words.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ConvertFrame);

void BM_ConvertFrameSSE2(benchmark::State& state)
{
    draw_test_picture();
    auto& words = surface_words();
    if (!convert_frame_using(convert_path::sse2, words.data(), screen_width * 4)) {
        state.SkipWithError("no SSE2 on this processor");
        return;
    }
    for (auto _ : state) {
        convert_frame_using(convert_path::sse2, words.data(), screen_width * 4);
        benchmark::DoNotOptimize(words.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ConvertFrameSSE2);

void BM_ConvertFramePerPixel(benchmark::State& state)
{
    draw_test_picture();
    auto& words = surface_words();
    for (auto _ : state) {
        convert_frame_per_pixel(words.data(), screen_width * 4);
        benchmark::DoNotOptimize(words.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ConvertFramePerPixel);

void BM_Memset32000(benchmark::State& state)
{
    for (auto _ : state) {
        std::memset(dbuff.data(), 0, dbuff.size());
        benchmark::DoNotOptimize(dbuff.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Memset32000);

void BM_FillScreen(benchmark::State& state)
{
    const auto color = static_cast<std::uint8_t>(state.range(0));
    for (auto _ : state) {
        fill_screen(color);
        benchmark::DoNotOptimize(dbuff.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FillScreen)->DenseRange(0, 15);

void BM_DrawRectangleFullScreen(benchmark::State& state)
{
    for (auto _ : state) {
        draw_rectangle(0, 0, screen_width, screen_height, 9);
        benchmark::DoNotOptimize(dbuff.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawRectangleFullScreen);

// At (16, 16) the box covers one byte whole; at (20, 20) it straddles two.
void BM_DrawRectangle8x8(benchmark::State& state)
{
    const auto at = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        draw_rectangle(at, at, 8, 8, 10);
        benchmark::DoNotOptimize(dbuff.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawRectangle8x8)->Arg(16)->Arg(20);

void BM_PutPixel8x8(benchmark::State& state)
{
    for (auto _ : state) {
        for (std::uint32_t y = 20; y < 28; ++y)
            for (std::uint32_t x = 20; x < 28; ++x)
                put_pixel(x, y, 10);
        benchmark::DoNotOptimize(dbuff.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PutPixel8x8);

std::vector<ratio> display_ratios()
{
    std::vector<ratio> ratios = {
        {"BM_ConvertFrame", "BM_Memset256000", 3.0},
        {"BM_ConvertFrameSSE2", "BM_Memset256000", 0}, // the fallback where AVX2 is missing
        {"BM_ConvertFramePerPixel", "BM_Memset256000", 0},
        {"BM_DrawRectangleFullScreen", "BM_Memset32000", 1.5},
        {"BM_DrawRectangle8x8/16", "BM_PutPixel8x8", 0.25},
        {"BM_DrawRectangle8x8/20", "BM_PutPixel8x8", 0.25},
    };
    for (int color = 0; color < 16; ++color)
        ratios.push_back({"BM_FillScreen/" + std::to_string(color), "BM_Memset32000", 1.3});
    return ratios;
}

} // namespace

int main(int argc, char** argv)
{
    return run_benchmarks(argc, argv, 15, 0.1, display_ratios());
}
