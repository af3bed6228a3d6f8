#include "pixconv.hpp"

#include "bdffile.hpp"
#include "bitmap.hpp"
#include "cheader.hpp"
#include "fonts.hpp"
#include "gzipdata.hpp"
#include "pixconv_sheets.hpp"
#include "pngimage.hpp"
#include "psffile.hpp"
#include "savefile.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* usage_text =
    "Usage: pixconv [options] INPUT OUTPUT\n"
    "Converts a sprite or a font between the editors' files and PNG, PSF, BDF and C.\n"
    "The format of each side comes from its file name's ending:\n"
    "  .spr             sprite file (read, write)\n"
    "  .fnt             font file, 2048 bytes (read, write)\n"
    "  .png             PNG: a sprite, or a font as a sheet of 16 x 16 glyphs (read, write)\n"
    "  .psf .psfu       PC Screen Font, version 1 or 2, optionally .gz (read, write)\n"
    "  .bdf             BDF 2.1 font (read, write)\n"
    "  .h               C header (write)\n"
    "Options:\n"
    "  --sprite, --font  what a PNG or C header holds, when neither side says\n"
    "  --scale N         a PNG is enlarged N times (1-64), every pixel an N x N block\n"
    "  --nearest         a PNG colour not among the 16 becomes the nearest of them\n"
    "  --invert          a font sheet read has dark glyphs on a light ground\n"
    "  --psf1            write PSF version 1 instead of 2\n"
    "  --name IDENT      the C array's name (default: the output file's stem)\n"
    "Sprite sheets:\n"
    "  pixconv [options] SPRITE.spr... SHEET.png   packs the sprites; writes SHEET.json beside\n"
    "  pixconv --cell WxH [options] SHEET.png NAME%02d.spr   cuts a grid, cells numbered from 0\n"
    "  pixconv [options] SHEET.png FOLDER/          cuts the frames of SHEET.json\n"
    "  --columns N       frames a row when packing (default: as square as it gets)\n"
    "  --padding N       pixels between frames (packing, or cutting by --cell)\n"
    "  --atlas LAYOUT    the atlas written: hash (default) or array\n"
    "  --cell WxH        cut a grid of W x H pixel cells; --offset XxY: its top left\n"
    "  --skip-empty      leave out wholly transparent frames when cutting\n"
    "  --help, --version\n"
    "Exit status: 0 success, 1 the conversion failed, 2 usage error.\n";

// The largest input read: far beyond any sprite, sheet or 256-glyph font, small enough
// that a wrong file name (a disk image, say) fails at once.
constexpr std::size_t max_input_size = 64u << 20;

enum class format { sprite_file, font_file, png, psf, bdf, header, unknown };

struct side {
    std::string path;
    format kind = format::unknown;
    bool compressed = false; // a PSF name ending in .gz
};

struct options {
    side input;
    side output;
    bool sprite = false; // true: the data is a sprite; false: a font
    std::uint32_t scale = 1;
    bool scale_given = false;
    bool nearest = false;
    bool invert = false;
    bool psf1 = false;
    std::string name; // the C array's name, for a header output
    sheet_job sheet;
    std::vector<std::string> sheet_options; // the sheet modes' options given
    std::uint32_t offset_x = 0;
    std::uint32_t offset_y = 0;
};

