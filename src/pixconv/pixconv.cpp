#include "pixconv/pixconv.hpp"

#include "pixconv/pixconv_formats.hpp"
#include "pixconv/pixconv_options.hpp"
#include "pixconv/pixconv_sheets.hpp"
#include "pixconv/pixconv_files.hpp"
#ifdef PIXCONV_WATCH
#include "pixconv/pixconv_watch.hpp"
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace {

// A complaint about the command line: one line, status 2.
int usage_error(const std::string& message)
{
    std::fprintf(stderr, "pixconv: %s (see pixconv --help)\n", message.c_str());
    return 2;
}

// A failed conversion: one line naming the file to blame, status 1; or a usage error
// that only the files showed, status 2, naming the file when there is one (an output
// that is an input).
int failure(const complaint& what)
{
    if (what.usage && what.path.empty())
        return usage_error(what.problem);
    std::fprintf(stderr, "pixconv: %s: %s\n", what.path.c_str(), what.problem.c_str());
    return what.usage ? 2 : 1;
}

// Reads the input as a sprite and writes it into `out`.
complaint convert_sprite(const conversion& plan, const std::vector<std::uint8_t>& input, written& out)
{
    bitmap sprite{};
    std::string warning; // no sprite reader warns today
    if (std::string problem = plan.input->read_sprite(input, plan.how, sprite, warning); !problem.empty())
        return {plan.input_path, problem};
    std::string problem = plan.output->write_sprite(sprite, plan.how, out);
    std::free(sprite.bitmap);
    return {plan.output_path, problem};
}

// Reads the input as a font and writes it into `out`; a reader's warning is kept.
complaint convert_font(const conversion& plan, const std::vector<std::uint8_t>& input, written& out,
                       std::string& warning)
{
    struct font result {};
    if (std::string problem = plan.input->read_font(input, plan.how, result, warning); !problem.empty())
        return {plan.input_path, problem};
    return {plan.output_path, plan.output->write_font(result, plan.how, out)};
}

// The companions and the main output, all or none, never over one of `inputs`.
complaint write_written(const std::vector<std::string>& inputs, const std::string& path, written& out)
{
    std::vector<output_file> files = std::move(out.companions);
    files.push_back({path, std::move(out.bytes)});
    return write_outputs(inputs, files);
}

// The default mode: one input read whole, converted, and written only when all went
// well. A font reader's warning goes into `warning`.
complaint convert_one(const conversion& plan, std::string& warning)
{
    std::vector<std::uint8_t> input;
    if (std::string problem = read_whole(plan.input_path, input, plan.input->bytes_used); !problem.empty())
        return {plan.input_path, problem};
    written out;
    complaint result = plan.sprite ? convert_sprite(plan, input, out) : convert_font(plan, input, out, warning);
    if (result.problem.empty())
        result = write_written({plan.input_path}, plan.output_path, out);
    return result;
}

// The planned work: a sheet mode, else an animation mode, else one input into one output.
struct planned {
    sheet_job sheets;
    animation_job movie;
    conversion plan;
};

const std::string& first_input(const planned& work)
{
    if (work.sheets.mode != sheet_mode::none)
        return work.sheets.inputs.front();
    return work.movie.mode != animation_mode::none ? work.movie.inputs.front() : work.plan.input_path;
}

// Runs the planned work; a warning that does not stop it goes into `warning`, with
// the file it is about.
complaint run(const planned& work, complaint& warning)
{
    // Every size is bounded before memory is taken, so this is a machine short of memory.
    try {
        if (work.sheets.mode != sheet_mode::none)
            return run_sheet_job(work.sheets);
        if (work.movie.mode != animation_mode::none) {
            warning.path = work.movie.output;
            return run_animation_job(work.movie, warning.problem);
        }
        warning.path = work.plan.input_path;
        return convert_one(work.plan, warning.problem);
    } catch (const std::bad_alloc&) {
        return {first_input(work), "there is not enough memory to convert it"};
    }
}

#ifdef PIXCONV_WATCH
// The files a conversion reads: every name but the output, and beside a PNG the atlas
// or tileset that may say where its frames lie.
std::vector<std::string> watched_inputs(const std::vector<std::string>& names)
{
    std::vector<std::string> inputs(names.begin(), names.end() - 1);
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        if (!format_of(names[i]) || format_of(names[i])->family != "PNG")
            continue;
        inputs.push_back(names[i].substr(0, names[i].size() - 4) + ".json");
        inputs.push_back(names[i].substr(0, names[i].size() - 4) + ".tsx");
    }
    return inputs;
}
#endif

// --palette FILE alone: the 16 colours in the format FILE's ending names.
int write_palette(const command_line& line)
{
    const format_row* row = nullptr;
    if (std::string problem = plan_palette(line, row); !problem.empty())
        return usage_error(problem);
    written out;
    complaint result{line.how.palette_path, row->write_palette(out)};
    if (result.problem.empty())
        result = write_written({}, line.how.palette_path, out);
    return result.problem.empty() ? 0 : failure(result);
}

// --palette FILE with files to convert: the colours sprite values are drawn in; the
// editors' without it.
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

} // namespace

int pixconv_main(int argc, char** argv)
{
    command_line line;
    if (std::string problem = parse_command_line(argc, argv, line); !problem.empty())
        return usage_error(problem);
    if (line.wanted == action::help) {
        std::fputs(usage_text().c_str(), stdout);
        return 0;
    }
    if (line.wanted == action::version) {
        std::printf("pixconv %s\n", PIXCONV_VERSION);
        return 0;
    }
    const bool palette_given = std::find(line.given.begin(), line.given.end(), "--palette") != line.given.end();
    if (palette_given && line.names.empty())
        return write_palette(line);
    const format_row* palette = nullptr;
    std::string problem = palette_given ? plan_palette(line, palette) : "";
    planned work;
    if (problem.empty())
        problem = plan_sheets(line, work.sheets);
    if (problem.empty() && work.sheets.mode == sheet_mode::none)
        problem = plan_animation(line, work.movie);
    if (problem.empty() && work.sheets.mode == sheet_mode::none && work.movie.mode == animation_mode::none)
        problem = plan_conversion(line, work.plan);
    if (!problem.empty())
        return usage_error(problem);
    const auto convert = [&]() {
        colour_set colours;
        if (complaint read = read_palette_file(line.how.palette_path, palette, colours); !read.problem.empty())
            return failure(read);
        const picture_colours_set in_use(colours);
        complaint warning;
        const complaint result = run(work, warning);
        if (!warning.problem.empty())
            std::fprintf(stderr, "pixconv: %s: warning: %s\n", warning.path.c_str(), warning.problem.c_str());
        return result.problem.empty() ? 0 : failure(result);
    };
#ifdef PIXCONV_WATCH
    if (line.watch) {
        std::vector<std::string> inputs = watched_inputs(line.names);
        if (palette)
            inputs.push_back(line.how.palette_path);
        return watch_and_convert(inputs, line.names.back(), convert);
    }
#endif
    return convert();
}
