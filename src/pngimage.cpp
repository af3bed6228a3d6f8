#include "pngimage.hpp"

#include "bitmap.hpp"
#include "palette.hpp"

#include <spng.h>

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

// A decoded image. Indexed images keep their raw indices, because the library would
// quietly turn an index past the end of the palette into some colour.
struct image {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool indexed = false;
    std::uint32_t palette_size = 0;
    std::array<colour, 256> palette{};
    std::vector<std::uint8_t> samples; // one index per pixel, or red, green, blue, alpha

    std::uint8_t index(std::uint32_t x, std::uint32_t y) const { return samples[std::size_t{width} * y + x]; }
    colour at(std::uint32_t x, std::uint32_t y) const
    {
        if (indexed)
            return palette[index(x, y)];
        const std::uint8_t* p = &samples[(std::size_t{width} * y + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
};

std::string pixel_name(std::uint32_t x, std::uint32_t y)
{
    return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

std::string size_name(std::uint32_t width, std::uint32_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

std::string library_error(int code)
{
    return std::string("not a readable PNG (") + spng_strerror(code) + ")";
}

std::string check_scale(std::uint32_t scale)
{
    if (scale < 1 || scale > max_scale)
        return "the scale " + std::to_string(scale) + " is not between 1 and " + std::to_string(max_scale);
    return "";
}

// Checks the scale and reads the signature and header only, so that the caller can
// refuse the size before any pixel memory is taken.
std::string open_png(std::span<const std::uint8_t> png, std::uint32_t scale, context& ctx, spng_ihdr& header)
{
    if (std::string error = check_scale(scale); !error.empty())
        return error;
    ctx.reset(spng_ctx_new(0));
    if (!ctx)
        return "out of memory";
    int error = spng_set_chunk_limits(ctx.get(), chunk_size_limit, chunk_cache_limit);
    if (!error)
        error = spng_set_png_buffer(ctx.get(), png.data(), png.size());
    if (!error)
        error = spng_get_ihdr(ctx.get(), &header);
    return error ? library_error(error) : "";
}

std::string check_sheet_size(const spng_ihdr& header)
{
    if (header.width > max_sheet_side || header.height > max_sheet_side)
        return "the image is " + size_name(header.width, header.height) + " pixels; a sheet is at most " +
               size_name(max_sheet_side, max_sheet_side);
    return "";
}

std::string decode_png(spng_ctx* ctx, const spng_ihdr& header, image& result)
{
    result.width = header.width;
    result.height = header.height;
    result.indexed = header.color_type == SPNG_COLOR_TYPE_INDEXED;
    const int format = result.indexed ? SPNG_FMT_PNG : SPNG_FMT_RGBA8;
    std::size_t size = 0;
    int error = spng_decoded_image_size(ctx, format, &size);
    if (error)
        return library_error(error);
    std::vector<std::uint8_t> samples(size);
    // A tRNS colour key makes its grey or RGB pixels transparent here.
    error = spng_decode_image(ctx, samples.data(), size, format, result.indexed ? 0 : SPNG_DECODE_TRNS);
    if (error)
        return library_error(error);
    if (!result.indexed) {
        result.samples = std::move(samples);
        return "";
    }

    spng_plte plte{};
    error = spng_get_plte(ctx, &plte);
    if (error)
        return library_error(error);
    spng_trns trns{};
    if (spng_get_trns(ctx, &trns) != 0)
        trns.n_type3_entries = 0;
    result.palette_size = plte.n_entries;
    for (std::uint32_t i = 0; i < plte.n_entries && i < 256; ++i) {
        const spng_plte_entry& entry = plte.entries[i];
        const std::uint8_t alpha = i < trns.n_type3_entries ? trns.type3_alpha[i] : 255;
        result.palette[i] = {entry.red, entry.green, entry.blue, alpha};
    }

    // Indices narrower than a byte come packed, the leftmost pixel in the high bits.
    const std::uint32_t depth = header.bit_depth;
    const std::size_t stride = (std::size_t{header.width} * depth + 7) / 8;
    const std::uint32_t mask = (1u << depth) - 1;
    result.samples.resize(std::size_t{header.width} * header.height);
    for (std::uint32_t y = 0; y < header.height; ++y)
        for (std::uint32_t x = 0; x < header.width; ++x) {
            const std::size_t bit = std::size_t{x} * depth;
            const std::uint32_t index = (samples[stride * y + bit / 8] >> (8 - depth - bit % 8)) & mask;
            if (index >= result.palette_size)
                return pixel_name(x, y) + " is palette index " + std::to_string(index) + ", past the end of the " +
                       std::to_string(result.palette_size) + "-entry palette";
            result.samples[std::size_t{header.width} * y + x] = static_cast<std::uint8_t>(index);
        }
    return "";
}

// Turns every scale x scale block of `area` into one value through
// value_of(x, y, value), which may refuse a pixel with a message. Every pixel of a
// block must give the same value: what counts as one colour is what the sprite or
// font can tell apart. The caller keeps the area inside the image.
template <typename ValueOf>
std::string convert_blocks(image_area area, std::uint32_t scale, ValueOf value_of, std::vector<std::uint8_t>& values)
{
    const std::uint32_t columns = area.width / scale;
    const std::uint32_t rows = area.height / scale;
    values.assign(std::size_t{columns} * rows, 0);
    for (std::uint32_t row = 0; row < rows; ++row)
        for (std::uint32_t column = 0; column < columns; ++column) {
            const std::uint32_t left = area.x + column * scale;
            const std::uint32_t top = area.y + row * scale;
            std::uint8_t first = 0;
            for (std::uint32_t y = top; y < top + scale; ++y)
                for (std::uint32_t x = left; x < left + scale; ++x) {
                    std::uint8_t value = 0;
                    if (std::string error = value_of(x, y, value); !error.empty())
                        return error;
                    if (x == left && y == top)
                        first = value;
                    else if (value != first)
                        return "the " + size_name(scale, scale) + " block at (" + std::to_string(left) + ", " +
                               std::to_string(top) + ") is not of one colour";
                }
            values[std::size_t{columns} * row + column] = first;
        }
    return "";
}

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
bool has_sprite_palette(const image& source)
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

// The sprite values of `area`, a whole number of scale x scale blocks inside `source`.
// An image with the sprite palette is read index for index, any other by colour.
std::string convert_sprite_area(const image& source, image_area area, std::uint32_t scale, bool nearest,
                                std::vector<std::uint8_t>& values)
{
    const bool by_index = has_sprite_palette(source);
    return convert_blocks(area, scale, [&](std::uint32_t x, std::uint32_t y, std::uint8_t& value) {
        if (by_index) {
            value = source.index(x, y);
            return std::string();
        }
        const colour c = source.at(x, y);
        if (c.alpha < 128) {
            value = transparent;
            return std::string();
        }
        std::uint32_t distance = 0;
        value = nearest_colour(c, distance);
        if (distance == 0 || nearest)
            return std::string();
        char hex[8];
        std::snprintf(hex, sizeof hex, "#%02X%02X%02X", c.red, c.green, c.blue);
        return pixel_name(x, y) + " is " + hex + ", not one of the 16 colours";
    }, values);
}

// Encodes an indexed image row by row, so that a large scale never holds the whole
// picture; fill_row(y, row) supplies row y. Leaves `png` alone on failure.
template <typename FillRow>
std::string encode_indexed(std::uint32_t width, std::uint32_t height, std::uint8_t depth, const spng_plte& plte,
                           const spng_trns& trns, FillRow fill_row, std::vector<std::uint8_t>& png)
{
    const context ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx)
        return "out of memory";
    spng_ihdr header{};
    header.width = width;
    header.height = height;
    header.bit_depth = depth;
    header.color_type = SPNG_COLOR_TYPE_INDEXED;
    spng_plte plte_copy = plte;
    spng_trns trns_copy = trns;
    int error = spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    if (!error)
        error = spng_set_ihdr(ctx.get(), &header);
    if (!error)
        error = spng_set_plte(ctx.get(), &plte_copy);
    if (!error)
        error = spng_set_trns(ctx.get(), &trns_copy);
    if (!error)
        error = spng_encode_image(ctx.get(), nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE);
    std::vector<std::uint8_t> row((std::size_t{width} * depth + 7) / 8);
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
    context ctx;
    spng_ihdr header{};
    if (std::string error = open_png(png, scale, ctx, header); !error.empty())
        return error;
    const std::uint32_t limit = max_sprite_size * scale;
    if (header.width > limit || header.height > limit)
        return "the image is " + size_name(header.width, header.height) + " pixels; a sprite is at most " +
               size_name(limit, limit) + (scale > 1 ? " at scale " + std::to_string(scale) : "");
    if (header.width % scale != 0 || header.height % scale != 0)
        return "the image is " + size_name(header.width, header.height) + " pixels, not a whole number of " +
               size_name(scale, scale) + " blocks";

    image source;
    if (std::string error = decode_png(ctx.get(), header, source); !error.empty())
        return error;
    std::vector<std::uint8_t> values;
    if (std::string error = convert_sprite_area(source, {0, 0, header.width, header.height}, scale, nearest, values);
        !error.empty())
        return error;

    bitmap result{};
    if (allocate_bitmap(static_cast<std::uint8_t>(header.width / scale), static_cast<std::uint8_t>(header.height / scale),
                        result) != 0) {
        std::free(result.bitmap);
        return "out of memory";
    }
    std::memcpy(result.bitmap, values.data(), values.size());
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
    context ctx;
    spng_ihdr header{};
    if (std::string error = open_png(png, scale, ctx, header); !error.empty())
        return error;
    const std::uint32_t size = sheet_size * scale;
    if (header.width != size || header.height != size)
        return "the image is " + size_name(header.width, header.height) + " pixels; a font sheet is " +
               size_name(size, size) + (scale > 1 ? " at scale " + std::to_string(scale) : "");

    image source;
    if (std::string error = decode_png(ctx.get(), header, source); !error.empty())
        return error;
    std::vector<std::uint8_t> set;
    std::string error = convert_blocks({0, 0, size, size}, scale, [&](std::uint32_t x, std::uint32_t y, std::uint8_t& value) {
        const colour c = source.at(x, y);
        // Rec. 601 luma, the weighting of a television's grey.
        const std::uint32_t luma = (299u * c.red + 587u * c.green + 114u * c.blue) / 1000;
        value = c.alpha >= 128 && ((luma >= 128) != invert);
        return std::string();
    }, set);
    if (!error.empty())
        return error;

    struct font sheet {};
    for (std::uint32_t y = 0; y < sheet_size; ++y)
        for (std::uint32_t x = 0; x < sheet_size; ++x)
            if (set[sheet_size * y + x])
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

std::string read_png_size(std::span<const std::uint8_t> png, std::uint32_t& width, std::uint32_t& height)
{
    context ctx;
    spng_ihdr header{};
    if (std::string error = open_png(png, 1, ctx, header); !error.empty())
        return error;
    if (std::string error = check_sheet_size(header); !error.empty())
        return error;
    width = header.width;
    height = header.height;
    return "";
}

std::string read_png_areas(std::span<const std::uint8_t> png, std::uint32_t scale, bool nearest,
                           std::span<const image_area> areas, std::vector<std::vector<std::uint8_t>>& values)
{
    context ctx;
    spng_ihdr header{};
    if (std::string error = open_png(png, scale, ctx, header); !error.empty())
        return error;
    if (std::string error = check_sheet_size(header); !error.empty())
        return error;
    const std::uint32_t width = header.width;
    const std::uint32_t height = header.height;
    const std::uint32_t limit = max_sprite_size * scale;
    for (const image_area& area : areas) {
        const std::string where = size_name(area.width, area.height) + " frame at (" + std::to_string(area.x) + ", " +
                                  std::to_string(area.y) + ")";
        if (area.width == 0 || area.height == 0 || area.width > width || area.height > height ||
            area.x > width - area.width || area.y > height - area.height)
            return "the " + where + " does not lie inside the " + size_name(width, height) + " image";
        if (area.width > limit || area.height > limit)
            return "the " + where + " is larger than a sprite's " + size_name(limit, limit) +
                   (scale > 1 ? " at scale " + std::to_string(scale) : "");
        if (area.width % scale != 0 || area.height % scale != 0)
            return "the " + where + " is not a whole number of " + size_name(scale, scale) + " blocks";
    }

    image source;
    if (std::string error = decode_png(ctx.get(), header, source); !error.empty())
        return error;
    std::vector<std::vector<std::uint8_t>> result(areas.size());
    for (std::size_t i = 0; i < areas.size(); ++i)
        if (std::string error = convert_sprite_area(source, areas[i], scale, nearest, result[i]); !error.empty())
            return error;
    values = std::move(result);
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
