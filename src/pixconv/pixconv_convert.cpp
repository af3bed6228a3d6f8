#include "pixconv/pixconv_convert.hpp"

#include "formats/cheader.hpp"
#include "formats/truetype.hpp"
#include "pixconv/pixconv_formats.hpp"
#include "pixconv/pixconv_names.hpp"
#include "pixconv/pixconv_options.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

bool is_identifier(std::string_view text)
{
    return !text.empty() && c_identifier(text, "font") == text;
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
std::string find_formats(const command_line& line, job& plan)
{
    // A tileset is a mode's output, and is read only beside its picture.
    if (ends_with(plan.inputs[0], ".tsx"))
        return plan.inputs[0] + ": a tileset is read through its picture: name the picture, with the .tsx of "
                                 "its name beside it (pixconv TILES.png FOLDER/)";
    plan.input_format = format_of(plan.inputs[0]);
    plan.output_format = format_of(plan.output, line.given);
    for (const auto& [row, path] : {std::pair{plan.input_format, plan.inputs[0]}, std::pair{plan.output_format, plan.output}})
        if (!row)
            return path + ": " + ending_hint();
    if (!can_read(*plan.input_format))
        return plan.inputs[0] + ": a " + std::string(plan.input_format->family) + " can be written, not read";
    if (!can_write(*plan.output_format) && plan.output_format->write_palette)
        return plan.output + ": a " + std::string(plan.output_format->family) + " is written by --palette FILE alone";
    if (!can_write(*plan.output_format))
        return plan.output + ": a " + std::string(plan.output_format->family) + " can be read, not written";
    return "";
}

// The editors' files, PSF and BDF say what the data is; PNG and C headers do not.
std::string choose_content(const command_line& line, job& plan)
{
    const auto says = [&](holds content) { return plan.input_format->content == content || plan.output_format->content == content; };
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
    const bool readable = plan.sprite ? plan.input_format->read_sprite != nullptr : plan.input_format->read_font != nullptr;
    const bool writable = plan.sprite ? plan.output_format->write_sprite != nullptr : plan.output_format->write_font != nullptr;
    if (!readable || !writable)
        return "a " + std::string((readable ? plan.output_format : plan.input_format)->family) + " cannot hold " +
               (plan.sprite ? "a sprite" : "a font") + " here";
    return "";
}

// The stem of `path`: its last component without `ending` ("a.b.c.h" gives "a.b.c").
std::string stem_of(const std::string& path, std::string_view ending)
{
    const std::string name = base_name(path);
    return name.substr(0, name.size() - std::min(name.size(), ending.size()));
}

// --name, or the name the output's file name gives, checked for what the output does with
// it: a C identifier for a header, a family name for a font.
std::string choose_name(const command_line& line, job& plan)
{
    const bool given = is_given(line, "--name");
    const std::string stem = stem_of(plan.output, plan.output_format->ending);
    switch (plan.output_format->named) {
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
                 : plan.output + ": " + problem + "; choose one with --name";
}

// Reads the input as a sprite and writes it into `out`.
complaint convert_sprite(const job& plan, const std::vector<std::uint8_t>& input, written& out)
{
    bitmap sprite{};
    std::string warning; // no sprite reader warns today
    if (std::string problem = plan.input_format->read_sprite(input, plan.how, sprite, warning); !problem.empty())
        return {plan.inputs[0], problem};
    std::string problem = plan.output_format->write_sprite(sprite, plan.how, out);
    std::free(sprite.bitmap);
    return {plan.output, problem};
}

// Reads the input as a font and writes it into `out`; a reader's warning is kept.
complaint convert_font(const job& plan, const std::vector<std::uint8_t>& input, written& out, std::string& warning)
{
    struct font result {};
    if (std::string problem = plan.input_format->read_font(input, plan.how, result, warning); !problem.empty())
        return {plan.inputs[0], problem};
    return {plan.output, plan.output_format->write_font(result, plan.how, out)};
}

// The companions and the main output, all or none, never over one of `inputs`.
complaint write_written(const std::vector<std::string>& inputs, const std::string& path, written& out)
{
    std::vector<output_file> files = std::move(out.companions);
    files.push_back({path, std::move(out.bytes)});
    return write_outputs(inputs, files);
}

// One input read whole, converted, and written only when all went well.
complaint run_conversion(const job& plan, complaint& warning)
{
    warning.path = plan.inputs[0];
    std::vector<std::uint8_t> input;
    if (std::string problem = read_whole(plan.inputs[0], input, plan.input_format->bytes_used); !problem.empty())
        return {plan.inputs[0], problem};
    written out;
    complaint result = plan.sprite ? convert_sprite(plan, input, out) : convert_font(plan, input, out, warning.problem);
    if (result.problem.empty())
        result = write_written(plan.inputs, plan.output, out);
    return result;
}

bool takes_palette_alone(const command_line& line)
{
    return line.names.empty() && is_given(line, "--palette");
}

bool takes_anything(const command_line&)
{
    return true;
}

// The usage error for --palette FILE whose ending names no palette that can be written
// (`alone`) or read.
std::string palette_misuse(const std::string& path, bool alone)
{
    std::string endings;
    for (const format_row& each : format_table())
        if (alone ? each.write_palette != nullptr : each.read_palette != nullptr)
            endings += std::string(endings.empty() ? "" : ", ") + std::string(each.ending);
    return std::string(alone ? "--palette writes " : "--palette reads ") + endings + ", not '" + path + "'";
}

std::string plan_palette_alone(const command_line& line, job& work)
{
    if (line.given.size() > 1)
        return "--palette FILE alone takes no other options";
    work.output = line.how.palette_path;
    work.output_format = format_of(work.output);
    if (!work.output_format || !work.output_format->write_palette)
        return palette_misuse(work.output, true);
    return "";
}

// --palette FILE alone: the 16 colours in the format FILE's ending names.
complaint write_palette(const job& work, complaint&)
{
    written out;
    complaint result{work.output, work.output_format->write_palette(out)};
    if (result.problem.empty())
        result = write_written({}, work.output, out);
    return result;
}

constexpr std::array modes = {
    mode_row{.name = "palette", .bit = in_palette, .takes = takes_palette_alone, .plan = plan_palette_alone,
             .run = write_palette, .section = "Animations",
             // The other use of --palette, with files to convert, is an option of every mode.
             .help = "pixconv --palette FILE                        the 16 colours for other programs",
             .outputs = {"FILE"}},
    mode_row{.name = "convert", .bit = in_convert, .takes = takes_anything, .plan = plan_conversion,
             .run = run_conversion},
};

} // namespace

std::span<const mode_row> convert_modes()
{
    return modes;
}

std::string plan_conversion(const command_line& line, job& plan)
{
    if (line.names.size() != 2)
        return line.names.size() < 2 ? "an input and an output file are needed" : "too many file names";
    plan.mode = &modes[1];
    plan.inputs = {line.names[0]};
    plan.output = line.names[1];
    plan.how = line.how;
    plan.how.output_path = plan.output;
    if (std::string problem = find_formats(line, plan); !problem.empty())
        return problem;
    if (std::string problem = choose_content(line, plan); !problem.empty())
        return problem;
    // Options that do nothing for these files are surely a slip; say so rather than ignore them.
    if (std::string problem = check_options(line, plan); !problem.empty())
        return problem;
    return choose_name(line, plan);
}

std::string plan_palette(const command_line& line, const format_row*& row)
{
    row = format_of(line.how.palette_path);
    return row && row->read_palette ? "" : palette_misuse(line.how.palette_path, false);
}

complaint read_palette_file(const std::string& path, const format_row* row, colour_set& colours)
{
    colours = editor_colours();
    if (!row)
        return {};
    std::vector<std::uint8_t> data;
    std::string problem = read_whole(path, data);
    if (problem.empty())
        problem = row->read_palette(data, colours);
    return {path, problem};
}
