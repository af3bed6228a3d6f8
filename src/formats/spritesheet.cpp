#include "formats/spritesheet.hpp"

#include "art/bitmap.hpp"
#include "formats/pngimage.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <new>

namespace {

// Sizes are worked out in 64 bits, so that thousands of large frames cannot wrap
// before they are compared with max_sheet_side.
struct frame_size {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

std::vector<frame_size> frame_sizes(std::span<const bitmap> sprites, std::uint32_t scale)
{
    std::vector<frame_size> sizes;
    for (const bitmap& sprite : sprites)
        sizes.push_back({std::uint64_t{sprite.width} * scale, std::uint64_t{sprite.height} * scale});
    return sizes;
}

// The sheet's size for `count` cells of one size, `columns` to a row.
frame_size grid_size(std::size_t count, std::uint64_t columns, frame_size cell, std::uint64_t padding)
{
    const std::uint64_t rows = (count + columns - 1) / columns;
    return {columns * (cell.width + padding) - padding, rows * (cell.height + padding) - padding};
}

// The column count that makes the grid most nearly square: the smallest longer side,
// then the fewest empty cells.
std::uint64_t squarest_columns(std::size_t count, frame_size cell, std::uint64_t padding)
{
    std::uint64_t best = 1;
    std::uint64_t best_side = UINT64_MAX;
    std::uint64_t best_empty = UINT64_MAX;
    for (std::uint64_t columns = 1; columns <= count; ++columns) {
        const frame_size sheet = grid_size(count, columns, cell, padding);
        const std::uint64_t side = std::max(sheet.width, sheet.height);
        const std::uint64_t empty = (count + columns - 1) / columns * columns - count;
        if (side < best_side || (side == best_side && empty < best_empty)) {
            best = columns;
            best_side = side;
            best_empty = empty;
        }
    }
    return best;
}

frame_size place_on_grid(std::span<const frame_size> sizes, std::uint64_t columns, std::uint64_t padding,
                         std::vector<image_area>& places)
{
    const frame_size cell = sizes.front();
    if (columns == 0)
        columns = squarest_columns(sizes.size(), cell, padding);
    for (std::size_t i = 0; i < sizes.size(); ++i)
        places.push_back({static_cast<std::uint32_t>(i % columns * (cell.width + padding)),
                          static_cast<std::uint32_t>(i / columns * (cell.height + padding)),
                          static_cast<std::uint32_t>(cell.width), static_cast<std::uint32_t>(cell.height)});
    return grid_size(sizes.size(), columns, cell, padding);
}

// Shelves of `columns` frames, or with 0 columns as many as fit in `limit` pixels.
frame_size place_on_shelves(std::span<const frame_size> sizes, std::uint64_t columns, std::uint64_t limit,
                            std::uint64_t padding, std::vector<image_area>& places)
{
    frame_size sheet;
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::uint64_t shelf_height = 0;
    std::uint64_t on_shelf = 0;
    for (const frame_size& size : sizes) {
        const bool full = columns ? on_shelf == columns : x + size.width > limit;
        if (on_shelf > 0 && full) {
            y += shelf_height + padding;
            x = 0;
            shelf_height = 0;
            on_shelf = 0;
        }
        places.push_back({static_cast<std::uint32_t>(std::min<std::uint64_t>(x, UINT32_MAX)),
                          static_cast<std::uint32_t>(std::min<std::uint64_t>(y, UINT32_MAX)),
                          static_cast<std::uint32_t>(size.width), static_cast<std::uint32_t>(size.height)});
        sheet.width = std::max(sheet.width, x + size.width);
        sheet.height = std::max(sheet.height, y + size.height);
        shelf_height = std::max(shelf_height, size.height);
        x += size.width + padding;
        ++on_shelf;
    }
    return sheet;
}

// Whether sheet `a` is better than `b`: at most twice as long as wide (graphics cards
// limit a texture's longer side, so long thin sheets fit them badly) before anything
// else, then the smaller area, then the shorter longer side.
bool better_shape(frame_size a, frame_size b)
{
    const auto squat = [](frame_size f) { return std::max(f.width, f.height) <= 2 * std::min(f.width, f.height); };
    if (squat(a) != squat(b))
        return squat(a);
    if (a.width * a.height != b.width * b.height)
        return a.width * a.height < b.width * b.height;
    return std::max(a.width, a.height) < std::max(b.width, b.height);
}

// Tries shelf widths from the widest frame to twice the square root of the frames'
// padded area and keeps the best shape.
frame_size place_on_best_shelves(std::span<const frame_size> sizes, std::uint64_t padding,
                                 std::vector<image_area>& places)
{
    std::uint64_t widest = 0;
    std::uint64_t area = 0;
    for (const frame_size& size : sizes) {
        widest = std::max(widest, size.width);
        area += (size.width + padding) * (size.height + padding);
    }
    const auto side = static_cast<std::uint64_t>(std::ceil(std::sqrt(static_cast<double>(area))));
    const std::uint64_t last = std::max(widest, 2 * side);
    const std::uint64_t step = std::max<std::uint64_t>(1, (last - widest) / 64);
    std::uint64_t best_limit = widest;
    frame_size best{UINT64_MAX / 4, UINT64_MAX / 4};
    for (std::uint64_t limit = widest; limit <= last; limit += step) {
        std::vector<image_area> trial;
        const frame_size sheet = place_on_shelves(sizes, 0, limit, padding, trial);
        if (better_shape(sheet, best)) {
            best = sheet;
            best_limit = limit;
        }
    }
    return place_on_shelves(sizes, 0, best_limit, padding, places);
}

std::string check_pack_options(const pack_options& options, std::size_t count)
{
    if (count == 0)
        return "there are no sprites to pack";
    if (options.scale < 1 || options.scale > max_scale)
        return "the scale " + std::to_string(options.scale) + " is not between 1 and " + std::to_string(max_scale);
    if (options.padding > max_padding)
        return "the padding " + std::to_string(options.padding) + " is over " + std::to_string(max_padding);
    return "";
}

// Copies `sprite`, enlarged `scale` times, into the sheet's values at `place`.
void draw_frame(const bitmap& sprite, std::uint32_t scale, const image_area& place, std::uint32_t sheet_width,
                std::vector<std::uint8_t>& values)
{
    for (std::uint32_t y = 0; y < place.height; ++y) {
        const std::uint8_t* source = sprite.bitmap + std::size_t{sprite.width} * (y / scale);
        std::uint8_t* target = values.data() + std::size_t{sheet_width} * (place.y + y) + place.x;
        for (std::uint32_t x = 0; x < place.width; ++x)
            target[x] = source[x / scale];
    }
}

} // namespace

std::string layout_sheet(std::span<const bitmap> sprites, std::span<const std::string> names,
                         const pack_options& options, atlas& layout)
{
    if (std::string error = check_pack_options(options, sprites.size()); !error.empty())
        return error;
    if (names.size() != sprites.size())
        return "there are " + std::to_string(names.size()) + " names for " + std::to_string(sprites.size()) +
               " sprites";
    for (std::size_t i = 0; i < sprites.size(); ++i)
        if (sprites[i].width == 0 || sprites[i].height == 0)
            return "the sprite \"" + names[i] + "\" is " + size_name(sprites[i].width, sprites[i].height) +
                   " pixels: a frame needs at least one";
    const std::vector<frame_size> sizes = frame_sizes(sprites, options.scale);
    const bool uniform = std::all_of(sizes.begin(), sizes.end(), [&](const frame_size& size) {
        return size.width == sizes.front().width && size.height == sizes.front().height;
    });
    std::vector<image_area> places;
    const frame_size sheet = uniform ? place_on_grid(sizes, options.columns, options.padding, places)
                   : options.columns ? place_on_shelves(sizes, options.columns, 0, options.padding, places)
                                     : place_on_best_shelves(sizes, options.padding, places);
    if (sheet.width > max_sheet_side || sheet.height > max_sheet_side)
        return "the sheet would be " + size_name(sheet.width, sheet.height) + " pixels; a sheet is at most " +
               size_name(max_sheet_side, max_sheet_side);

    atlas result;
    result.width = static_cast<std::uint32_t>(sheet.width);
    result.height = static_cast<std::uint32_t>(sheet.height);
    for (std::size_t i = 0; i < sprites.size(); ++i)
        result.frames.push_back({names[i], places[i]});
    layout = std::move(result);
    return "";
}

std::string pack_sheet(std::span<const bitmap> sprites, std::span<const std::string> names,
                       const pack_options& options, std::vector<std::uint8_t>& png, atlas& layout)
{
    atlas result;
    if (std::string error = layout_sheet(sprites, names, options, result); !error.empty())
        return error;
    try {
        std::vector<std::uint8_t> values(std::size_t{result.width} * result.height, transparent);
        for (std::size_t i = 0; i < sprites.size(); ++i)
            draw_frame(sprites[i], options.scale, result.frames[i].area, result.width, values);
        std::vector<std::uint8_t> written;
        if (std::string error = write_png_picture(result.width, result.height, values, written); !error.empty())
            return error;
        png = std::move(written);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
    layout = std::move(result);
    return "";
}

std::string grid_frames(std::uint32_t width, std::uint32_t height, const grid_options& grid,
                        std::vector<atlas_frame>& frames)
{
    if (grid.cell_width == 0 || grid.cell_height == 0)
        return "a cell is at least 1 x 1 pixels";
    const std::uint64_t pitch_x = std::uint64_t{grid.cell_width} + grid.padding;
    const std::uint64_t pitch_y = std::uint64_t{grid.cell_height} + grid.padding;
    const std::uint64_t reach_x = std::uint64_t{grid.offset_x} + grid.cell_width;
    const std::uint64_t reach_y = std::uint64_t{grid.offset_y} + grid.cell_height;
    if (reach_x > width || reach_y > height)
        return "no " + size_name(grid.cell_width, grid.cell_height) + " cell at offset (" +
               std::to_string(grid.offset_x) + ", " + std::to_string(grid.offset_y) + ") fits in the " +
               size_name(width, height) + " image";
    const std::uint64_t columns = (width - reach_x) / pitch_x + 1;
    const std::uint64_t rows = (height - reach_y) / pitch_y + 1;
    if (columns * rows > max_atlas_frames)
        return "the grid has " + std::to_string(columns * rows) + " cells; at most " +
               std::to_string(max_atlas_frames) + " can be cut";
    std::vector<atlas_frame> result;
    for (std::uint64_t row = 0; row < rows; ++row)
        for (std::uint64_t column = 0; column < columns; ++column)
            result.push_back({std::to_string(row * columns + column),
                              {static_cast<std::uint32_t>(grid.offset_x + column * pitch_x),
                               static_cast<std::uint32_t>(grid.offset_y + row * pitch_y), grid.cell_width,
                               grid.cell_height}});
    frames = std::move(result);
    return "";
}

std::string cut_sheet_each(std::span<const std::uint8_t> png, std::span<const atlas_frame> frames,
                           std::uint32_t scale, bool nearest, bool skip_empty, const sprite_taker& take)
{
    try {
        std::vector<image_area> areas;
        for (const atlas_frame& frame : frames)
            areas.push_back(frame.area);
        const auto cut = [&](std::size_t i, std::vector<std::uint8_t>& values) {
            if (skip_empty && std::all_of(values.begin(), values.end(),
                                          [](std::uint8_t value) { return value == transparent; }))
                return std::string();
            const bitmap sprite{static_cast<std::uint8_t>(areas[i].height / scale),
                                static_cast<std::uint8_t>(areas[i].width / scale), values.data()};
            cut_sprite piece{i, write_sprite_file(sprite)};
            return take(piece);
        };
        return read_png_areas_each(png, scale, nearest, areas, cut);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
}

std::string cut_sheet(std::span<const std::uint8_t> png, std::span<const atlas_frame> frames, std::uint32_t scale,
                      bool nearest, bool skip_empty, std::vector<cut_sprite>& sprites)
{
    std::vector<cut_sprite> result;
    const auto keep = [&](cut_sprite& piece) {
        result.push_back(std::move(piece));
        return std::string();
    };
    if (std::string problem = cut_sheet_each(png, frames, scale, nearest, skip_empty, keep); !problem.empty())
        return problem;
    std::sort(result.begin(), result.end(),
              [](const cut_sprite& a, const cut_sprite& b) { return a.frame < b.frame; });
    sprites = std::move(result);
    return "";
}
