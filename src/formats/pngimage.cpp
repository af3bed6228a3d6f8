#include "formats/pngimage.hpp"

#include "art/bitmap.hpp"
#include "formats/colours.hpp"
#include "formats/pngfile.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

constexpr std::uint32_t sheet_size = 128;
constexpr std::uint32_t max_sprite_size = 255;

// The sprite palette entry of value v: entry 255 is transparent black.
png_colour sprite_colour(std::uint32_t value)
{
    if (value == transparent)
        return {};
    const std::uint32_t word = picture_colours[value & 15];
    return {static_cast<std::uint8_t>(word >> 24), static_cast<std::uint8_t>(word >> 16),
            static_cast<std::uint8_t>(word >> 8), 255};
}

// The palette every sprite PNG carries: entry v is the colour of v & 15, entry 255
// transparent black.
constexpr std::size_t sprite_palette_size = 256;
std::array<png_colour, sprite_palette_size> sprite_palette()
{
    std::array<png_colour, sprite_palette_size> palette{};
    for (std::uint32_t v = 0; v < sprite_palette_size; ++v)
        palette[v] = sprite_colour(v);
    return palette;
}

// The glyph whose cell holds sheet pixel (x, y); the pixel is bit x % 8 of its row y % 8.
std::uint32_t glyph_at(std::uint32_t x, std::uint32_t y)
{
    return (y / 8) * 16 + x / 8;
}

std::string pixel_name(std::uint32_t x, std::uint32_t y)
{
    return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

std::string check_scale(std::uint32_t scale)
{
    if (scale < 1 || scale > max_scale)
        return "the scale " + std::to_string(scale) + " is not between 1 and " + std::to_string(max_scale);
    return "";
}

// Checks the scale, then opens the file and reads its header.
std::string open_at_scale(std::span<const std::uint8_t> png, std::uint32_t scale, png_reader& reader)
{
    if (std::string error = check_scale(scale); !error.empty())
        return error;
    return open_png(png, reader);
}

// Whether the image carries the palette the sprite writer writes, so that its indices
// are the sprite's bytes. Entry 255 only has to be transparent: its colour is unseen.
bool has_sprite_palette(const png_reader& reader)
{
    if (!reader.indexed || reader.palette_size != sprite_palette_size)
        return false;
    for (std::uint32_t v = 0; v < sprite_palette_size; ++v) {
        const png_colour want = sprite_colour(v);
        const png_colour have = reader.palette[v];
        if (have.alpha != want.alpha)
            return false;
        if (v != transparent && (have.red != want.red || have.green != want.green || have.blue != want.blue))
            return false;
    }
    return true;
}

// How a pixel becomes a value: a sprite value by its index in an image with the sprite
// palette, else by its colour (transparent below alpha 128, one of the 16 exactly or
// with `nearest` the nearest of them); or a glyph bit, set for an opaque light pixel or
// with `invert` an opaque dark one. An enlarged picture repeats each colour many times
// over: the last one is remembered.
struct pixel_rule {
    enum class kind { sprite_index, sprite_colour, glyph_bit };
    kind how = kind::sprite_colour;
    bool nearest = false;
    bool invert = false;
    png_colour last{};
    std::uint8_t last_value = transparent;

    // Pixel by pixel work answers in bools: it runs for every pixel of a picture that
    // may hold hundreds of millions.
    bool value_at(const png_reader& reader, const png_scanline& line, std::uint32_t k, std::uint8_t& value,
                  std::string& refusal)
    {
        if (how == kind::sprite_index) {
            value = static_cast<std::uint8_t>(index_at(reader, line, k));
            return true;
        }
        const png_colour c = colour_at(reader, line, k);
        if (how == kind::glyph_bit) {
            // Rec. 601 luma, the weighting of a television's grey.
            const std::uint32_t luma = (299u * c.red + 587u * c.green + 114u * c.blue) / 1000;
            value = c.alpha >= 128 && ((luma >= 128) != invert);
            return true;
        }
        if (c.alpha < 128) {
            value = transparent;
            return true;
        }
        if (c.red != last.red || c.green != last.green || c.blue != last.blue || last.alpha < 128) {
            std::uint32_t distance = 0;
            const std::uint8_t found = picture_value_of(c.red, c.green, c.blue, distance);
            if (distance != 0 && !nearest) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "#%02X%02X%02X", c.red, c.green, c.blue);
                refusal = pixel_name(line.left + k * line.step, line.y) + " is " + hex + ", not one of the 16 colours";
                return false;
            }
            last = c;
            last_value = found;
        }
        value = last_value;
        return true;
    }
};

