#include "pixconv/pixconv_options.hpp"

#include "formats/animation.hpp"
#include "formats/charset.hpp"
#include "formats/cheader.hpp"
#include "formats/freetypefont.hpp"
#include "formats/pngimage.hpp"
#include "pixconv/pixconv_features.hpp"

#include <algorithm>
#include <array>

namespace {

// `value` as a whole number of at most as many digits as `largest` has; 0 when it is not.
std::uint32_t whole_number(std::string_view value, std::uint32_t largest)
{
    const bool digits = std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    return !value.empty() && value.size() <= std::to_string(largest).size() && digits
               ? static_cast<std::uint32_t>(std::stoul(std::string(value)))
               : 0;
}

std::string set_scale(std::string_view value, command_line& line)
{
    const std::string largest = std::to_string(max_scale);
    const std::uint32_t scale = whole_number(value, max_scale);
    if (scale < 1 || scale > max_scale)
        return "--scale takes a whole number from 1 to " + largest + ", not '" + std::string(value) + "'";
    line.how.scale = scale;
    return "";
}

// What the name must be depends on the output, so plan_conversion checks it.
std::string set_name(std::string_view value, command_line& line)
{
    line.how.name = value;
    return "";
}

std::string set_charset(std::string_view value, command_line& line)
{
    if (std::string problem = find_charset(value, line.how.characters); !problem.empty())
        return "--charset takes a single-byte code page: " + problem;
    line.how.charset_given = true;
    return "";
}

std::string set_size(std::string_view value, command_line& line)
{
    const std::uint32_t size = whole_number(value, max_freetype_size);
    if (size < 1 || size > max_freetype_size)
        return "--size takes a whole number of pixels from 1 to " + std::to_string(max_freetype_size) + ", not '" +
               std::string(value) + "'";
    line.how.size = size;
    return "";
}

std::string set_nearest(std::string_view, command_line& line)
{
    line.how.nearest = true;
    return "";
}

std::string set_invert(std::string_view, command_line& line)
{
    line.how.invert = true;
    return "";
}

std::string set_psf1(std::string_view, command_line& line)
{
    line.how.psf1 = true;
    return "";
}

std::string set_columns(std::string_view value, command_line& line)
{
    return parse_count("--columns", value, 1, max_sheet_side, line.how.columns);
}

std::string set_padding(std::string_view value, command_line& line)
{
    return parse_count("--padding", value, 0, max_padding, line.how.padding);
}

std::string set_atlas(std::string_view value, command_line& line)
{
    if (value != "hash" && value != "array")
        return "--atlas takes hash or array, not '" + std::string(value) + "'";
    line.how.layout = value == "hash" ? atlas_layout::hash : atlas_layout::array;
    return "";
}

std::string set_cell(std::string_view value, command_line& line)
{
    grid_options grid;
    if (std::string problem = parse_pair("--cell", value, 1, max_sheet_side, grid.cell_width, grid.cell_height);
        !problem.empty())
        return problem;
    line.how.grid = grid;
    return "";
}

std::string set_offset(std::string_view value, command_line& line)
{
    return parse_pair("--offset", value, 0, max_sheet_side, line.how.offset_x, line.how.offset_y);
}

std::string set_skip_empty(std::string_view, command_line& line)
{
    line.how.skip_empty = true;
    return "";
}

std::string set_delay(std::string_view value, command_line& line)
{
    std::uint32_t delay = 0;
    if (std::string problem = parse_count("--delay", value, 1, max_frame_duration_ms, delay); !problem.empty())
        return problem;
    line.how.delay_ms = delay;
    return "";
}

std::string set_animation(std::string_view, command_line& line)
{
    line.how.animation = true;
    return "";
}

std::string set_godot(std::string_view value, command_line& line)
{
    if (value != "3" && value != "4")
        return "--godot takes 3 or 4, not '" + std::string(value) + "'";
    line.how.godot = value == "3" ? 3 : 4;
    return "";
}

std::string set_loop(std::string_view value, command_line& line)
{
    return parse_count("--loop", value, 0, max_loops, line.how.loops);
}

std::string set_palette(std::string_view value, command_line& line)
{
    line.how.palette_path = value;
    return "";
}

std::string ask_help(std::string_view, command_line& line)
{
    line.wanted = action::help;
    return "";
}

std::string ask_version(std::string_view, command_line& line)
{
    line.wanted = action::version;
    return "";
}

std::string ask_tables(std::string_view, command_line& line)
{
    line.wanted = action::tables;
    return "";
}

// The help lines of --scale and --size name their limits.
static_assert(max_scale == 64, "say the new limit in the help line of --scale");
static_assert(max_freetype_size == 64, "say the new limit in the help line of --size");
static_assert(max_frame_duration_ms == 655350 && max_loops == 65535, "say the new limits in --delay's and --loop's help");

constexpr std::array core_options = {
    option_row{.name = "--sprite", .help = "--sprite, --font  what a PNG or C header holds, when neither side says",
               .modes = in_convert | in_sheets},
    option_row{.name = "--font", .modes = in_convert},
    option_row{.name = "--scale", .takes_value = true, .set = set_scale, .families = {"PNG", "BMFont", "GIF", "APNG"},
               .misuse = "needs a PNG side or a BMFont, GIF or APNG output",
               .help = "--scale N         a PNG, GIF, APNG or BMFont page is enlarged N times (1-64), every pixel\n"
                       "                    an N x N block",
               .modes = in_convert | in_sheets | in_make, .value = "N"},
    option_row{.name = "--nearest", .set = set_nearest,
               .families = {"PNG", "GIF"}, .where = side::input, .content = holds::a_sprite,
               .misuse = "applies to a PNG or GIF read as a sprite",
               .help = "--nearest         a PNG or GIF colour not among the 16 becomes the nearest of them",
               .modes = in_convert | in_cut | in_game | in_make | in_split},
    option_row{.name = "--invert", .set = set_invert,
               .families = {"PNG"}, .where = side::input, .content = holds::a_font,
               .misuse = "applies to a PNG read as a font sheet",
               .help = "--invert          a font sheet read has dark glyphs on a light ground", .modes = in_convert},
    option_row{.name = "--psf1", .set = set_psf1,
               .families = {"PSF"}, .where = side::output, .misuse = "applies to a PSF output",
               .help = "--psf1            write PSF version 1 instead of 2", .modes = in_convert},
    option_row{.name = "--name", .takes_value = true, .set = set_name,
               .families = {"C header", "BDF", "BMFont", "TrueType", "WOFF2"}, .where = side::output,
               .misuse = "applies to a C header, BDF, BMFont, TrueType or WOFF2 output",
               .help = "--name NAME       the C array's name, a font's family name, or a tileset's\n"
                       "                    or an animation's name\n"
                       "                    (default: the output file's name without its ending)",
               .modes = in_convert | in_game, .value = "NAME"},
    option_row{.name = "--bmfont", .families = {"BMFont"}, .where = side::output,
               .misuse = "applies to a .fnt or .xml output",
               .help = "--bmfont          a .fnt output is a BMFont text descriptor, not a font file", .modes = in_convert},
    option_row{.name = "--charset", .takes_value = true, .set = set_charset,
               .families = {"BMFont", "TrueType", "WOFF2", "PSF", "BDF", "PCF", "Windows FON", "OpenType"},
               .content = holds::a_font,
               .misuse = "applies to a BMFont, TrueType, WOFF2, PSF or BDF output, or a font read through FreeType",
               .help = "--charset NAME    which character each glyph code is: a single-byte code page\n"
                       "                    as iconv names it (latin1, the default; cp437, cp1251, koi8-r, ...)",
               .modes = in_convert, .value = "NAME"},
    option_row{.name = "--size", .takes_value = true, .set = set_size,
               .families = {"PCF", "Windows FON", "TrueType", "OpenType"}, .where = side::input,
               .misuse = "applies to a PCF, FON, TrueType or OpenType input",
               .help = "--size N          a font read through FreeType: its strike N pixels high, or outlines\n"
                       "                    at N pixels per em (1-64; default: the tallest strike up to 8)",
               .modes = in_convert, .value = "N"},
    option_row{.name = "--columns", .takes_value = true, .set = set_columns,
               .help = "--columns N       frames a row when packing (default: as square as it gets)",
               .modes = in_pack | in_game, .value = "N"},
    option_row{.name = "--padding", .takes_value = true, .set = set_padding,
               .help = "--padding N       pixels between frames (packing, or cutting by --cell)",
               .modes = in_pack | in_grid_cut | in_game, .value = "N"},
    option_row{.name = "--atlas", .takes_value = true, .set = set_atlas,
               .help = "--atlas LAYOUT    the atlas written: hash (default) or array", .modes = in_pack,
               .value = "LAYOUT"},
    option_row{.name = "--cell", .takes_value = true, .set = set_cell,
               .help = "--cell WxH        cut a grid of W x H pixel cells; --offset XxY: its top left",
               .modes = in_grid_cut, .value = "WxH"},
    option_row{.name = "--offset", .takes_value = true, .set = set_offset, .modes = in_grid_cut, .value = "XxY",
               .about = "the grid's top left (with --cell WxH)"},
    option_row{.name = "--skip-empty", .set = set_skip_empty,
               .help = "--skip-empty      leave out wholly transparent frames when cutting", .modes = in_cut},
    option_row{.name = "--delay", .takes_value = true, .set = set_delay, .families = {"GIF", "APNG"},
               .where = side::output,
               .misuse = "applies to an animation: a GIF or APNG output, a tileset with --animation, or sprite frames",
               .help = "--delay MS        every frame of an animation lasts MS milliseconds (1-655350;\n"
                       "                    default: the atlas's durations, else 100)",
               .modes = in_convert | in_game | in_make, .value = "MS"},
    option_row{.name = "--loop", .takes_value = true, .set = set_loop, .families = {"GIF", "APNG"},
               .where = side::output, .misuse = "applies to a GIF or APNG output",
               .help = "--loop N          an animation plays N times in all (0-65535; default 0: for ever)",
               .modes = in_convert | in_make, .value = "N"},
    option_row{.name = "--animation", .set = set_animation,
               .help = "--animation       tile 0 of a tileset plays every tile in turn", .modes = in_tileset},
    option_row{.name = "--godot", .takes_value = true, .set = set_godot,
               .help = "--godot 3|4       which engine version the sprite frames are for (default: 4)",
               .modes = in_sprite_frames, .value = "3|4"},
    option_row{.name = "--palette", .takes_value = true, .set = set_palette,
               .families = {"PNG", "GIF", "APNG", "BMFont"},
               .misuse = "FILE with files to convert applies to a PNG, GIF, APNG or BMFont side",
               .help = "--palette FILE    with files to convert: draw value i in FILE's colour i, and read\n"
                       "                    each colour as the value of that colour in FILE (.gpl, .pal,\n"
                       "                    .hex, or .png: its first 16 colours); alone: write the 16\n"
                       "                    colours as FILE (.gpl, .pal, .hex, or .png of 16 x 1)",
               .modes = in_convert | in_sheets | in_animations | in_palette, .value = "FILE"},
    option_row{.name = "--help", .set = ask_help, .help = "--help, --version, --tables-json", .modes = in_every_mode,
               .converts_nothing = true},
    option_row{.name = "--version", .set = ask_version, .modes = in_every_mode, .converts_nothing = true},
    option_row{.name = "--tables-json", .set = ask_tables, .modes = in_every_mode,
               .about = "prints the format, mode and option tables as JSON, for programs", .converts_nothing = true},
};

// Where a mode-only option applies, by the modes it does something in (in_sheets bits):
// the end of the usage error for an option given in a sheet mode where it does nothing.
struct sheet_use {
    unsigned modes;
    std::string_view where;
};
constexpr std::array sheet_uses = {
    sheet_use{in_pack, "applies to packing sprites into a sheet"},
    sheet_use{in_grid_cut, "applies to cutting a sheet by --cell"},
    sheet_use{in_cut, "applies to cutting a sheet"},
    sheet_use{in_pack | in_grid_cut | in_game, "applies to packing a sheet, a tileset or sprite frames, or cutting a sheet by --cell"},
    sheet_use{in_pack | in_game, "applies to packing a sheet, a tileset or sprite frames"},
    sheet_use{in_cut | in_game, "applies to cutting a sheet, or a sheet read into a tileset or sprite frames"},
    sheet_use{in_game, "applies to a tileset or sprite frames"},
    sheet_use{in_tileset, "applies to a tileset (.tsx)"},
    sheet_use{in_sprite_frames, "applies to sprite frames (.tres)"},
    sheet_use{0, "does not apply to sprite sheets"},
};
// Outside the modes, an option of the sheet modes is refused with this, unless it
// belongs to a tileset or sprite frames alone, which its mode's phrase names.
constexpr std::string_view sheets_scope = "applies to sprite sheets: several sprites into one PNG, or a PNG cut into sprites";

std::string_view sheet_phrase(unsigned modes)
{
    for (const sheet_use& use : sheet_uses)
        if (use.modes == (modes & in_sheets))
            return use.where;
    return {};
}

// Reads the option in argv[i], and its value from argv[i + 1] when it takes one there.
std::string read_option(int argc, char** argv, int& i, bool& options_end, command_line& line)
{
    const std::string_view arg = argv[i];
    std::string_view name = arg;
    std::string_view value;
    const std::size_t equals = arg.find('=');
    const bool value_attached = arg.starts_with("--") && equals != std::string_view::npos;
    if (value_attached) {
        name = arg.substr(0, equals);
        value = arg.substr(equals + 1);
    }
    const option_row* row = option_named(name);
    const bool takes_value = row && row->takes_value;
    if (takes_value && !value_attached) {
        if (i + 1 >= argc)
            return "option " + std::string(name) + " needs a value";
        value = argv[++i];
    } else if (!takes_value && value_attached) {
        return "option " + std::string(name) + " takes no value";
    }
    if (name == "--") {
        options_end = true;
        return "";
    }
    if (!row)
        return "unknown option '" + std::string(arg) + "'";
    line.given.push_back(row->name);
    return row->set ? row->set(value, line) : "";
}

// Whether `option`, which has format families, does something for the formats of a
// one-to-one conversion.
bool does_something(const option_row& option, const job& work)
{
    const auto fits = [&](const format_row& row, side here) {
        const bool content_fits = option.content == holds::either || (option.content == holds::a_sprite) == work.sprite;
        const bool family_fits = std::find(option.families.begin(), option.families.end(), row.family) !=
                                 option.families.end();
        return (option.where == side::either || option.where == here) && family_fits && content_fits;
    };
    return fits(*work.input_format, side::input) || fits(*work.output_format, side::output);
}

// Why `option` does nothing in a one-to-one conversion, or "".
std::string conversion_misuse(const option_row& option, const job& work)
{
    if (!(option.modes & in_convert)) {
        const bool game_alone = (option.modes & in_sheets & ~in_game) == 0;
        return std::string(option.name) + " " + std::string(game_alone ? sheet_phrase(option.modes) : sheets_scope);
    }
    if (option.families[0].empty() || does_something(option, work))
        return "";
    return std::string(option.name) + " " + std::string(option.misuse);
}

} // namespace

