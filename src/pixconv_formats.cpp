#include "pixconv_formats.hpp"

#include "bdffile.hpp"
#include "bitmap.hpp"
#include "cheader.hpp"
#include "gzipdata.hpp"
#include "pngimage.hpp"
#include "psffile.hpp"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

// The modules' own interfaces, fitted to the table's four function types.

std::string read_spr(std::span<const std::uint8_t> data, const settings&, bitmap& sprite, std::string&)
{
    return read_sprite_file(data, sprite);
}

std::string write_spr(const bitmap& sprite, const settings&, written& out)
{
    out.bytes = write_sprite_file(sprite);
    return "";
}

std::string read_fnt(std::span<const std::uint8_t> data, const settings&, struct font& result, std::string&)
{
    return read_font_file(data, result);
}

std::string write_fnt(const struct font& source, const settings&, written& out)
{
    out.bytes = write_font_file(source);
    return "";
}

std::string read_png(std::span<const std::uint8_t> data, const settings& how, bitmap& sprite, std::string&)
{
    return read_png_sprite(data, how.scale, how.nearest, sprite);
}

std::string write_png(const bitmap& sprite, const settings& how, written& out)
{
    return write_png_sprite(sprite, how.scale, out.bytes);
}

std::string read_sheet(std::span<const std::uint8_t> data, const settings& how, struct font& result, std::string&)
{
    return read_png_sheet(data, how.scale, how.invert, result);
}

std::string write_sheet(const struct font& source, const settings& how, written& out)
{
    return write_png_sheet(source, how.scale, out.bytes);
}

// A console font is read compressed or not, whatever its name says.
std::string read_console_font(std::span<const std::uint8_t> data, const settings&, struct font& result,
                              std::string& warning)
{
    if (!is_gzip(data))
        return read_psf(data, result, warning);
    std::vector<std::uint8_t> plain;
    if (std::string problem = gunzip(data, plain); !problem.empty())
        return problem;
    return read_psf(plain, result, warning);
}

std::string write_console_font(const struct font& source, const settings& how, written& out)
{
    out.bytes = write_psf(source, how.psf1 ? 1 : 2);
    return "";
}

std::string write_console_font_gz(const struct font& source, const settings& how, written& out)
{
    return gzip(write_psf(source, how.psf1 ? 1 : 2), out.bytes);
}

std::string read_bdf_font(std::span<const std::uint8_t> data, const settings&, struct font& result, std::string&)
{
    return read_bdf(data, result);
}

std::string write_bdf_font(const struct font& source, const settings&, written& out)
{
    out.bytes = write_bdf(source);
    return "";
}

std::string write_sprite_h(const bitmap& sprite, const settings& how, written& out)
{
    std::string header;
    const std::string problem = write_sprite_header(sprite, how.name, header);
    out.bytes.assign(header.begin(), header.end());
    return problem;
}

std::string write_font_h(const struct font& source, const settings& how, written& out)
{
    const std::string header = write_font_header(source, how.name);
    out.bytes.assign(header.begin(), header.end());
    return "";
}

// A row whose library is not built everywhere stands inside #if, so that the table
// holds exactly the formats this build can handle.
constexpr std::array formats = {
    format_row{.ending = ".spr", .family = "sprite file", .content = holds::a_sprite,
               .read_sprite = read_spr, .write_sprite = write_spr,
               .help = ".spr             sprite file (read, write)"},
    format_row{.ending = ".fnt", .family = "font file", .content = holds::a_font,
               .read_font = read_fnt, .write_font = write_fnt,
               .help = ".fnt             font file, 2048 bytes (read, write)"},
    format_row{.ending = ".png", .family = "PNG", .content = holds::either,
               .read_sprite = read_png, .write_sprite = write_png, .read_font = read_sheet, .write_font = write_sheet,
               .help = ".png             PNG: a sprite, or a font as a sheet of 16 x 16 glyphs (read, write)"},
    format_row{.ending = ".psf", .family = "PSF", .content = holds::a_font,
               .read_font = read_console_font, .write_font = write_console_font,
               .help = ".psf .psfu       PC Screen Font, version 1 or 2, optionally .gz (read, write)"},
    format_row{.ending = ".psfu", .family = "PSF", .content = holds::a_font,
               .read_font = read_console_font, .write_font = write_console_font},
    format_row{.ending = ".psf.gz", .family = "PSF", .content = holds::a_font,
               .read_font = read_console_font, .write_font = write_console_font_gz},
    format_row{.ending = ".psfu.gz", .family = "PSF", .content = holds::a_font,
               .read_font = read_console_font, .write_font = write_console_font_gz, .in_hint = false},
    format_row{.ending = ".bdf", .family = "BDF", .content = holds::a_font,
               .read_font = read_bdf_font, .write_font = write_bdf_font,
               .help = ".bdf             BDF 2.1 font (read, write)"},
    format_row{.ending = ".h", .family = "C header", .content = holds::either,
               .write_sprite = write_sprite_h, .write_font = write_font_h,
               .help = ".h               C header (write)"},
};

bool ends_with(std::string_view text, std::string_view ending)
{
    if (text.size() < ending.size())
        return false;
    return std::equal(ending.begin(), ending.end(), text.end() - static_cast<std::ptrdiff_t>(ending.size()),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

} // namespace

std::span<const format_row> format_table()
{
    return formats;
}

const format_row* format_of(std::string_view path)
{
    const format_row* found = nullptr;
    for (const format_row& row : formats)
        if (ends_with(path, row.ending) && (!found || row.ending.size() > found->ending.size()))
            found = &row;
    return found;
}