bool ends_with(const std::string& text, std::string_view ending)
{
    if (text.size() < ending.size())
        return false;
    return std::equal(ending.begin(), ending.end(), text.end() - static_cast<std::ptrdiff_t>(ending.size()),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

side side_of(const std::string& path)
{
    side result{path};
    std::string name = path;
    if (ends_with(name, ".gz")) {
        result.compressed = true;
        name.resize(name.size() - 3);
    }
    if (ends_with(name, ".psf") || ends_with(name, ".psfu"))
        result.kind = format::psf;
    else if (result.compressed)
        result.kind = format::unknown; // only console fonts come compressed
    else if (ends_with(name, ".spr"))
        result.kind = format::sprite_file;
    else if (ends_with(name, ".fnt"))
        result.kind = format::font_file;
    else if (ends_with(name, ".png"))
        result.kind = format::png;
    else if (ends_with(name, ".bdf"))
        result.kind = format::bdf;
    else if (ends_with(name, ".h"))
        result.kind = format::header;
    return result;
}

bool holds_fonts(format kind)
{
    return kind == format::font_file || kind == format::psf || kind == format::bdf;
}

// A complaint about the command line: one line, status 2.
int usage_error(const std::string& message)
{
    std::fprintf(stderr, "pixconv: %s (see pixconv --help)\n", message.c_str());
    return 2;
}

// A failed conversion: one line naming the file to blame, status 1.
int failure(const std::string& path, const std::string& message)
{
    std::fprintf(stderr, "pixconv: %s: %s\n", path.c_str(), message.c_str());
    return 1;
}

bool parse_scale(const std::string& text, std::uint32_t& scale)
{
    if (text.empty() || text.size() > 2 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    scale = static_cast<std::uint32_t>(std::stoul(text));
    return scale >= 1 && scale <= max_scale;
}

// The stem of `path`: its last component without the ending.
std::string stem_of(const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') + 1);
    return name.substr(0, name.find('.'));
}

bool is_identifier(const std::string& text)
{
    return !text.empty() && c_identifier(text) == text;
}

// Reads the options and the two names into `result`. Returns -1 when the conversion
// may go on, else the exit status to end with (0 after --help or --version).
int parse_command_line(int argc, char** argv, options& result)
{
    std::vector<std::string> names;
    bool sprite_given = false;
    bool font_given = false;
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (options_end || arg.size() < 2 || arg[0] != '-') {
            names.push_back(arg);
            continue;
        }
        // --scale=4 and --scale 4 alike.
        std::string option = arg;
        std::string value;
        bool value_attached = false;
        if (const std::size_t equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            option = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            value_attached = true;
        }
        const bool takes_value = option == "--scale" || option == "--name" || option == "--columns" ||
                                 option == "--padding" || option == "--atlas" || option == "--cell" ||
                                 option == "--offset";
        if (takes_value && !value_attached) {
            if (i + 1 >= argc)
                return usage_error("option " + option + " needs a value");
            value = argv[++i];
        } else if (!takes_value && value_attached) {
            return usage_error("option " + option + " takes no value");
        }

        if (option == "--") {
            options_end = true;
        } else if (option == "--help") {
            std::fputs(usage_text, stdout);
            return 0;
        } else if (option == "--version") {
            std::printf("pixconv %s\n", PIXCONV_VERSION);
            return 0;
        } else if (option == "--sprite") {
            sprite_given = true;
        } else if (option == "--font") {
            font_given = true;
        } else if (option == "--scale") {
            if (!parse_scale(value, result.scale))
                return usage_error("--scale takes a whole number from 1 to 64, not '" + value + "'");
            result.scale_given = true;
        } else if (option == "--nearest") {
            result.nearest = true;
        } else if (option == "--invert") {
            result.invert = true;
        } else if (option == "--psf1") {
            result.psf1 = true;
        } else if (option == "--name") {
            if (!is_identifier(value))
                return usage_error("--name takes a C identifier, not '" + value + "'");
            result.name = value;
        } else if (option == "--columns" || option == "--padding" || option == "--atlas" || option == "--cell" ||
                   option == "--offset" || option == "--skip-empty") {
            std::string problem;
            sheet_job& job = result.sheet;
            if (option == "--columns")
                problem = parse_count(option, value, 1, max_sheet_side, job.pack.columns);
            else if (option == "--padding")
                problem = parse_count(option, value, 0, max_padding, job.pack.padding);
            else if (option == "--atlas" && value != "hash" && value != "array")
                problem = "--atlas takes hash or array, not '" + value + "'";
            else if (option == "--atlas")
                job.layout = value == "hash" ? atlas_layout::hash : atlas_layout::array;
            else if (option == "--cell") {
                job.grid.emplace();
                problem = parse_pair(option, value, 1, max_sheet_side, job.grid->cell_width, job.grid->cell_height);
            } else if (option == "--offset") {
                problem = parse_pair(option, value, 0, max_sheet_side, result.offset_x, result.offset_y);
            } else
                job.skip_empty = true;
            if (!problem.empty())
                return usage_error(problem);
            result.sheet_options.push_back(option);
        } else {
            return usage_error("unknown option '" + arg + "'");
        }
    }
    const auto sheet_given = [&](const char* name) {
        return std::find(result.sheet_options.begin(), result.sheet_options.end(), name) != result.sheet_options.end();
    };
    result.sheet.mode = sheet_mode_of(names, sheet_given("--atlas"), sheet_given("--cell"));
    if (result.sheet.mode != sheet_mode::none) {
        sheet_job& job = result.sheet;
        job.inputs.assign(names.begin(), names.end() - 1);
        job.output = names.back();
        job.scale = job.pack.scale = result.scale;
        job.nearest = result.nearest;
        const bool pack = job.mode == sheet_mode::pack;
        for (const std::string& given : result.sheet_options) {
            const bool fits = pack ? given == "--columns" || given == "--padding" || given == "--atlas"
                                   : given != "--columns" && given != "--atlas" &&
                                         ((given != "--offset" && given != "--padding") || job.grid);
            if (!fits)
                return usage_error(given + (pack ? " applies to cutting a sheet" : given == "--columns" || given == "--atlas" ? " applies to packing sprites into a sheet" : " applies to cutting by --cell"));
        }
        if (font_given || result.invert || result.psf1 || !result.name.empty() || (pack && result.nearest))
            return usage_error("these options do not apply to sprite sheets");
        if (job.grid) {
            job.grid->padding = job.pack.padding;
            job.grid->offset_x = result.offset_x;
            job.grid->offset_y = result.offset_y;
        }
        if (std::string problem = check_sheet_names(job); !problem.empty())
            return usage_error(problem);
        return -1;
    }
    if (!result.sheet_options.empty())
        return usage_error(result.sheet_options.front() + " applies to sprite sheets: several sprites into one PNG, or a PNG cut into sprites");
    if (names.size() != 2)
        return usage_error(names.size() < 2 ? "an input and an output file are needed" : "too many file names");

    result.input = side_of(names[0]);
    result.output = side_of(names[1]);
    for (const side* each : {&result.input, &result.output})
        if (each->kind == format::unknown)
            return usage_error(each->path + ": unknown ending; use .spr, .fnt, .png, .psf, .psfu, .psf.gz, .bdf or .h");
    if (result.input.kind == format::header)
        return usage_error(result.input.path + ": a C header can be written, not read");

    // The editors' files, PSF and BDF say what the data is; PNG and C headers do not.
    const format in = result.input.kind;
    const format out = result.output.kind;
    const bool says_sprite = in == format::sprite_file || out == format::sprite_file;
    const bool says_font = holds_fonts(in) || holds_fonts(out);
    if (sprite_given && font_given)
        return usage_error("--sprite and --font exclude each other");
    if (says_sprite && says_font)
        return usage_error("a sprite cannot become a font, nor a font a sprite");
    if ((sprite_given && says_font) || (font_given && says_sprite))
        return usage_error(std::string(sprite_given ? "--sprite" : "--font") + " does not fit these file names");
    if (!says_sprite && !says_font && !sprite_given && !font_given)
        return usage_error("say --sprite or --font: neither file name tells what the data is");
    result.sprite = says_sprite || sprite_given;

    // Options that do nothing for these files are surely a slip; say so rather than ignore them.
    if (result.scale_given && in != format::png && out != format::png)
        return usage_error("--scale needs a PNG side");
    if (result.nearest && !(in == format::png && result.sprite))
        return usage_error("--nearest applies to a PNG read as a sprite");
    if (result.invert && !(in == format::png && !result.sprite))
        return usage_error("--invert applies to a PNG read as a font sheet");
    if (result.psf1 && out != format::psf)
        return usage_error("--psf1 applies to a PSF output");
    if (!result.name.empty() && out != format::header)
        return usage_error("--name applies to a C header output");
    if (result.name.empty())
        result.name = c_identifier(stem_of(result.output.path));
    return -1;
}

} // namespace

std::string read_whole(const std::string& path, std::vector<std::uint8_t>& data)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return std::strerror(errno);
    std::vector<std::uint8_t> chunk(65536);
    std::string problem;
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file);
        data.insert(data.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
        if (data.size() > max_input_size) {
            problem = "the file is larger than 64 MiB";
            break;
        }
        if (got < chunk.size()) {
            if (std::ferror(file))
                problem = std::strerror(errno);
            break;
        }
    }
    std::fclose(file);
    return problem;
}

