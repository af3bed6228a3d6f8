// The PNG container, in memory: the signature and every chunk's length and checksum
// are checked up to and including IEND before the decoder sees a byte, pixels are
// decoded one scanline at a time, and images are encoded row by row, so that neither
// ever holds a whole large picture. What the pixels mean is pngimage's business.
// Every function returns "" on success, else one sentence that says what is wrong.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct spng_ctx;

struct png_colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 0;
};

struct png_decoder_deleter {
    void operator()(spng_ctx* ctx) const;
};

// A PNG opened for reading scanline by scanline.
struct png_reader {
    std::unique_ptr<spng_ctx, png_decoder_deleter> ctx;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t bit_depth = 0;
    bool interlaced = false;
    bool indexed = false;
    // An indexed image's palette, its tRNS alphas applied (opaque where none is given).
    std::uint32_t palette_size = 0;
    std::array<png_colour, 256> palette{};
};

// Checks the signature and every chunk ("the file is damaged (checksum of chunk
// IDAT)", "the file ends before its last chunk"; bytes after IEND are ignored) and
// reads the header alone, so that the caller can refuse the size before any pixel
// memory is taken. `png` must outlive the reader.
std::string open_png(std::span<const std::uint8_t> png, png_reader& reader);

// Makes the decoder ready for scanlines and takes in an indexed image's palette.
// Indexed scanlines hold the raw indices, packed as in the file; any other image's
// hold 4 bytes of RGBA a pixel, a tRNS colour key making its pixels transparent.
std::string start_decoding(png_reader& reader);

// One decoded scanline: `count` pixels of row `y`, the first in column `left`, then
// every `step` columns (1 but for the passes of an interlaced image).
struct png_scanline {
    std::uint32_t y = 0;
    std::uint32_t left = 0;
    std::uint32_t step = 1;
    std::uint32_t count = 0;
    const std::uint8_t* bytes = nullptr;
};

// Takes one scanline; returns "" or a refusal that stops the reading.
using scanline_taker = std::function<std::string(const png_scanline& line)>;

// Decodes every scanline in the file's order (an interlaced image's pass by pass) and
// hands each to `on_scanline`; after the last, checks that whatever follows the pixels
// is sound.
std::string read_scanlines(png_reader& reader, const scanline_taker& on_scanline);

// The palette index of pixel `k` of an indexed scanline; indices narrower than a byte
// come packed, the leftmost pixel in the high bits.
inline std::uint32_t index_at(const png_reader& reader, const png_scanline& line, std::uint32_t k)
{
    const std::uint32_t depth = reader.bit_depth;
    if (depth == 8)
        return line.bytes[k];
    const std::size_t bit = std::size_t{k} * depth;
    return (line.bytes[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
}

// The colour of pixel `k`; an indexed pixel's index must lie inside the palette.
inline png_colour colour_at(const png_reader& reader, const png_scanline& line, std::uint32_t k)
{
    if (reader.indexed)
        return reader.palette[index_at(reader, line, k)];
    const std::uint8_t* p = line.bytes + std::size_t{k} * 4;
    return {p[0], p[1], p[2], p[3]};
}

// What an encoded image is: indexed with `palette` at 1 or 8 bits a pixel (a tRNS chunk
// holds the alphas up to the last entry that is not opaque), or without a palette 8-bit
// RGBA.
struct png_form {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t depth = 8;
    std::span<const png_colour> palette;
};

// Fills `row` with the bytes of row y, packed as in the file.
using row_filler = std::function<void(std::uint32_t y, std::vector<std::uint8_t>& row)>;

// Encodes an image of `form` row by row. Leaves `png` alone on failure.
std::string encode_png(const png_form& form, const row_filler& fill_row, std::vector<std::uint8_t>& png);