std::span<const option_row> option_table()
{
    static const std::vector<option_row> options = with_features<option_row>(
        core_options, &pixconv_feature::options,
        [](const option_row& row) { return std::pair{row.name, std::string_view{}}; },
        [](option_row&, const option_row&) {});
    return options;
}

const option_row* option_named(std::string_view name)
{
    for (const option_row& row : option_table())
        if (row.name == name)
            return &row;
    return nullptr;
}

bool is_given(const command_line& line, std::string_view name)
{
    return std::find(line.given.begin(), line.given.end(), name) != line.given.end();
}

std::string parse_command_line(int argc, char** argv, command_line& line)
{
    bool options_end = false;
    for (int i = 1; i < argc && line.wanted == action::convert; ++i) {
        const std::string_view arg = argv[i];
        if (options_end || arg.size() < 2 || arg[0] != '-') {
            line.names.emplace_back(arg);
            continue;
        }
        if (std::string problem = read_option(argc, argv, i, options_end, line); !problem.empty())
            return problem;
    }
    return "";
}

std::string check_options(const command_line& line, const job& work, std::string_view also_refused)
{
    for (const option_row& option : option_table()) {
        if (!is_given(line, option.name))
            continue;
        if (work.mode->bit == in_convert) {
            if (std::string problem = conversion_misuse(option, work); !problem.empty())
                return problem;
        } else if (!(option.modes & work.mode->bit) || option.name == also_refused) {
            const std::string_view where = work.mode->refusal.empty() ? sheet_phrase(option.modes) : work.mode->refusal;
            if (!where.empty())
                return std::string(option.name) + (work.mode->refusal.empty() ? " " : "") + std::string(where);
        }
    }
    return "";
}