namespace {

std::vector<std::uint8_t> text_bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

// Reads the input as a sprite; "" on success.
std::string read_sprite(const options& opts, const std::vector<std::uint8_t>& data, bitmap& sprite)
{
    if (opts.input.kind == format::png)
        return read_png_sprite(data, opts.scale, opts.nearest, sprite);
    return read_sprite_file(data, sprite);
}

// Writes the sprite as the output's bytes; "" on success.
std::string write_sprite(const options& opts, const bitmap& sprite, std::vector<std::uint8_t>& out)
{
    switch (opts.output.kind) {
    case format::png:
        return write_png_sprite(sprite, opts.scale, out);
    case format::header: {
        std::string header;
        const std::string problem = write_sprite_header(sprite, opts.name, header);
        out = text_bytes(header);
        return problem;
    }
    default:
        out = write_sprite_file(sprite);
        return "";
    }
}

// Reads the input as a font; "" on success. A PSF may warn without failing.
std::string read_font(const options& opts, const std::vector<std::uint8_t>& data, struct font& result,
                      std::string& warning)
{
    switch (opts.input.kind) {
    case format::png:
        return read_png_sheet(data, opts.scale, opts.invert, result);
    case format::psf: {
        if (!is_gzip(data))
            return read_psf(data, result, warning);
        std::vector<std::uint8_t> plain;
        if (std::string problem = gunzip(data, plain); !problem.empty())
            return problem;
        return read_psf(plain, result, warning);
    }
    case format::bdf:
        return read_bdf(data, result);
    default:
        return read_font_file(data, result);
    }
}

// Writes the font as the output's bytes; "" on success.
std::string write_font(const options& opts, const struct font& source, std::vector<std::uint8_t>& out)
{
    switch (opts.output.kind) {
    case format::png:
        return write_png_sheet(source, opts.scale, out);
    case format::psf:
        out = write_psf(source, opts.psf1 ? 1 : 2);
        if (opts.output.compressed)
            out = gzip(out);
        return "";
    case format::bdf:
        out = write_bdf(source);
        return "";
    case format::header:
        out = text_bytes(write_font_header(source, opts.name));
        return "";
    default:
        out = write_font_file(source);
        return "";
    }
}

} // namespace

