#include "art/bitmap.hpp"

#include "display/dbuff.hpp"
#include "art/words.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::size_t pixel_count(std::uint8_t width, std::uint8_t height)
{
    return static_cast<std::size_t>(width) * height;
}

// The longest sprite file there is; anything after its pixels is never read.
constexpr std::size_t max_sprite_file_size = 2 + 255 * 255;

constexpr const char* out_of_memory = "out of memory";

// Draws a face of `columns` x `rows` bytes, row-major, skipping transparent bytes.
void draw_face(std::uint32_t x, std::uint32_t y, const std::uint8_t* face, std::uint32_t columns,
               std::uint32_t rows)
{
    for (std::uint32_t row = 0; row < rows; ++row)
        for (std::uint32_t column = 0; column < columns; ++column) {
            const std::uint8_t value = face[row * columns + column];
            if (value != transparent)
                put_pixel(x + column, y + row, value);
        }
}

} // namespace

int allocate_bitmap(std::uint8_t width, std::uint8_t height, bitmap& retval)
{
    const std::size_t size = pixel_count(width, height);
    retval.bitmap = static_cast<std::uint8_t*>(std::malloc(size));
    retval.height = height;
    retval.width = width;
    // malloc(0) may give a null pointer; an empty sprite needs no memory, so that is no failure.
    return retval.bitmap == nullptr && size != 0 ? 1 : 0;
}

void fill_bitmap(bitmap& bitmap, std::uint8_t color)
{
    const std::size_t size = pixel_count(bitmap.width, bitmap.height);
    if (size != 0)
        std::memset(bitmap.bitmap, color, size);
}

int store_pixel(bitmap& bitmapstruct, std::uint8_t x, std::uint8_t y, std::uint8_t color)
{
    if (y >= bitmapstruct.height || x >= bitmapstruct.width)
        return 1;
    bitmapstruct.bitmap[pixel_count(bitmapstruct.width, y) + x] = color;
    return 0;
}

int recall_pixel(const bitmap& bitmapstruct, std::uint8_t x, std::uint8_t y)
{
    return bitmapstruct.bitmap[pixel_count(bitmapstruct.width, y) + x];
}

void draw_bitmap(std::uint32_t x, std::uint32_t y, const bitmap& bitmap)
{
    draw_face(x, y, bitmap.bitmap, bitmap.width, bitmap.height);
}

int load_bitmap(const char* filename, bitmap& bitmap, std::uint8_t& width, std::uint8_t& height)
{
    std::FILE* file = std::fopen(filename, "rb");
    if (!file)
        return 1;
    std::vector<std::uint8_t> bytes(max_sprite_file_size);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    // A short file leaves the caller with nothing to edit, so the process ends here.
    if (const std::string problem = read_sprite_file(bytes, bitmap); !problem.empty()) {
        std::puts(problem == out_of_memory ? "Out of memory!" : "Error while loading");
        std::exit(1);
    }
    width = bitmap.width;
    height = bitmap.height;
    return 0;
}

std::string read_sprite_file(std::span<const std::uint8_t> file, bitmap& sprite)
{
    if (file.size() < 2)
        return "the file is " + counted(file.size(), "byte") + " long; a sprite file has at least 2";
    const std::uint8_t width = file[0];
    const std::uint8_t height = file[1];
    const std::size_t size = pixel_count(width, height);
    if (file.size() - 2 < size)
        return "a " + std::to_string(width) + " x " + std::to_string(height) + " sprite needs " +
               std::to_string(2 + size) + " bytes; the file has " + std::to_string(file.size());
    if (allocate_bitmap(width, height, sprite) != 0)
        return out_of_memory;
    std::copy_n(file.begin() + 2, size, sprite.bitmap);
    return "";
}

std::vector<std::uint8_t> write_sprite_file(const bitmap& sprite)
{
    const std::size_t size = pixel_count(sprite.width, sprite.height);
    std::vector<std::uint8_t> file(2 + size);
    file[0] = sprite.width;
    file[1] = sprite.height;
    if (size != 0)
        std::copy_n(sprite.bitmap, size, file.begin() + 2);
    return file;
}

void draw_mob_side(std::uint32_t x, std::uint32_t y, const entitybitmap& bitmap, std::uint8_t side)
{
    // The side numbers go round the object (front, left, right, back) and then top and
    // bottom, which is not the order of the record's members.
    switch (side) {
    case 0:
        draw_face(x, y, bitmap.front, bitmap.width, bitmap.height);
        break;
    case 1:
        draw_face(x, y, bitmap.left, bitmap.depth, bitmap.height);
        break;
    case 2:
        draw_face(x, y, bitmap.right, bitmap.depth, bitmap.height);
        break;
    case 3:
        draw_face(x, y, bitmap.back, bitmap.width, bitmap.height);
        break;
    case 4:
        draw_face(x, y, bitmap.top, bitmap.width, bitmap.depth);
        break;
    default:
        draw_face(x, y, bitmap.bottom, bitmap.width, bitmap.depth);
        break;
    }
}