// The first pixel of `line` from `k` on whose index lies past the palette, or
// line.count; the library would quietly turn such an index into some colour.
std::uint32_t past_palette(const png_reader& reader, const png_scanline& line, std::uint32_t k)
{
    if (!reader.indexed || reader.palette_size >= (1u << reader.bit_depth))
        return line.count;
    for (; k < line.count; ++k)
        if (index_at(reader, line, k) >= reader.palette_size)
            return k;
    return line.count;
}

std::string past_palette_error(const png_reader& reader, const png_scanline& line, std::uint32_t k)
{
    return pixel_name(line.left + k * line.step, line.y) + " is palette index " +
           std::to_string(index_at(reader, line, k)) + ", past the end of the " +
           std::to_string(reader.palette_size) + "-entry palette";
}

// The value of every scale x scale block of an area. Every pixel of a block must give
// the same value: what counts as one colour is what the sprite or font can tell apart.
// Rows of a plain image come whole and in order, and are compared as runs of bytes;
// the passes of an interlaced one come pixel by pixel, a block's pixels far apart.
struct block_values {
    // The values are allocated at the first pixel, so that areas not reached yet take
    // no memory.
    block_values(std::uint32_t block_scale, std::uint32_t width, std::uint32_t height)
        : scale(block_scale), columns(width / block_scale), count(std::size_t{columns} * (height / block_scale))
    {
    }

    void start()
    {
        if (values.empty())
            values.resize(count);
    }

    std::string not_one_colour(std::uint32_t x, std::uint32_t y) const
    {
        return "the " + size_name(scale, scale) + " block at (" + std::to_string(x / scale * scale) + ", " +
               std::to_string(y / scale * scale) + ") is not of one colour";
    }

    bool put(std::uint32_t x, std::uint32_t y, std::uint8_t value, std::string& error)
    {
        start();
        if (seen.empty())
            seen.resize(values.size());
        const std::size_t at = std::size_t{columns} * (y / scale) + x / scale;
        if (!seen[at]) {
            seen[at] = 1;
            values[at] = value;
        } else if (values[at] != value) {
            error = not_one_colour(x, y);
            return false;
        }
        return true;
    }

    // Takes the values of columns 0 to length - 1 of row y, the rows coming in order;
    // returns the first column whose value its block does not share, or `length`.
    std::uint32_t put_row(std::uint32_t y, const std::uint8_t* row, std::uint32_t length)
    {
        start();
        if (y % scale != 0) { // every later row of a block must repeat its first
            if (std::memcmp(row, first_row.data(), length) == 0)
                return length;
            return static_cast<std::uint32_t>(std::mismatch(row, row + length, first_row.begin()).first - row);
        }
        for (std::uint32_t x = 0; x < length; x += scale) {
            const std::uint8_t* run = row + x;
            const std::uint32_t run_length = std::min(scale, length - x);
            // A run is of one value when it equals itself shifted by one.
            if (run_length > 1 && std::memcmp(run, run + 1, run_length - 1) != 0)
                return x + static_cast<std::uint32_t>(std::find_if(run, run + run_length,
                                                                   [&](std::uint8_t v) { return v != run[0]; }) -
                                                      run);
            values[std::size_t{columns} * (y / scale) + x / scale] = run[0];
        }
        first_row.assign(row, row + length);
        return length;
    }

    std::uint32_t scale;
    std::uint32_t columns;
    std::size_t count; // blocks
    std::vector<std::uint8_t> values;
    std::vector<std::uint8_t> seen;      // pixel by pixel: whether a block has its value
    std::vector<std::uint8_t> first_row; // whole rows: the first row of the current blocks
};

