#include "pixconv/pixconv_options.hpp"

#include "formats/animation.hpp"
#include "formats/charset.hpp"
#include "formats/cheader.hpp"
#include "formats/freetypefont.hpp"
#include "formats/pngimage.hpp"
#include "formats/truetype.hpp"
#include "pixconv/pixconv_names.hpp"

#include <algorithm>
#include <array>

namespace {

enum class side { input, output, either };

struct option_row {
    std::string_view name;
    bool takes_value = false;
    // Stores the option's effect in the command line; "" or the usage error.
    std::string (*set)(std::string_view value, command_line& line) = nullptr;
    // Where the option does something: a side of one of these format families holding
    // this content. No family: the option is checked elsewhere or always applies.
    std::array<std::string_view, 8> families = {};
    side where = side::either;
    holds content = holds::either;
    std::string_view misuse = {}; // the usage error when it does nothing here
    std::string_view help = {};   // its line in --help after the indent; "" when it shares one
    unsigned sheets = 0;          // the sheet modes it does something in (below)
    unsigned animations = 0;      // the animation modes it does something in (in_make, in_split)
};

// The sheet modes, as bits of option_row::sheets. The sheet options' rows name the
// family "sprite sheet", which no format has, so the one-to-one conversion refuses
// them with their `misuse`; in a sheet mode `sheets` alone decides.
constexpr unsigned in_pack = 1;
constexpr unsigned in_grid_cut = 2;
constexpr unsigned in_atlas_cut = 4;
constexpr unsigned in_tileset = 8;
constexpr unsigned in_sprite_frames = 16;
constexpr unsigned in_cut = in_grid_cut | in_atlas_cut;
constexpr unsigned in_game = in_tileset | in_sprite_frames;
constexpr unsigned in_sheets = in_pack | in_cut | in_game;

// The animation modes, as bits of option_row::animations.
constexpr unsigned in_make = 1;
constexpr unsigned in_split = 2;

struct sheet_use {
    unsigned modes;
    std::string_view where; // the usage error's end: "--x applies to ..."
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


bool is_identifier(std::string_view text)
{
    return !text.empty() && c_identifier(text, "font") == text;
}

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
    return parse_count("--columns", value, 1, max_sheet_side, line.how.sheet.columns);
}

std::string set_padding(std::string_view value, command_line& line)
{
    return parse_count("--padding", value, 0, max_padding, line.how.sheet.padding);
}

std::string set_atlas(std::string_view value, command_line& line)
{
    if (value != "hash" && value != "array")
        return "--atlas takes hash or array, not '" + std::string(value) + "'";
    line.how.sheet.layout = value == "hash" ? atlas_layout::hash : atlas_layout::array;
    return "";
}

std::string set_cell(std::string_view value, command_line& line)
{
    grid_options grid;
    if (std::string problem = parse_pair("--cell", value, 1, max_sheet_side, grid.cell_width, grid.cell_height);
        !problem.empty())
        return problem;
    line.how.sheet.grid = grid;
    return "";
}

std::string set_offset(std::string_view value, command_line& line)
{
    return parse_pair("--offset", value, 0, max_sheet_side, line.how.sheet.offset_x, line.how.sheet.offset_y);
}

std::string set_skip_empty(std::string_view, command_line& line)
{
    line.how.sheet.skip_empty = true;
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
    line.how.sheet.animation = true;
    return "";
}

std::string set_godot(std::string_view value, command_line& line)
{
    if (value != "3" && value != "4")
        return "--godot takes 3 or 4, not '" + std::string(value) + "'";
    line.how.sheet.godot = value == "3" ? 3 : 4;
    return "";
}

#ifdef PIXCONV_WATCH
std::string set_watch(std::string_view, command_line& line)
{
    line.watch = true;
    return "";
}
#endif

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

// The help lines of --scale and --size name their limits.
static_assert(max_scale == 64, "say the new limit in the help line of --scale");
static_assert(max_freetype_size == 64, "say the new limit in the help line of --size");
static_assert(max_frame_duration_ms == 655350 && max_loops == 65535, "say the new limits in --delay's and --loop's help");

constexpr std::array options = {
    option_row{.name = "--sprite", .help = "--sprite, --font  what a PNG or C header holds, when neither side says",
               .sheets = in_sheets},
    option_row{.name = "--font"},
    option_row{.name = "--scale", .takes_value = true, .set = set_scale, .families = {"PNG", "BMFont", "GIF", "APNG"},
               .misuse = "--scale needs a PNG side or a BMFont, GIF or APNG output",
               .help = "--scale N         a PNG, GIF, APNG or BMFont page is enlarged N times (1-64), every pixel\n"
                       "                    an N x N block",
               .sheets = in_sheets, .animations = in_make},
    option_row{.name = "--nearest", .set = set_nearest,
               .families = {"PNG", "GIF"}, .where = side::input, .content = holds::a_sprite,
               .misuse = "--nearest applies to a PNG or GIF read as a sprite",
               .help = "--nearest         a PNG or GIF colour not among the 16 becomes the nearest of them",
               .sheets = in_cut | in_game, .animations = in_make | in_split},
    option_row{.name = "--invert", .set = set_invert,
               .families = {"PNG"}, .where = side::input, .content = holds::a_font,
               .misuse = "--invert applies to a PNG read as a font sheet",
               .help = "--invert          a font sheet read has dark glyphs on a light ground"},
    option_row{.name = "--psf1", .set = set_psf1,
               .families = {"PSF"}, .where = side::output, .misuse = "--psf1 applies to a PSF output",
               .help = "--psf1            write PSF version 1 instead of 2"},
    option_row{.name = "--name", .takes_value = true, .set = set_name,
               .families = {"C header", "BDF", "BMFont", "TrueType", "WOFF2"}, .where = side::output,
               .misuse = "--name applies to a C header, BDF, BMFont, TrueType or WOFF2 output",
               .help = "--name NAME       the C array's name, a font's family name, or a tileset's\n"
                       "                    or an animation's name\n"
                       "                    (default: the output file's name without its ending)",
               .sheets = in_game},
    option_row{.name = "--bmfont", .families = {"BMFont"}, .where = side::output,
               .misuse = "--bmfont applies to a .fnt or .xml output",
               .help = "--bmfont          a .fnt output is a BMFont text descriptor, not a font file"},
    option_row{.name = "--charset", .takes_value = true, .set = set_charset,
               .families = {"BMFont", "TrueType", "WOFF2", "PSF", "BDF", "PCF", "Windows FON", "OpenType"},
               .content = holds::a_font,
               .misuse = "--charset applies to a BMFont, TrueType, WOFF2, PSF or BDF output, or a font read "
                         "through FreeType",
               .help = "--charset NAME    which character each glyph code is: a single-byte code page\n"
                       "                    as iconv names it (latin1, the default; cp437, cp1251, koi8-r, ...)"},
    option_row{.name = "--size", .takes_value = true, .set = set_size,
               .families = {"PCF", "Windows FON", "TrueType", "OpenType"}, .where = side::input,
               .misuse = "--size applies to a PCF, FON, TrueType or OpenType input",
               .help = "--size N          a font read through FreeType: its strike N pixels high, or outlines\n"
                       "                    at N pixels per em (1-64; default: the tallest strike up to 8)"},
    option_row{.name = "--columns", .takes_value = true, .set = set_columns, .families = {"sprite sheet"},
               .misuse = "--columns applies to sprite sheets: several sprites into one PNG, or a PNG cut into sprites",
               .help = "--columns N       frames a row when packing (default: as square as it gets)",
               .sheets = in_pack | in_game},
    option_row{.name = "--padding", .takes_value = true, .set = set_padding, .families = {"sprite sheet"},
               .misuse = "--padding applies to sprite sheets: several sprites into one PNG, or a PNG cut into sprites",
               .help = "--padding N       pixels between frames (packing, or cutting by --cell)",
               .sheets = in_pack | in_grid_cut | in_game},
    option_row{.name = "--atlas", .takes_value = true, .set = set_atlas, .families = {"sprite sheet"},
               .misuse = "--atlas applies to sprite sheets: several sprites into one PNG, or a PNG cut into sprites",
               .help = "--atlas LAYOUT    the atlas written: hash (default) or array", .sheets = in_pack},
    option_row{.name = "--cell", .takes_value = true, .set = set_cell, .families = {"sprite sheet"},
               .misuse = "--cell applies to sprite sheets: several sprites into one PNG, or a PNG cut into sprites",
               .help = "--cell WxH        cut a grid of W x H pixel cells; --offset XxY: its top left",
               .sheets = in_grid_cut},
    option_row{.name = "--offset", .takes_value = true, .set = set_offset, .families = {"sprite sheet"},
               .misuse = "--offset applies to sprite sheets: several sprites into one PNG, or a PNG cut into sprites",
               .sheets = in_grid_cut},
    option_row{.name = "--skip-empty", .set = set_skip_empty, .families = {"sprite sheet"},
               .misuse = "--skip-empty applies to sprite sheets: several sprites into one PNG, or a PNG cut into sprites",
               .help = "--skip-empty      leave out wholly transparent frames when cutting", .sheets = in_cut},
    option_row{.name = "--delay", .takes_value = true, .set = set_delay, .families = {"GIF", "APNG"},
               .where = side::output,
               .misuse = "--delay applies to an animation: a GIF or APNG output, a tileset with --animation, or sprite frames",
               .help = "--delay MS        every frame of an animation lasts MS milliseconds (1-655350;\n"
                       "                    default: the atlas's durations, else 100)",
               .sheets = in_game, .animations = in_make},
    option_row{.name = "--loop", .takes_value = true, .set = set_loop, .families = {"GIF", "APNG"},
               .where = side::output, .misuse = "--loop applies to a GIF or APNG output",
               .help = "--loop N          an animation plays N times in all (0-65535; default 0: for ever)",
               .animations = in_make},
    option_row{.name = "--animation", .set = set_animation, .families = {"tileset or sprite frames"},
               .misuse = "--animation applies to a tileset (.tsx)",
               .help = "--animation       tile 0 of a tileset plays every tile in turn", .sheets = in_tileset},
    option_row{.name = "--godot", .takes_value = true, .set = set_godot, .families = {"tileset or sprite frames"},
               .misuse = "--godot applies to sprite frames (.tres)",
               .help = "--godot 3|4       which engine version the sprite frames are for (default: 4)",
               .sheets = in_sprite_frames},
    option_row{.name = "--palette", .takes_value = true, .set = set_palette,
               .families = {"PNG", "GIF", "APNG", "BMFont"},
               .misuse = "--palette FILE with files to convert applies to a PNG, GIF, APNG or BMFont side",
               .help = "--palette FILE    with files to convert: draw value i in FILE's colour i, and read\n"
                       "                    each colour as the value of that colour in FILE (.gpl, .pal,\n"
                       "                    .hex, or .png: its first 16 colours); alone: write the 16\n"
                       "                    colours as FILE (.gpl, .pal, .hex, or .png of 16 x 1)",
               .sheets = in_sheets, .animations = in_make | in_split},
#ifdef PIXCONV_WATCH
    option_row{.name = "--watch", .set = set_watch,
               .help = "--watch           convert, then again whenever an input changes, until interrupted\n"
                       "                    (Linux only)",
               .sheets = ~0u, .animations = in_make | in_split},
#endif
    option_row{.name = "--help", .set = ask_help,
               .help = "--help, --version", .sheets = ~0u},
    option_row{.name = "--version", .set = ask_version, .sheets = ~0u},
};

const option_row* option_named(std::string_view name)
{
    for (const option_row& row : options)
        if (row.name == name)
            return &row;
    return nullptr;
}

bool is_given(const command_line& line, std::string_view name)
{
    return std::find(line.given.begin(), line.given.end(), name) != line.given.end();
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

// "use .spr, .fnt or .h": the endings a user may choose from.
std::string ending_hint()
{
    std::vector<std::string_view> endings;
    for (const format_row& row : format_table())
        if (row.in_hint)
            endings.push_back(row.ending);
    std::string hint = "unknown ending; use ";
    for (std::size_t i = 0; i < endings.size(); ++i)
        hint += std::string(i == 0 ? "" : i + 1 == endings.size() ? " or " : ", ") + std::string(endings[i]);
    return hint;
}

// Finds both rows and checks that the input can be read and the output written.
std::string find_formats(const command_line& line, conversion& plan)
{
    // A tileset is a mode's output, and is read only beside its picture.
    if (ends_with(plan.input_path, ".tsx"))
        return plan.input_path + ": a tileset is read through its picture: name the picture, with the .tsx of "
                                 "its name beside it (pixconv TILES.png FOLDER/)";
    plan.input = format_of(plan.input_path);
    plan.output = format_of(plan.output_path, line.given);
    for (const auto& [row, path] : {std::pair{plan.input, plan.input_path}, std::pair{plan.output, plan.output_path}})
        if (!row)
            return path + ": " + ending_hint();
    if (!can_read(*plan.input))
        return plan.input_path + ": a " + std::string(plan.input->family) + " can be written, not read";
    if (!can_write(*plan.output) && plan.output->write_palette)
        return plan.output_path + ": a " + std::string(plan.output->family) + " is written by --palette FILE alone";
    if (!can_write(*plan.output))
        return plan.output_path + ": a " + std::string(plan.output->family) + " can be read, not written";
    return "";
}

// The editors' files, PSF and BDF say what the data is; PNG and C headers do not.
std::string choose_content(const command_line& line, conversion& plan)
{
    const auto says = [&](holds content) { return plan.input->content == content || plan.output->content == content; };
    const bool says_sprite = says(holds::a_sprite);
    const bool says_font = says(holds::a_font);
    const bool sprite_given = is_given(line, "--sprite");
    const bool font_given = is_given(line, "--font");
    if (sprite_given && font_given)
        return "--sprite and --font exclude each other";
    if (says_sprite && says_font)
        return "a sprite cannot become a font, nor a font a sprite";
    if ((sprite_given && says_font) || (font_given && says_sprite))
        return std::string(sprite_given ? "--sprite" : "--font") + " does not fit these file names";
    // Like every option that changes nothing, a redundant one is refused.
    if ((sprite_given || font_given) && (says_sprite || says_font))
        return std::string(sprite_given ? "--sprite" : "--font") + " does nothing here: the file names say what the data is";
    if (!says_sprite && !says_font && !sprite_given && !font_given)
        return "say --sprite or --font: neither file name tells what the data is";
    plan.sprite = says_sprite || sprite_given;
    const bool readable = plan.sprite ? plan.input->read_sprite != nullptr : plan.input->read_font != nullptr;
    const bool writable = plan.sprite ? plan.output->write_sprite != nullptr : plan.output->write_font != nullptr;
    if (!readable || !writable)
        return "a " + std::string((readable ? plan.output : plan.input)->family) + " cannot hold " +
               (plan.sprite ? "a sprite" : "a font") + " here";
    return "";
}

bool does_something(const option_row& option, const conversion& plan)
{
    const auto fits = [&](const format_row& row, side here) {
        const bool content_fits = option.content == holds::either || (option.content == holds::a_sprite) == plan.sprite;
        const bool family_fits = std::find(option.families.begin(), option.families.end(), row.family) !=
                                 option.families.end();
        return (option.where == side::either || option.where == here) && family_fits && content_fits;
    };
    return fits(*plan.input, side::input) || fits(*plan.output, side::output);
}

// The stem of `path`: its last component without `ending` ("a.b.c.h" gives "a.b.c").
std::string stem_of(const std::string& path, std::string_view ending)
{
    const std::string name = path.substr(path.find_last_of('/') + 1);
    return name.substr(0, name.size() - std::min(name.size(), ending.size()));
}

// --name, or the name the output's file name gives, checked for what the output does with
// it: a C identifier for a header, a family name for a font.
std::string choose_name(const command_line& line, conversion& plan)
{
    const bool given = is_given(line, "--name");
    const std::string stem = stem_of(plan.output_path, plan.output->ending);
    switch (plan.output->named) {
    case naming::not_at_all:
        return "";
    case naming::c_identifier:
        if (!given)
            plan.how.name = c_identifier(stem, plan.sprite ? "sprite" : "font");
        else if (!is_identifier(plan.how.name))
            return "--name takes a C identifier for a C header, not '" + plan.how.name + "'";
        return "";
    case naming::free_text:
        if (!given)
            plan.how.name = stem;
        return "";
    case naming::family:
        break;
    }
    if (!given)
        plan.how.name = stem;
    const std::string problem = family_name_problem(plan.how.name);
    if (problem.empty())
        return "";
    return given ? "--name '" + plan.how.name + "': " + problem
                 : plan.output_path + ": " + problem + "; choose one with --name";
}

} // namespace

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

std::string plan_conversion(const command_line& line, conversion& plan)
{
    if (line.names.size() != 2)
        return line.names.size() < 2 ? "an input and an output file are needed" : "too many file names";
    plan.input_path = line.names[0];
    plan.output_path = line.names[1];
    plan.how = line.how;
    plan.how.output_path = plan.output_path;
    if (std::string problem = find_formats(line, plan); !problem.empty())
        return problem;
    if (std::string problem = choose_content(line, plan); !problem.empty())
        return problem;
    // Options that do nothing for these files are surely a slip; say so rather than ignore them.
    for (const option_row& option : options)
        if (!option.families[0].empty() && is_given(line, option.name) && !does_something(option, plan))
            return std::string(option.misuse);
    return choose_name(line, plan);
}

std::string plan_sheets(const command_line& line, sheet_job& job)
{
    const sheet_options& sheet = line.how.sheet;
    job.mode = sheet_mode_of(line.names, is_given(line, "--atlas"), sheet.grid.has_value());
    if (job.mode == sheet_mode::none)
        return "";
    const unsigned here = job.mode == sheet_mode::pack            ? in_pack
                          : job.mode == sheet_mode::tileset       ? in_tileset
                          : job.mode == sheet_mode::sprite_frames ? in_sprite_frames
                          : sheet.grid                            ? in_grid_cut
                                                                  : in_atlas_cut;
    if (job.mode == sheet_mode::tileset && line.how.delay_ms && !sheet.animation)
        return "--delay applies to an animation: add --animation to animate tile 0";
    for (const option_row& option : options)
        if (is_given(line, option.name) && !(option.sheets & here))
            for (const sheet_use& use : sheet_uses)
                if (use.modes == option.sheets)
                    return std::string(option.name) + " " + std::string(use.where);
    job.inputs.assign(line.names.begin(), line.names.end() - 1);
    job.output = line.names.back();
    job.pack = {sheet.columns, line.how.scale, sheet.padding};
    job.layout = sheet.layout;
    job.grid = sheet.grid;
    if (job.grid) {
        job.grid->offset_x = sheet.offset_x;
        job.grid->offset_y = sheet.offset_y;
        job.grid->padding = sheet.padding;
    }
    job.scale = line.how.scale;
    job.nearest = line.how.nearest;
    job.skip_empty = sheet.skip_empty;
    job.game = {line.how.name, sheet.animation, sheet.godot, line.how.delay_ms};
    return check_sheet_names(job);
}

std::string plan_animation(const command_line& line, animation_job& job)
{
    job.mode = animation_mode_of(line.names);
    if (job.mode == animation_mode::none)
        return "";
    const bool make = job.mode == animation_mode::make;
    const bool from_sheet = make && line.names.front().size() >= 4 &&
                            format_of(line.names.front()) == format_of(".png");
    for (const option_row& option : options) {
        if (!is_given(line, option.name))
            continue;
        const bool nearest_without_colours = make && option.name == "--nearest" && !from_sheet;
        if (!(option.animations & (make ? in_make : in_split)) || nearest_without_colours)
            return std::string(option.name) + (make ? " does not apply to making an animation from these files"
                                                    : " does not apply to splitting a GIF into sprites");
    }
    job.inputs.assign(line.names.begin(), line.names.end() - 1);
    job.output = line.names.back();
    job.how = line.how;
    return check_animation_names(job);
}

std::string plan_palette(const command_line& line, const format_row*& row)
{
    const bool alone = line.names.empty();
    if (alone && line.given.size() > 1)
        return "--palette FILE alone takes no other options";
    row = format_of(line.how.palette_path);
    if (row && (alone ? row->write_palette != nullptr : row->read_palette != nullptr))
        return "";
    std::string endings;
    for (const format_row& each : format_table())
        if (alone ? each.write_palette != nullptr : each.read_palette != nullptr)
            endings += std::string(endings.empty() ? "" : ", ") + std::string(each.ending);
    return std::string(alone ? "--palette writes " : "--palette reads ") + endings + ", not '" +
           line.how.palette_path + "'";
}

std::string usage_text()
{
    std::string text = "Usage: pixconv [options] INPUT OUTPUT\n"
                       "Converts a sprite or a font between the editors' files and PNG, PSF, BDF and C,\n"
                       "a font into BMFont, TrueType and WOFF2 for game engines and web pages, fonts in\n"
                       "from PCF, FON, TrueType and OpenType, and sprites to and from sprite sheets.\n"
                       "The format of each side comes from its file name's ending:\n";
    for (const format_row& row : format_table())
        if (!row.help.empty())
            text += "  " + std::string(row.help) + "\n";
    text += "Sprite sheets:\n"
            "  pixconv [options] SPRITE.spr... SHEET.png     packs them; writes SHEET.json beside it\n"
            "  pixconv --cell WxH [options] SHEET.png NAME%02d.spr   cuts a grid, numbered from 0\n"
            "  pixconv [options] SHEET.png FOLDER/           cuts the frames of SHEET.json, or\n"
            "                                                the tiles of SHEET.tsx without it\n"
            "Into the game (instead of sprite files, SHEET.png with SHEET.json beside it):\n"
            "  pixconv [options] SPRITE.spr... TILES.tsx     a tileset: TILES.png and TILES.tsx\n"
            "  pixconv [options] SPRITE.spr... WALK.tres     sprite frames: WALK.png and WALK.tres\n"
            "Animations:\n";
    // A build without giflib writes APNG alone.
    const std::string endings = format_of("a.gif") ? "OUT.gif|OUT.apng" : "OUT.apng";
    text += "  pixconv [options] SPRITE.spr... " + endings + "   one frame per sprite\n"
            "  pixconv [options] SHEET.png " + endings + "       the frames of SHEET.json\n";
    if (format_of("a.gif"))
        text += "  pixconv [--nearest] ANIMATION.gif FOLDER/ or NAME%02d.spr   every frame\n";
    // The other use of --palette, with files to convert, is an option of every mode: its line below.
    text += "  pixconv --palette FILE                        the 16 colours for other programs\n";
    text += "Options:\n";
    for (const option_row& row : options)
        if (!row.help.empty())
            text += "  " + std::string(row.help) + "\n";
    return text + "Exit status: 0 success, 1 the conversion failed, 2 usage error.\n";
}
