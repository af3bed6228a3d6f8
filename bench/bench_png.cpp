// Reading a large enlarged sprite, timed beside libspng's own row-by-row decode of the
// same file: a 255 x 255 sprite written at scale 64, a 16320 x 16320 indexed PNG.
// Run with --ratios to print the reader's median as a ratio to the decoder's and the
// limit it should stay within; the other flags are Google Benchmark's own.
#include "art/bitmap.hpp"
#include "formats/pngimage.hpp"
#include "ratios.hpp"

#include <benchmark/benchmark.h>
#include <spng.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t sprite_side = 255;
constexpr std::uint32_t scale = 64;
constexpr double limit = 2.0;

// Every value a sprite holds, in a pattern that no two neighbouring blocks share.
const std::vector<std::uint8_t>& large_png()
{
    static const std::vector<std::uint8_t> png = [] {
        bitmap sprite{};
        allocate_bitmap(sprite_side, sprite_side, sprite);
        for (std::uint32_t i = 0; i < sprite_side * sprite_side; ++i)
            sprite.bitmap[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24) % 17 == 16
                                   ? transparent
                                   : static_cast<std::uint8_t>((i * 7 + i / sprite_side) % 16);
        std::vector<std::uint8_t> bytes;
        if (!write_png_sprite(sprite, scale, bytes).empty())
            std::abort();
        std::free(sprite.bitmap);
        return bytes;
    }();
    return png;
}

void BM_ReadPngSprite(benchmark::State& state)
{
    const std::vector<std::uint8_t>& png = large_png();
    for (auto _ : state) {
        bitmap sprite{};
        if (!read_png_sprite(png, scale, false, sprite).empty()) {
            state.SkipWithError("the sprite was not read back");
            return;
        }
        benchmark::DoNotOptimize(sprite.bitmap);
        std::free(sprite.bitmap);
    }
}
BENCHMARK(BM_ReadPngSprite)->Unit(benchmark::kMillisecond);

// The decoder alone: every scanline of the same file into one row buffer.
void BM_SpngDecodeRows(benchmark::State& state)
{
    const std::vector<std::uint8_t>& png = large_png();
    std::vector<std::uint8_t> row(std::size_t{sprite_side} * scale);
    for (auto _ : state) {
        spng_ctx* ctx = spng_ctx_new(0);
        spng_set_png_buffer(ctx, png.data(), png.size());
        int error = spng_decode_image(ctx, nullptr, 0, SPNG_FMT_PNG, SPNG_DECODE_PROGRESSIVE);
        while (error == 0)
            error = spng_decode_scanline(ctx, row.data(), row.size());
        spng_ctx_free(ctx);
        if (error != SPNG_EOI) {
            state.SkipWithError("libspng failed to decode the file");
            return;
        }
        benchmark::DoNotOptimize(row.data());
    }
}
BENCHMARK(BM_SpngDecodeRows)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    large_png(); // made once, before any timing
    return run_benchmarks(argc, argv, 7, 0, {{"BM_ReadPngSprite", "BM_SpngDecodeRows", limit}});
}
