#include "pixconv/pixconv.hpp"

#include "pixconv/pixconv_convert.hpp"
#include "pixconv/pixconv_files.hpp"
#include "pixconv/pixconv_formats.hpp"
#include "pixconv/pixconv_modes.hpp"
#include "pixconv/pixconv_options.hpp"
#include "pixconv/pixconv_tables.hpp"

#include <cstdio>
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
    if (what.path.empty())
        std::fprintf(stderr, "pixconv: %s\n", what.problem.c_str());
    else
        std::fprintf(stderr, "pixconv: %s: %s\n", what.path.c_str(), what.problem.c_str());
    return what.usage ? 2 : 1;
}

// Runs the planned work and prints what happened; returns the exit status.
int run(const job& work)
{
    complaint warning;
    complaint result;
    // Every size is bounded before memory is taken, so this is a machine short of memory.
    try {
        result = work.mode->run(work, warning);
    } catch (const std::bad_alloc&) {
        result = {work.inputs.empty() ? work.output : work.inputs.front(), "there is not enough memory to convert it"};
    }
    if (!warning.problem.empty())
        std::fprintf(stderr, "pixconv: %s: warning: %s\n", warning.path.c_str(), warning.problem.c_str());
    return result.problem.empty() ? 0 : failure(result);
}

// The files a conversion reads: every name but the output, and beside a PNG the atlas
// or tileset that may say where its frames lie.
std::vector<std::string> watched_inputs(const std::vector<std::string>& names)
{
    std::vector<std::string> inputs(names.begin(), names.end() - 1);
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        if (!format_of(names[i]) || format_of(names[i])->family != "PNG")
            continue;
        inputs.push_back(replace_ending(names[i], ".json"));
        inputs.push_back(replace_ending(names[i], ".tsx"));
    }
    return inputs;
}

// Prints what --help, --version or --tables-json ask for.
int print_asked(action wanted)
{
    if (wanted == action::help)
        std::fputs(usage_text().c_str(), stdout);
    else if (wanted == action::tables)
        std::fputs(tables_json().c_str(), stdout);
    else
        std::printf("pixconv %s\n", PIXCONV_VERSION);
    return 0;
}

} // namespace

int pixconv_main(int argc, char** argv)
{
    command_line line;
    if (std::string problem = parse_command_line(argc, argv, line); !problem.empty())
        return usage_error(problem);
    if (line.wanted != action::convert)
        return print_asked(line.wanted);
    job work;
    work.mode = &mode_of(line);
    // --palette FILE with files to convert: the colours to draw sprite values in.
    const format_row* palette = nullptr;
    std::string problem;
    if (work.mode->bit != in_palette && is_given(line, "--palette"))
        problem = plan_palette(line, palette);
    if (problem.empty())
        problem = work.mode->plan(line, work);
    if (!problem.empty())
        return usage_error(problem);
    const auto convert = [&]() {
        colour_set colours;
        if (complaint read = read_palette_file(line.how.palette_path, palette, colours); !read.problem.empty())
            return failure(read);
        const picture_colours_set in_use(colours);
        return run(work);
    };
    if (!line.repeat)
        return convert();
    std::vector<std::string> inputs = watched_inputs(line.names);
    if (palette)
        inputs.push_back(line.how.palette_path);
    const complaint watched = line.repeat(inputs, [&]() {
        if (convert() == 0)
            std::printf("pixconv: %s: written\n", line.names.back().c_str());
        std::fflush(stdout);
        std::fflush(stderr);
    });
    return watched.problem.empty() ? 0 : failure(watched);
}