bool inside(const image_area& area, std::uint32_t x, std::uint32_t y)
{
    return x >= area.x && x - area.x < area.width && y >= area.y && y - area.y < area.height;
}

// Reads areas of an image into their blocks, after start_decoding. A scanline is
// looked through only where an area crosses it; an index past the palette is refused
// anywhere. The first fault in the image's order is the one reported, as if every
// pixel were taken in turn and handed to each area that holds it.
struct area_reader {
    png_reader& reader;
    std::span<const image_area> areas;
    pixel_rule& rule;
    std::vector<block_values>& blocks;
    std::vector<std::size_t> crossing{};
    std::vector<std::uint8_t> values{};

    void find_crossing(std::uint32_t y)
    {
        crossing.clear();
        for (std::size_t i = 0; i < areas.size(); ++i)
            if (y >= areas[i].y && y - areas[i].y < areas[i].height)
                crossing.push_back(i);
    }

    std::string pixel_by_pixel(const png_scanline& line)
    {
        find_crossing(line.y);
        const std::uint32_t bad_index = past_palette(reader, line, 0);
        std::string refusal;
        for (std::uint32_t k = 0; k < line.count; ++k) {
            if (k == bad_index)
                return past_palette_error(reader, line, k);
            const std::uint32_t x = line.left + k * line.step;
            for (const std::size_t i : crossing) {
                const image_area& area = areas[i];
                std::uint8_t value = 0;
                if (inside(area, x, line.y) && (!rule.value_at(reader, line, k, value, refusal) ||
                                                !blocks[i].put(x - area.x, line.y - area.y, value, refusal)))
                    return refusal;
            }
        }
        return "";
    }

    // The values of the pixels inside the crossing areas up to `end`, which comes down
    // to the first pixel refused; its refusal in `refusal`.
    const std::uint8_t* row_values(const png_scanline& line, std::uint32_t& end, std::string& refusal)
    {
        if (rule.how == pixel_rule::kind::sprite_index && reader.bit_depth == 8)
            return line.bytes;
        values.resize(line.count);
        for (const std::size_t i : crossing)
            for (std::uint32_t x = areas[i].x; x < std::min(areas[i].x + areas[i].width, end); ++x)
                if (!rule.value_at(reader, line, x, values[x], refusal))
                    end = x;
        return values.data();
    }

    std::string whole_row(const png_scanline& line)
    {
        find_crossing(line.y);
        std::uint32_t end = past_palette(reader, line, 0);
        std::string refusal = end < line.count ? past_palette_error(reader, line, end) : "";
        const std::uint8_t* row = row_values(line, end, refusal);
        std::uint32_t first_bad = end;
        std::size_t bad_area = 0;
        for (const std::size_t i : crossing) {
            const image_area& area = areas[i];
            if (area.x >= first_bad)
                continue;
            const std::uint32_t length = std::min(area.x + area.width, first_bad) - area.x;
            const std::uint32_t at = blocks[i].put_row(line.y - area.y, row + area.x, length);
            if (at < length) {
                first_bad = area.x + at;
                bad_area = i;
            }
        }
        if (first_bad < end)
            return blocks[bad_area].not_one_colour(first_bad - areas[bad_area].x, line.y - areas[bad_area].y);
        return refusal;
    }
};

// Hands area i's values to `take` and frees its blocks.
std::string hand_on(const area_taker& take, std::size_t i, std::vector<block_values>& blocks)
{
    blocks[i].start();
    std::string problem = take(i, blocks[i].values);
    blocks[i].values = std::vector<std::uint8_t>();
    blocks[i].seen = std::vector<std::uint8_t>();
    blocks[i].first_row = std::vector<std::uint8_t>();
    return problem;
}