std::string parse_count(std::string_view option, std::string_view value, std::uint32_t lowest,
                        std::uint32_t highest, std::uint32_t& number)
{
    const std::string limit = std::to_string(highest);
    const bool digits = !value.empty() && value.size() <= limit.size() &&
                        std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    const unsigned long read = digits ? std::stoul(std::string(value)) : 0;
    if (!digits || read < lowest || read > highest)
        return std::string(option) + " takes a whole number from " + std::to_string(lowest) + " to " + limit +
               ", not '" + std::string(value) + "'";
    number = static_cast<std::uint32_t>(read);
    return "";
}

std::string parse_pair(std::string_view option, std::string_view value, std::uint32_t lowest,
                       std::uint32_t highest, std::uint32_t& first, std::uint32_t& second)
{
    const std::size_t x = value.find('x');
    const std::string shape = std::string(option) + " takes two whole numbers from " + std::to_string(lowest) +
                              " to " + std::to_string(highest) + " as WxH, not '" + std::string(value) + "'";
    if (x == std::string_view::npos)
        return shape;
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    if (!parse_count(option, value.substr(0, x), lowest, highest, a).empty() ||
        !parse_count(option, value.substr(x + 1), lowest, highest, b).empty())
        return shape;
    first = a;
    second = b;
    return "";
}
