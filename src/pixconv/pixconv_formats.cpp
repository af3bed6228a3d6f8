#include "pixconv/pixconv_formats.hpp"

#include "formats/bdffile.hpp"
#include "art/bitmap.hpp"
#include "formats/bmfont.hpp"
#include "formats/cheader.hpp"
#include "formats/apngfile.hpp"
#include "formats/gzipdata.hpp"
#include "formats/palettefile.hpp"
#include "formats/pngimage.hpp"
#include "formats/psffile.hpp"
#include "formats/truetype.hpp"
#include "pixconv/pixconv_names.hpp"

#include "pixconv/pixconv_features.hpp"

#include <algorithm>
#include <array>

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

std::vector<std::uint8_t> console_font_of(const struct font& source, const settings& how)
{
    return write_psf(source, how.psf1 ? 1 : 2, how.charset_given ? how.characters : nullptr);
}

std::string write_console_font(const struct font& source, const settings& how, written& out)
{
    out.bytes = console_font_of(source, how);
    return "";
}

std::string write_console_font_gz(const struct font& source, const settings& how, written& out)
{
    return gzip(console_font_of(source, how), out.bytes);
}

std::string read_bdf_font(std::span<const std::uint8_t> data, const settings& how, struct font& result,
                          std::string& warning)
{
    return read_bdf(data, *how.characters, result, warning);
}

std::string write_bdf_font(const struct font& source, const settings& how, written& out)
{
    out.bytes = write_bdf(source, how.name, *how.characters);
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
    std::string header;
    const std::string problem = write_font_header(source, how.name, header);
    out.bytes.assign(header.begin(), header.end());
    return problem;
}

// A BMFont page goes beside its descriptor, named after it: pixel.fnt, pixel_0.png.
std::string write_bmfont_as(const struct font& source, const settings& how, bmfont_form form, written& out)
{
    const std::size_t folder_end = how.output_path.find_last_of('/') + 1;
    const std::string file = how.output_path.substr(folder_end);
    const std::string page_name = file.substr(0, file.find_last_of('.')) + "_0.png";
    if (page_name.find('"') != std::string::npos)
        return "a BMFont page's name cannot hold '\"', and this one would be " + page_name;
    companion_file page{how.output_path.substr(0, folder_end) + page_name, {}};
    if (std::string problem = write_bmfont(source, *how.characters, how.name, page_name, how.scale, form, out.bytes,
                                           page.bytes);
        !problem.empty())
        return problem;
    out.companions.push_back(std::move(page));
    return "";
}

std::string write_bmfont_text(const struct font& source, const settings& how, written& out)
{
    return write_bmfont_as(source, how, bmfont_form::text, out);
}

std::string write_bmfont_xml(const struct font& source, const settings& how, written& out)
{
    return write_bmfont_as(source, how, bmfont_form::xml, out);
}

std::string write_ttf(const struct font& source, const settings& how, written& out)
{
    out.bytes = write_truetype(source, *how.characters, how.name);
    return "";
}

} // namespace

animation still_animation(const bitmap& sprite, const settings& how)
{
    animation still;
    still.width = sprite.width;
    still.height = sprite.height;
    still.frames.emplace_back(sprite.bitmap, sprite.bitmap + std::size_t{sprite.width} * sprite.height);
    still.durations_ms.push_back(frame_duration_ms(how, nullptr));
    still.loops = how.loops;
    return still;
}