// Reads `areas` of an opened image by `rule`, each into its blocks; with `take`, each
// area is handed on as soon as its last row is read (an interlaced image's at the end).
std::string read_areas(png_reader& reader, std::uint32_t scale, std::span<const image_area> areas, pixel_rule rule,
                       std::vector<block_values>& blocks, const area_taker* take = nullptr)
{
    if (std::string error = start_decoding(reader); !error.empty())
        return error;
    if (rule.how == pixel_rule::kind::sprite_colour && has_sprite_palette(reader))
        rule.how = pixel_rule::kind::sprite_index;
    blocks.clear();
    blocks.reserve(areas.size());
    for (const image_area& area : areas)
        blocks.emplace_back(scale, area.width, area.height);
    area_reader scan{reader, areas, rule, blocks};
    std::string problem = read_scanlines(reader, [&](const png_scanline& line) {
        if (reader.interlaced)
            return scan.pixel_by_pixel(line);
        std::string fault = scan.whole_row(line);
        for (std::size_t k = 0; take && fault.empty() && k < scan.crossing.size(); ++k)
            if (const std::size_t i = scan.crossing[k]; areas[i].y + areas[i].height - 1 == line.y)
                fault = hand_on(*take, i, blocks);
        return fault;
    });
    for (std::size_t i = 0; take && reader.interlaced && problem.empty() && i < areas.size(); ++i)
        problem = hand_on(*take, i, blocks);
    return problem;
}

std::string check_sheet_size(const png_reader& reader)
{
    if (reader.width > max_sheet_side || reader.height > max_sheet_side)
        return "the image is " + size_name(reader.width, reader.height) + " pixels; a sheet is at most " +
               size_name(max_sheet_side, max_sheet_side);
    return "";
}

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

} // namespace