int pixconv_main(int argc, char** argv)
{
    options opts;
    if (const int status = parse_command_line(argc, argv, opts); status >= 0)
        return status;
    if (opts.sheet.mode != sheet_mode::none)
        return run_sheet_job(opts.sheet);

    std::vector<std::uint8_t> input;
    if (std::string problem = read_whole(opts.input.path, input); !problem.empty())
        return failure(opts.input.path, problem);

    std::vector<std::uint8_t> output;
    if (opts.sprite) {
        bitmap sprite{};
        if (std::string problem = read_sprite(opts, input, sprite); !problem.empty())
            return failure(opts.input.path, problem);
        const std::string problem = write_sprite(opts, sprite, output);
        std::free(sprite.bitmap);
        if (!problem.empty())
            return failure(opts.output.path, problem);
    } else {
        struct font result{};
        std::string warning;
        if (std::string problem = read_font(opts, input, result, warning); !problem.empty())
            return failure(opts.input.path, problem);
        if (!warning.empty())
            std::fprintf(stderr, "pixconv: %s: warning: %s\n", opts.input.path.c_str(), warning.c_str());
        if (std::string problem = write_font(opts, result, output); !problem.empty())
            return failure(opts.output.path, problem);
    }

    errno = 0;
    if (replace_file(opts.output.path.c_str(), output.data(), output.size()) != 0)
        return failure(opts.output.path,
                       std::string("cannot be written: ") + (errno ? std::strerror(errno) : "unknown error"));
    return 0;
}
