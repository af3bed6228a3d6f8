#include "formats/pngimage.hpp"

#include "art/bitmap.hpp"
#include "display/palette.hpp"

#include <spng.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// The decoder keeps ancillary chunks (text, colour profiles) in memory; these bounds
// keep a hostile file from making it hold more than a few megabytes of them.
constexpr std::size_t chunk_size_limit = std::size_t{1} << 20;
constexpr std::size_t chunk_cache_limit = std::size_t{4} << 20;

constexpr std::uint32_t sheet_size = 128;
constexpr std::uint32_t max_sprite_size = 255;

struct context_deleter {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using context = std::unique_ptr<spng_ctx, context_deleter>;

struct colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 0;
};

// The sprite palette entry of value v: entry 255 is transparent black.
colour sprite_colour(std::uint32_t value)
{
    if (value == transparent)
        return {};
    const std::uint32_t word = rgbx_of(static_cast<std::uint8_t>(value));
    return {static_cast<std::uint8_t>(word >> 24), static_cast<std::uint8_t>(word >> 16),
            static_cast<std::uint8_t>(word >> 8), 255};
}

// Where the pixels of each scanline lie: Adam7's seven passes, or one pass of every row.
struct pass_layout {
    std::uint32_t left = 0;
    std::uint32_t top = 0;
    std::uint32_t column_step = 1;
    std::uint32_t row_step = 1;
};
constexpr pass_layout every_row{};
constexpr std::array<pass_layout, 7> adam7 = {{
    {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};

// One decoded pixel: its colour, and for an indexed image its palette index, kept raw
// because the library would quietly turn an index past the palette into some colour.
struct pixel {
    std::uint8_t index = 0;
    colour value;
};

// A PNG opened for reading scanline by scanline, so that memory does not grow with the
// picture: only a row and the sprite or sheet being built are held.
struct png_source {
    context ctx;
    spng_ihdr header{};
    bool indexed = false;
    std::uint32_t palette_size = 0;
    std::array<colour, 256> palette{};
};

std::string pixel_name(std::uint32_t x, std::uint32_t y)
{
    return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

std::string size_name(std::uint32_t width, std::uint32_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

// The decoder's errors in a user's words, by ranges of its error codes.
struct error_words {
    int first;
    int last;
    const char* words;
};
constexpr auto decoder_errors = std::to_array<error_words>({
    {SPNG_EMEM, SPNG_EMEM, "out of memory"},
    {SPNG_EWIDTH, SPNG_ENOIHDR, "the file is damaged (its header is invalid)"},
    {SPNG_ECHUNK_POS, SPNG_ECHUNK_POS, "the file is damaged (a chunk is out of place)"},
    {SPNG_ECHUNK_SIZE, SPNG_ECHUNK_SIZE, "the file is damaged (a chunk has an impossible length)"},
    {SPNG_ECHUNK_CRC, SPNG_ECHUNK_CRC, "the file is damaged (a chunk's checksum is wrong)"},
    {SPNG_ECHUNK_TYPE, SPNG_ECHUNK_TYPE, "the file is damaged (a chunk has an invalid name)"},
    {SPNG_ECHUNK_UNKNOWN_CRITICAL, SPNG_ECHUNK_UNKNOWN_CRITICAL,
     "the file needs a chunk type that PNG readers do not know"},
    {SPNG_EDUP_PLTE, SPNG_EDUP_EXIF, "the file is damaged (a chunk that may appear once is repeated)"},
    {SPNG_ECHRM, SPNG_EEXIF, "the file is damaged (a palette, transparency or other chunk is invalid)"},
    {SPNG_EIDAT_TOO_SHORT, SPNG_EFILTER, "the file is damaged (its compressed pixel data is broken)"},
    {SPNG_EIO, SPNG_EOF, "the file ends before its last chunk"},
    {SPNG_ENOPLTE, SPNG_ENOPLTE, "the file is damaged (an indexed image without a palette)"},
    {SPNG_ECHUNK_LIMITS, SPNG_ECHUNK_LIMITS,
     "the file carries more extra data (text, colour profiles) than 1 MiB in a chunk or 4 MiB in all"},
    {SPNG_ECHUNK_STDLEN, SPNG_ECHUNK_STDLEN, "the file is damaged (a chunk has the wrong length)"},
});
static_assert(chunk_size_limit == std::size_t{1} << 20 && chunk_cache_limit == std::size_t{4} << 20,
              "the message above names these limits");

std::string library_error(int code)
{
    for (const error_words& each : decoder_errors)
        if (code >= each.first && code <= each.last)
            return each.words;
    return std::string("the file cannot be read as a PNG (") + spng_strerror(code) + ")";
}

std::uint32_t load32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// A chunk's four-letter name, or its bytes in hexadecimal when they are not letters.
std::string chunk_name(const std::uint8_t* type)
{
    const bool letters = std::all_of(type, type + 4, [](std::uint8_t c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
    if (letters)
        return std::string(type, type + 4);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%02X%02X%02X%02X", type[0], type[1], type[2], type[3]);
    return hex;
}

// Checks the signature and every chunk's length and checksum up to and including IEND
// before the decoder sees a byte: the decoder stops reading once it has the pixels, so
// damage behind them would otherwise go unseen. Bytes after IEND are ignored.
std::string check_chunks(std::span<const std::uint8_t> png)
{
    constexpr std::array<std::uint8_t, 8> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.empty())
        return "the file is 0 bytes long";
    if (!std::equal(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(std::min(png.size(), signature.size())),
                    signature.begin()))
        return "the file is not a PNG image";
    constexpr const char* truncated = "the file ends before its last chunk";
    std::size_t at = signature.size();
    for (;;) {
        if (png.size() < at + 8)
            return truncated;
        const std::uint32_t length = load32(&png[at]);
        const std::string name = chunk_name(&png[at + 4]);
        if (length > 0x7FFFFFFFu)
            return "the file is damaged (length of chunk " + name + ")";
        if (png.size() - at - 8 < std::size_t{length} + 4)
            return truncated;
        const auto crc = static_cast<std::uint32_t>(crc32(0, &png[at + 4], length + 4));
        if (crc != load32(&png[at + 8 + length]))
            return "the file is damaged (checksum of chunk " + name + ")";
        at += 12 + std::size_t{length};
        if (name == "IEND")
            return "";
    }
}

std::string check_scale(std::uint32_t scale)
{
    if (scale < 1 || scale > max_scale)
        return "the scale " + std::to_string(scale) + " is not between 1 and " + std::to_string(max_scale);
    return "";
}

// Checks the scale and the file's chunks and reads the header only, so that the caller
// can refuse the size before any pixel memory is taken.
std::string open_png(std::span<const std::uint8_t> png, std::uint32_t scale, png_source& source)
{
    if (std::string error = check_scale(scale); !error.empty())
        return error;
    if (std::string error = check_chunks(png); !error.empty())
        return error;
    source.ctx.reset(spng_ctx_new(0));
    if (!source.ctx)
        return "out of memory";
    spng_ctx* ctx = source.ctx.get();
    int error = spng_set_chunk_limits(ctx, chunk_size_limit, chunk_cache_limit);
    if (!error)
        error = spng_set_png_buffer(ctx, png.data(), png.size());
    if (!error)
        error = spng_get_ihdr(ctx, &source.header);
    source.indexed = source.header.color_type == SPNG_COLOR_TYPE_INDEXED;
    return error ? library_error(error) : "";
}

// Makes the decoder ready for scanlines and takes in the palette of an indexed image.
std::string start_decoding(png_source& source)
{
    spng_ctx* ctx = source.ctx.get();
    // A tRNS colour key makes its grey or RGB pixels transparent here.
    const int format = source.indexed ? SPNG_FMT_PNG : SPNG_FMT_RGBA8;
    const int flags = SPNG_DECODE_PROGRESSIVE | (source.indexed ? 0 : SPNG_DECODE_TRNS);
    int error = spng_decode_image(ctx, nullptr, 0, format, flags);
    if (error || !source.indexed)
        return error ? library_error(error) : "";
    spng_plte plte{};
    error = spng_get_plte(ctx, &plte);
    if (error)
        return library_error(error);
    spng_trns trns{};
    if (spng_get_trns(ctx, &trns) != 0)
        trns.n_type3_entries = 0;
    source.palette_size = std::min(plte.n_entries, 256u);
    for (std::uint32_t i = 0; i < source.palette_size; ++i) {
        const spng_plte_entry& entry = plte.entries[i];
        const std::uint8_t alpha = i < trns.n_type3_entries ? trns.type3_alpha[i] : 255;
        source.palette[i] = {entry.red, entry.green, entry.blue, alpha};
    }
    return "";
}

// The pixel at `column` of a decoded scanline; false, with the reason in `error`, for an
// index past the palette. Pixel by pixel work answers in bools: it runs for every pixel
// of a picture that may hold hundreds of millions.
bool sample_at(const png_source& source, const std::uint8_t* row, std::uint32_t column, std::uint32_t x,
               std::uint32_t y, pixel& result, std::string& error)
{
    if (!source.indexed) {
        const std::uint8_t* p = row + std::size_t{column} * 4;
        result.value = {p[0], p[1], p[2], p[3]};
        return true;
    }
    // Indices narrower than a byte come packed, the leftmost pixel in the high bits.
    const std::uint32_t depth = source.header.bit_depth;
    const std::size_t bit = std::size_t{column} * depth;
    const std::uint32_t index = (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
    if (index >= source.palette_size) {
        error = pixel_name(x, y) + " is palette index " + std::to_string(index) + ", past the end of the " +
                std::to_string(source.palette_size) + "-entry palette";
        return false;
    }
    result = {static_cast<std::uint8_t>(index), source.palette[index]};
    return true;
}

// Decodes the image, after start_decoding, one scanline at a time and hands every pixel
// to on_pixel(x, y, pixel, error), which may refuse it: false, with the reason in
// `error`. Interlaced pixels come
// pass by pass, so a pixel's neighbours may come long after it.
template <typename OnPixel>
std::string read_pixels(png_source& source, OnPixel on_pixel)
{
    spng_ctx* ctx = source.ctx.get();
    const spng_ihdr& header = source.header;
    const std::size_t row_size =
        source.indexed ? (std::size_t{header.width} * header.bit_depth + 7) / 8 : std::size_t{header.width} * 4;
    std::vector<std::uint8_t> row(row_size);
    int error = 0;
    while (error == 0) {
        spng_row_info info{};
        error = spng_get_row_info(ctx, &info);
        if (error == 0)
            error = spng_decode_scanline(ctx, row.data(), row.size());
        if (error != 0 && error != SPNG_EOI)
            return library_error(error);
        const pass_layout& pass = header.interlace_method ? adam7[static_cast<std::size_t>(info.pass) % 7] : every_row;
        const std::uint32_t y = pass.top + info.scanline_idx * pass.row_step;
        std::string refusal;
        for (std::uint32_t x = pass.left, column = 0; x < header.width; x += pass.column_step, ++column) {
            pixel p;
            if (!sample_at(source, row.data(), column, x, y, p, refusal) || !on_pixel(x, y, p, refusal))
                return refusal;
        }
    }
    // Whatever follows the pixels must be sound too.
    error = spng_decode_chunks(ctx);
    return error ? library_error(error) : "";
}

// The value of every scale x scale block, set pixel by pixel in any order. Every pixel
// of a block must give the same value: what counts as one colour is what the sprite or
// font can tell apart.
struct block_values {
    block_values(std::uint32_t block_scale, std::uint32_t width, std::uint32_t height)
        : scale(block_scale), columns(width / block_scale),
          values(std::size_t{columns} * (height / block_scale)), seen(values.size())
    {
    }
    bool put(std::uint32_t x, std::uint32_t y, std::uint8_t value, std::string& error)
    {
        const std::size_t at = std::size_t{columns} * (y / scale) + x / scale;
        if (!seen[at]) {
            seen[at] = 1;
            values[at] = value;
        } else if (values[at] != value) {
            error = "the " + size_name(scale, scale) + " block at (" + std::to_string(x / scale * scale) + ", " +
                    std::to_string(y / scale * scale) + ") is not of one colour";
            return false;
        }
        return true;
    }
    std::uint32_t scale;
    std::uint32_t columns;
    std::vector<std::uint8_t> values;
    std::vector<std::uint8_t> seen;
};

// The colour 0-15 nearest to `c` by squared RGB distance, the lower index on a tie.
std::uint8_t nearest_colour(colour c, std::uint32_t& distance)
{
    std::uint8_t best = 0;
    distance = UINT32_MAX;
    for (std::uint32_t v = 0; v < 16; ++v) {
        const colour p = sprite_colour(v);
        const int red = c.red - p.red;
        const int green = c.green - p.green;
        const int blue = c.blue - p.blue;
        const auto d = static_cast<std::uint32_t>(red * red + green * green + blue * blue);
        if (d < distance) {
            distance = d;
            best = static_cast<std::uint8_t>(v);
        }
    }
    return best;
}

// Whether `source` carries the palette the sprite writer writes, so that its indices
// are the sprite's bytes. Entry 255 only has to be transparent: its colour is unseen.
bool has_sprite_palette(const png_source& source)
{
    if (!source.indexed || source.palette_size != 256)
        return false;
    for (std::uint32_t v = 0; v < 256; ++v) {
        const colour want = sprite_colour(v);
        const colour have = source.palette[v];
        if (have.alpha != want.alpha)
            return false;
        if (v != transparent && (have.red != want.red || have.green != want.green || have.blue != want.blue))
            return false;
    }
    return true;
}

// Encodes an image row by row, so that a large scale never holds the whole picture;
// fill_row(y, row) supplies row y. An indexed image takes `plte` and `trns`, others
// none. Leaves `png` alone on failure.
template <typename FillRow>
std::string encode_rows(std::uint32_t width, std::uint32_t height, std::uint8_t color_type, std::uint8_t depth,
                        const spng_plte* plte, const spng_trns* trns, FillRow fill_row, std::vector<std::uint8_t>& png)
{
    const context ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx)
        return "out of memory";
    spng_ihdr header{};
    header.width = width;
    header.height = height;
    header.bit_depth = depth;
    header.color_type = color_type;
    spng_plte plte_copy = plte ? *plte : spng_plte{};
    spng_trns trns_copy = trns ? *trns : spng_trns{};
    int error = spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    if (!error)
        error = spng_set_ihdr(ctx.get(), &header);
    if (!error && plte)
        error = spng_set_plte(ctx.get(), &plte_copy);
    if (!error && trns)
        error = spng_set_trns(ctx.get(), &trns_copy);
    if (!error)
        error = spng_encode_image(ctx.get(), nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE);
    const std::size_t channels = color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ? 4 : 1;
    std::vector<std::uint8_t> row((std::size_t{width} * channels * depth + 7) / 8);
    for (std::uint32_t y = 0; !error && y < height; ++y) {
        fill_row(y, row);
        error = spng_encode_row(ctx.get(), row.data(), row.size());
    }
    if (error != 0 && error != SPNG_EOI)
        return std::string("the PNG encoder failed (") + spng_strerror(error) + ")";
    std::size_t length = 0;
    const std::unique_ptr<void, decltype(&std::free)> buffer(spng_get_png_buffer(ctx.get(), &length, &error), &std::free);
    if (!buffer)
        return std::string("the PNG encoder failed (") + spng_strerror(error) + ")";
    const auto* bytes = static_cast<const std::uint8_t*>(buffer.get());
    png.assign(bytes, bytes + length);
    return "";
}

template <typename FillRow>
std::string encode_indexed(std::uint32_t width, std::uint32_t height, std::uint8_t depth, const spng_plte& plte,
                           const spng_trns& trns, FillRow fill_row, std::vector<std::uint8_t>& png)
{
    return encode_rows(width, height, SPNG_COLOR_TYPE_INDEXED, depth, &plte, &trns, fill_row, png);
}

// The sprite value of each pixel: its index in an image with the sprite palette, else
// its colour, transparent below alpha 128, one of the 16 exactly or with `nearest` the
// nearest of them. An enlarged picture repeats each colour many times over: the last
// one is remembered.
struct sprite_values {
    bool by_index;
    bool nearest;
    colour last{};
    std::uint8_t last_value = transparent;

    bool value_of(std::uint32_t x, std::uint32_t y, const pixel& p, std::uint8_t& value, std::string& refusal)
    {
        const colour c = p.value;
        if (by_index || c.alpha < 128) {
            value = by_index ? p.index : transparent;
            return true;
        }
        if (c.red != last.red || c.green != last.green || c.blue != last.blue || last.alpha < 128) {
            std::uint32_t distance = 0;
            last_value = nearest_colour(c, distance);
            if (distance != 0 && !nearest) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "#%02X%02X%02X", c.red, c.green, c.blue);
                refusal = pixel_name(x, y) + " is " + hex + ", not one of the 16 colours";
                return false;
            }
            last = c;
        }
        value = last_value;
        return true;
    }
};

std::string check_sheet_size(const spng_ihdr& header)
{
    if (header.width > max_sheet_side || header.height > max_sheet_side)
        return "the image is " + size_name(header.width, header.height) + " pixels; a sheet is at most " +
               size_name(max_sheet_side, max_sheet_side);
    return "";
}

// The palette every sprite PNG carries: entry v is the colour of v & 15, entry 255
// transparent black.
void set_sprite_palette(spng_plte& plte, spng_trns& trns)
{
    plte.n_entries = 256;
    trns.n_type3_entries = 256;
    for (std::uint32_t v = 0; v < 256; ++v) {
        const colour c = sprite_colour(v);
        plte.entries[v] = {c.red, c.green, c.blue, 0};
        trns.type3_alpha[v] = c.alpha;
    }
}

} // namespace

std::string read_png_sprite(std::span<const std::uint8_t> png, std::uint32_t scale, bool nearest, bitmap& sprite)
{
    png_source source;
    if (std::string error = open_png(png, scale, source); !error.empty())
        return error;
    const spng_ihdr& header = source.header;
    const std::uint32_t limit = max_sprite_size * scale;
    if (header.width > limit || header.height > limit)
        return "the image is " + size_name(header.width, header.height) + " pixels; a sprite is at most " +
               size_name(limit, limit) + (scale > 1 ? " at scale " + std::to_string(scale) : "");
    if (header.width % scale != 0 || header.height % scale != 0)
        return "the image is " + size_name(header.width, header.height) + " pixels, not a whole number of " +
               size_name(scale, scale) + " blocks";

    if (std::string error = start_decoding(source); !error.empty())
        return error;
    sprite_values values{has_sprite_palette(source), nearest};
    block_values blocks(scale, header.width, header.height);
    std::string error = read_pixels(source, [&](std::uint32_t x, std::uint32_t y, const pixel& p, std::string& refusal) {
        std::uint8_t value = 0;
        return values.value_of(x, y, p, value, refusal) && blocks.put(x, y, value, refusal);
    });
    if (!error.empty())
        return error;

    bitmap result{};
    if (allocate_bitmap(static_cast<std::uint8_t>(header.width / scale), static_cast<std::uint8_t>(header.height / scale),
                        result) != 0) {
        std::free(result.bitmap);
        return "out of memory";
    }
    std::memcpy(result.bitmap, blocks.values.data(), blocks.values.size());
    sprite = result;
    return "";
}

std::string write_png_sprite(const bitmap& sprite, std::uint32_t scale, std::vector<std::uint8_t>& png)
{
    if (std::string error = check_scale(scale); !error.empty())
        return error;
    if (sprite.width == 0 || sprite.height == 0)
        return "the sprite is " + size_name(sprite.width, sprite.height) + " pixels: a PNG needs at least one";
    spng_plte plte{};
    spng_trns trns{};
    set_sprite_palette(plte, trns);
    const std::uint32_t width = sprite.width * scale;
    return encode_indexed(width, sprite.height * scale, 8, plte, trns,
                          [&](std::uint32_t y, std::vector<std::uint8_t>& row) {
                              const std::uint8_t* source = sprite.bitmap + std::size_t{sprite.width} * (y / scale);
                              for (std::uint32_t x = 0; x < width; ++x)
                                  row[x] = source[x / scale];
                          },
                          png);
}

std::string read_png_sheet(std::span<const std::uint8_t> png, std::uint32_t scale, bool invert, struct font& result)
{
    png_source source;
    if (std::string error = open_png(png, scale, source); !error.empty())
        return error;
    const std::uint32_t size = sheet_size * scale;
    if (source.header.width != size || source.header.height != size)
        return "the image is " + size_name(source.header.width, source.header.height) + " pixels; a font sheet is " +
               size_name(size, size) + (scale > 1 ? " at scale " + std::to_string(scale) : "");

    if (std::string error = start_decoding(source); !error.empty())
        return error;
    block_values blocks(scale, size, size);
    std::string error = read_pixels(source, [&](std::uint32_t x, std::uint32_t y, const pixel& p, std::string& refusal) {
        const colour c = p.value;
        // Rec. 601 luma, the weighting of a television's grey.
        const std::uint32_t luma = (299u * c.red + 587u * c.green + 114u * c.blue) / 1000;
        return blocks.put(x, y, c.alpha >= 128 && ((luma >= 128) != invert), refusal);
    });
    if (!error.empty())
        return error;

    struct font sheet {};
    for (std::uint32_t y = 0; y < sheet_size; ++y)
        for (std::uint32_t x = 0; x < sheet_size; ++x)
            if (blocks.values[sheet_size * y + x])
                sheet.chr[(y / 8) * 16 + x / 8].bitmap[y % 8] |= static_cast<std::uint8_t>(1u << (x % 8));
    result = sheet;
    return "";
}

std::string write_png_sheet(const struct font& source, std::uint32_t scale, std::vector<std::uint8_t>& png)
{
    if (std::string error = check_scale(scale); !error.empty())
        return error;
    // One bit per pixel: index 0 transparent black, index 1 opaque white.
    spng_plte plte{};
    plte.n_entries = 2;
    plte.entries[1] = {255, 255, 255, 0};
    spng_trns trns{};
    trns.n_type3_entries = 1;
    trns.type3_alpha[0] = 0;
    const std::uint32_t size = sheet_size * scale;
    return encode_indexed(size, size, 1, plte, trns,
                          [&](std::uint32_t y, std::vector<std::uint8_t>& row) {
                              std::fill(row.begin(), row.end(), 0);
                              const std::uint32_t sheet_y = y / scale;
                              for (std::uint32_t x = 0; x < size; ++x) {
                                  const std::uint32_t sheet_x = x / scale;
                                  const std::uint8_t bits =
                                      source.chr[(sheet_y / 8) * 16 + sheet_x / 8].bitmap[sheet_y % 8];
                                  if (bits & (1u << (sheet_x % 8)))
                                      row[x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
                              }
                          },
                          png);
}

std::string write_png_page(const struct font& source, std::uint32_t scale, std::vector<std::uint8_t>& png)
{
    if (std::string error = check_scale(scale); !error.empty())
        return error;
    const std::uint32_t size = sheet_size * scale;
    return encode_rows(size, size, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 8, nullptr, nullptr,
                       [&](std::uint32_t y, std::vector<std::uint8_t>& row) {
                           const std::uint32_t sheet_y = y / scale;
                           for (std::uint32_t x = 0; x < size; ++x) {
                               const std::uint32_t sheet_x = x / scale;
                               const std::uint8_t bits =
                                   source.chr[(sheet_y / 8) * 16 + sheet_x / 8].bitmap[sheet_y % 8];
                               const std::uint8_t value = (bits & (1u << (sheet_x % 8))) ? 255 : 0;
                               std::fill_n(row.begin() + 4 * x, 4, value);
                           }
                       },
                       png);
}

std::string read_png_size(std::span<const std::uint8_t> png, std::uint32_t& width, std::uint32_t& height)
{
    png_source source;
    if (std::string error = open_png(png, 1, source); !error.empty())
        return error;
    if (std::string error = check_sheet_size(source.header); !error.empty())
        return error;
    width = source.header.width;
    height = source.header.height;
    return "";
}

namespace {

// Whether `area` can be read as a sprite of `image_width` x `image_height` at `scale`;
// "" or what is wrong with it.
std::string check_area(const image_area& area, std::uint32_t image_width, std::uint32_t image_height,
                       std::uint32_t scale)
{
    const std::string where = size_name(area.width, area.height) + " frame at (" + std::to_string(area.x) + ", " +
                              std::to_string(area.y) + ")";
    if (area.width == 0 || area.height == 0 || area.width > image_width || area.height > image_height ||
        area.x > image_width - area.width || area.y > image_height - area.height)
        return "the " + where + " does not lie inside the " + size_name(image_width, image_height) + " image";
    const std::uint32_t limit = max_sprite_size * scale;
    if (area.width > limit || area.height > limit)
        return "the " + where + " is larger than a sprite's " + size_name(limit, limit) +
               (scale > 1 ? " at scale " + std::to_string(scale) : "");
    if (area.width % scale != 0 || area.height % scale != 0)
        return "the " + where + " is not a whole number of " + size_name(scale, scale) + " blocks";
    return "";
}

bool inside(const image_area& area, std::uint32_t x, std::uint32_t y)
{
    return x >= area.x && x - area.x < area.width && y >= area.y && y - area.y < area.height;
}

} // namespace

std::string read_png_areas(std::span<const std::uint8_t> png, std::uint32_t scale, bool nearest,
                           std::span<const image_area> areas, std::vector<std::vector<std::uint8_t>>& values)
{
    png_source source;
    if (std::string error = open_png(png, scale, source); !error.empty())
        return error;
    if (std::string error = check_sheet_size(source.header); !error.empty())
        return error;
    for (const image_area& area : areas)
        if (std::string error = check_area(area, source.header.width, source.header.height, scale); !error.empty())
            return error;
    if (std::string error = start_decoding(source); !error.empty())
        return error;

    // Scanlines come one at a time, and only the areas that cross the current one are
    // looked through for each of its pixels.
    std::vector<block_values> blocks;
    blocks.reserve(areas.size());
    for (const image_area& area : areas)
        blocks.emplace_back(scale, area.width, area.height);
    sprite_values sprite{has_sprite_palette(source), nearest};
    std::vector<std::size_t> crossing;
    std::uint32_t crossing_y = UINT32_MAX;
    std::string error = read_pixels(source, [&](std::uint32_t x, std::uint32_t y, const pixel& p, std::string& refusal) {
        if (y != crossing_y) {
            crossing.clear();
            for (std::size_t i = 0; i < areas.size(); ++i)
                if (y >= areas[i].y && y - areas[i].y < areas[i].height)
                    crossing.push_back(i);
            crossing_y = y;
        }
        for (const std::size_t i : crossing) {
            if (!inside(areas[i], x, y))
                continue;
            std::uint8_t value = 0;
            if (!sprite.value_of(x, y, p, value, refusal) || !blocks[i].put(x - areas[i].x, y - areas[i].y, value, refusal))
                return false;
        }
        return true;
    });
    if (!error.empty())
        return error;
    values.clear();
    for (block_values& area : blocks)
        values.push_back(std::move(area.values));
    return "";
}

std::string write_png_picture(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> values,
                              std::vector<std::uint8_t>& png)
{
    if (width == 0 || height == 0 || width > max_sheet_side || height > max_sheet_side)
        return "the picture is " + size_name(width, height) + " pixels; a sheet is at least 1 x 1 and at most " +
               size_name(max_sheet_side, max_sheet_side);
    if (values.size() != std::size_t{width} * height)
        return "the picture holds " + std::to_string(values.size()) + " values, not " + size_name(width, height);
    spng_plte plte{};
    spng_trns trns{};
    set_sprite_palette(plte, trns);
    return encode_indexed(width, height, 8, plte, trns,
                          [&](std::uint32_t y, std::vector<std::uint8_t>& row) {
                              const std::uint8_t* source = values.data() + std::size_t{width} * y;
                              std::copy(source, source + width, row.begin());
                          },
                          png);
}