namespace {

std::string write_apng_sprite(const bitmap& sprite, const settings& how, written& out)
{
    if (sprite.width == 0 || sprite.height == 0)
        return "the sprite has no pixels";
    return write_apng(still_animation(sprite, how), how.scale, out.bytes);
}


std::string write_gpl(written& out)
{
    out.bytes = write_gimp_palette();
    return "";
}

std::string write_pal(written& out)
{
    out.bytes = write_jasc_palette();
    return "";
}

std::string write_hex(written& out)
{
    out.bytes = write_hex_palette();
    return "";
}

std::string write_swatch(written& out)
{
    return write_png_swatch(out.bytes);
}

// The two size bytes and 255 x 255 pixel bytes.
constexpr std::size_t largest_sprite_file = 2 + 255 * 255;

// The rows every build has; a feature's rows follow the row they name.
constexpr std::array core_formats = {
    format_row{.ending = ".spr", .family = "sprite file", .content = holds::a_sprite,
               .read_sprite = read_spr, .write_sprite = write_spr,
               .help = ".spr             sprite file (read, write)", .bytes_used = largest_sprite_file},
    format_row{.ending = ".fnt", .family = "font file", .content = holds::a_font,
               .read_font = read_fnt, .write_font = write_fnt,
               .help = ".fnt             font file, 2048 bytes (read, write)", .bytes_used = font_file_size},
    format_row{.ending = ".png", .family = "PNG", .content = holds::either,
               .read_sprite = read_png, .write_sprite = write_png, .read_font = read_sheet, .write_font = write_sheet,
               .help = ".png             PNG: a sprite, or a font as a sheet of 16 x 16 glyphs (read, write)",
               .write_palette = write_swatch, .read_palette = read_png_colours},
    format_row{.ending = ".apng", .family = "APNG", .content = holds::a_sprite, .write_sprite = write_apng_sprite,
               .help = ".apng            animated PNG of sprites (write)", .write_animation = write_apng},
    format_row{.ending = ".gpl", .family = "GIMP palette", .content = holds::a_sprite,
               .help = ".gpl .pal .hex   palettes: GIMP, JASC (or RIFF), hex (--palette)",
               .in_hint = false, .write_palette = write_gpl, .read_palette = read_gimp_palette},
    format_row{.ending = ".pal", .family = "JASC palette", .content = holds::a_sprite, .in_hint = false,
               .write_palette = write_pal, .read_palette = read_jasc_palette},
    format_row{.ending = ".hex", .family = "hex palette", .content = holds::a_sprite, .in_hint = false,
               .write_palette = write_hex, .read_palette = read_hex_palette},
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
               .help = ".bdf             BDF 2.1 font (read, write)", .named = naming::free_text},
    format_row{.ending = ".ttf", .family = "TrueType", .content = holds::a_font,
               .write_font = write_ttf,
               .help = ".ttf             TrueType font: outlines or bitmap strikes (read), square outlines (write)",
               .named = naming::family},
    format_row{.ending = ".h", .family = "C header", .content = holds::either,
               .write_sprite = write_sprite_h, .write_font = write_font_h,
               .help = ".h               C header (write)", .named = naming::c_identifier},
    format_row{.ending = ".fnt", .family = "BMFont", .content = holds::a_font, .write_font = write_bmfont_text,
               .help = ".fnt --bmfont    BMFont text descriptor and its page NAME_0.png (write)", .in_hint = false,
               .asked_by = "--bmfont", .named = naming::family},
    format_row{.ending = ".xml", .family = "BMFont", .content = holds::a_font, .write_font = write_bmfont_xml,
               .help = ".xml             BMFont XML descriptor and its page NAME_0.png (write)", .named = naming::family},
};

} // namespace

std::uint32_t frame_duration_ms(const settings& how, const atlas_frame* frame)
{
    if (how.delay_ms)
        return *how.delay_ms;
    if (frame && frame->duration_ms)
        return *frame->duration_ms;
    return 100;
}

std::span<const format_row> format_table()
{
    static const std::vector<format_row> formats = with_features<format_row>(
        core_formats, &pixconv_feature::formats,
        [](const format_row& row) { return std::pair{row.ending, row.family}; },
        [](format_row& row, const format_row& more) {
            row.read_sprite = row.read_sprite ? row.read_sprite : more.read_sprite;
            row.write_sprite = row.write_sprite ? row.write_sprite : more.write_sprite;
            row.read_font = row.read_font ? row.read_font : more.read_font;
            row.write_font = row.write_font ? row.write_font : more.write_font;
        });
    return formats;
}

const format_row* format_of(std::string_view path, std::span<const std::string_view> given)
{
    const auto asked = [&](const format_row& row) {
        return row.asked_by.empty() || std::find(given.begin(), given.end(), row.asked_by) != given.end();
    };
    const format_row* found = nullptr;
    for (const format_row& row : format_table()) {
        if (!ends_with(path, row.ending) || !asked(row))
            continue;
        const bool longer = !found || row.ending.size() > found->ending.size();
        const bool same_but_asked = found && row.ending == found->ending && !row.asked_by.empty();
        if (longer || same_but_asked)
            found = &row;
    }
    return found;
}