std::string size_name(std::uint64_t width, std::uint64_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

std::string read_png_sprite(std::span<const std::uint8_t> png, std::uint32_t scale, bool nearest, bitmap& sprite)
{
    png_reader reader;
    if (std::string error = open_at_scale(png, scale, reader); !error.empty())
        return error;
    const std::uint32_t limit = max_sprite_size * scale;
    if (reader.width > limit || reader.height > limit)
        return "the image is " + size_name(reader.width, reader.height) + " pixels; a sprite is at most " +
               size_name(limit, limit) + (scale > 1 ? " at scale " + std::to_string(scale) : "");
    if (reader.width % scale != 0 || reader.height % scale != 0)
        return "the image is " + size_name(reader.width, reader.height) + " pixels, not a whole number of " +
               size_name(scale, scale) + " blocks";

    const std::array<image_area, 1> whole = {image_area{0, 0, reader.width, reader.height}};
    std::vector<block_values> blocks;
    pixel_rule rule{.nearest = nearest};
    if (std::string error = read_areas(reader, scale, whole, rule, blocks); !error.empty())
        return error;
    bitmap result{};
    if (allocate_bitmap(static_cast<std::uint8_t>(reader.width / scale), static_cast<std::uint8_t>(reader.height / scale),
                        result) != 0) {
        std::free(result.bitmap);
        return "out of memory";
    }
    std::memcpy(result.bitmap, blocks[0].values.data(), blocks[0].values.size());
    sprite = result;
    return "";
}

std::string write_png_sprite(const bitmap& sprite, std::uint32_t scale, std::vector<std::uint8_t>& png)
{
    if (std::string error = check_scale(scale); !error.empty())
        return error;
    if (sprite.width == 0 || sprite.height == 0)
        return "the sprite is " + size_name(sprite.width, sprite.height) + " pixels: a PNG needs at least one";
    const auto palette = sprite_palette();
    const std::uint32_t width = sprite.width * scale;
    return encode_png({width, sprite.height * scale, 8, palette},
                      [&](std::uint32_t y, std::vector<std::uint8_t>& row) {
                          const std::uint8_t* source = sprite.bitmap + std::size_t{sprite.width} * (y / scale);
                          for (std::uint32_t x = 0; x < width; ++x)
                              row[x] = source[x / scale];
                      },
                      png);
}

std::string read_png_sheet(std::span<const std::uint8_t> png, std::uint32_t scale, bool invert, struct font& result)
{
    png_reader reader;
    if (std::string error = open_at_scale(png, scale, reader); !error.empty())
        return error;
    const std::uint32_t size = sheet_size * scale;
    if (reader.width != size || reader.height != size)
        return "the image is " + size_name(reader.width, reader.height) + " pixels; a font sheet is " +
               size_name(size, size) + (scale > 1 ? " at scale " + std::to_string(scale) : "");

    const std::array<image_area, 1> whole = {image_area{0, 0, size, size}};
    std::vector<block_values> blocks;
    if (std::string error = read_areas(reader, scale, whole, {.how = pixel_rule::kind::glyph_bit, .invert = invert},
                                       blocks);
        !error.empty())
        return error;
    struct font sheet {};
    for (std::uint32_t y = 0; y < sheet_size; ++y)
        for (std::uint32_t x = 0; x < sheet_size; ++x)
            if (blocks[0].values[sheet_size * y + x])
                sheet.chr[glyph_at(x, y)].bitmap[y % 8] |= static_cast<std::uint8_t>(1u << (x % 8));
    result = sheet;
    return "";
}

std::string write_png_sheet(const struct font& source, std::uint32_t scale, std::vector<std::uint8_t>& png)
{
    if (std::string error = check_scale(scale); !error.empty())
        return error;
    // One bit per pixel: index 0 transparent black, index 1 opaque colour 15. A 1-bit PNG
    // row keeps its leftmost pixel in the high bit, so each glyph row is mirrored.
    const std::array<png_colour, 2> palette = {png_colour{}, sprite_colour(15)};
    const std::uint32_t size = sheet_size * scale;
    return encode_png({size, size, 1, palette},
                      [&](std::uint32_t y, std::vector<std::uint8_t>& row) {
                          const std::uint32_t sheet_y = y / scale;
                          std::array<std::uint8_t, sheet_size / 8> packed{};
                          for (std::uint32_t cell = 0; cell < packed.size(); ++cell)
                              packed[cell] = mirror_row(source.chr[glyph_at(cell * 8, sheet_y)].bitmap[sheet_y % 8]);
                          std::fill(row.begin(), row.end(), 0);
                          for (std::uint32_t x = 0; x < size; ++x) {
                              const std::uint32_t sheet_x = x / scale;
                              if (packed[sheet_x / 8] & (0x80u >> (sheet_x % 8)))
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
    const png_colour ink = sprite_colour(15);
    const std::array<std::uint8_t, 4> set_pixel = {ink.red, ink.green, ink.blue, 255};
    return encode_png({size, size, 8, {}},
                      [&](std::uint32_t y, std::vector<std::uint8_t>& row) {
                          for (std::uint32_t x = 0; x < size; ++x) {
                              const std::uint32_t sheet_x = x / scale;
                              const std::uint32_t sheet_y = y / scale;
                              const bool set = source.chr[glyph_at(sheet_x, sheet_y)].bitmap[sheet_y % 8] &
                                               (1u << (sheet_x % 8));
                              if (set)
                                  std::copy(set_pixel.begin(), set_pixel.end(), row.begin() + 4 * x);
                              else
                                  std::fill_n(row.begin() + 4 * x, 4, 0);
                          }
                      },
                      png);
}

std::string read_png_size(std::span<const std::uint8_t> png, std::uint32_t& width, std::uint32_t& height)
{
    png_reader reader;
    if (std::string error = open_png(png, reader); !error.empty())
        return error;
    if (std::string error = check_sheet_size(reader); !error.empty())
        return error;
    width = reader.width;
    height = reader.height;
    return "";
}

std::string read_png_areas_each(std::span<const std::uint8_t> png, std::uint32_t scale, bool nearest,
                                std::span<const image_area> areas, const area_taker& take)
{
    png_reader reader;
    if (std::string error = open_at_scale(png, scale, reader); !error.empty())
        return error;
    if (std::string error = check_sheet_size(reader); !error.empty())
        return error;
    for (const image_area& area : areas)
        if (std::string error = check_area(area, reader.width, reader.height, scale); !error.empty())
            return error;
    std::vector<block_values> blocks;
    return read_areas(reader, scale, areas, {.nearest = nearest}, blocks, &take);
}

std::string read_png_areas(std::span<const std::uint8_t> png, std::uint32_t scale, bool nearest,
                           std::span<const image_area> areas, std::vector<std::vector<std::uint8_t>>& values)
{
    std::vector<std::vector<std::uint8_t>> read(areas.size());
    const auto keep = [&](std::size_t i, std::vector<std::uint8_t>& area) {
        read[i] = std::move(area);
        return std::string();
    };
    const std::string problem = read_png_areas_each(png, scale, nearest, areas, keep);
    if (problem.empty())
        values = std::move(read);
    return problem;
}

std::string write_png_picture(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> values,
                              std::vector<std::uint8_t>& png)
{
    if (width == 0 || height == 0 || width > max_sheet_side || height > max_sheet_side)
        return "the picture is " + size_name(width, height) + " pixels; a sheet is at least 1 x 1 and at most " +
               size_name(max_sheet_side, max_sheet_side);
    if (values.size() != std::size_t{width} * height)
        return "the picture holds " + std::to_string(values.size()) + " values, not " + size_name(width, height);
    const auto palette = sprite_palette();
    return encode_png({width, height, 8, palette},
                      [&](std::uint32_t y, std::vector<std::uint8_t>& row) {
                          const std::uint8_t* source = values.data() + std::size_t{width} * y;
                          std::copy(source, source + width, row.begin());
                      },
                      png);
}

std::string write_png_swatch(std::vector<std::uint8_t>& png)
{
    std::array<png_colour, 16> palette{};
    const colour_set colours = editor_colours();
    for (std::size_t v = 0; v < palette.size(); ++v)
        palette[v] = {static_cast<std::uint8_t>(colours[v] >> 24), static_cast<std::uint8_t>(colours[v] >> 16),
                      static_cast<std::uint8_t>(colours[v] >> 8), 255};
    return encode_png({16, 1, 8, palette},
                      [](std::uint32_t, std::vector<std::uint8_t>& row) {
                          for (std::size_t x = 0; x < row.size(); ++x)
                              row[x] = static_cast<std::uint8_t>(x);
                      },
                      png);
}

namespace {

// More distinct colours than a palette picture would hold; counting stops there.
constexpr std::size_t max_swatch_colours = 4096;

// Each opaque colour of a picture and the first pixel, row by row, that has it. An
// interlaced picture's pixels come pass by pass, so a colour may turn up earlier later.
struct first_colours {
    std::map<std::uint32_t, std::uint64_t> first_at;

    std::string take(const png_reader& reader, const png_scanline& line)
    {
        if (const std::uint32_t k = past_palette(reader, line, 0); k < line.count)
            return past_palette_error(reader, line, k);
        for (std::uint32_t k = 0; k < line.count; ++k) {
            const png_colour c = colour_at(reader, line, k);
            if (c.alpha < 128)
                continue;
            const std::uint64_t at = std::uint64_t{reader.width} * line.y + line.left + k * line.step;
            const auto [found, added] = first_at.try_emplace(std::uint32_t{c.red} << 24 | c.green << 16 | c.blue << 8, at);
            found->second = std::min(found->second, at);
            if (added && first_at.size() > max_swatch_colours)
                return "it holds more than " + std::to_string(max_swatch_colours) +
                       " colours; a palette's picture holds its colours alone";
        }
        return "";
    }
};

} // namespace

std::string read_png_colours(std::span<const std::uint8_t> png, colour_set& colours)
{
    png_reader reader;
    if (std::string error = open_png(png, reader); !error.empty())
        return error;
    if (std::string error = check_sheet_size(reader); !error.empty())
        return error;
    if (std::string error = start_decoding(reader); !error.empty())
        return error;
    first_colours seen;
    if (std::string error = read_scanlines(reader, [&](const png_scanline& line) { return seen.take(reader, line); });
        !error.empty())
        return error;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> in_order;
    for (const auto& [colour, at] : seen.first_at)
        in_order.emplace_back(at, colour);
    std::sort(in_order.begin(), in_order.end());
    if (in_order.size() < 16)
        return "it holds " + std::to_string(in_order.size()) + " opaque colours; a palette needs 16";
    for (std::size_t v = 0; v < colours.size(); ++v)
        colours[v] = in_order[v].second;
    return "";
}
