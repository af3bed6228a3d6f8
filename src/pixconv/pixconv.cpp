#include "pixconv/pixconv.hpp"

#include "pixconv/pixconv_formats.hpp"
#include "pixconv/pixconv_options.hpp"
#include "pixconv/pixconv_sheets.hpp"
#include "art/savefile.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

// The largest input read: far beyond any sprite, sheet or 256-glyph font, small enough
// that a wrong file name (a disk image, say) fails at once.
constexpr std::size_t max_input_size = 64u << 20;

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

// Reads `path` into `data`, the whole file or its first `bytes_used` bytes when that
// is not 0; "" on success, else what went wrong.
std::string read_input(const std::string& path, std::size_t bytes_used, std::vector<std::uint8_t>& data)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return std::strerror(errno);
    std::vector<std::uint8_t> chunk(65536);
    std::string problem;
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file);
        data.insert(data.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
        if (bytes_used != 0 && data.size() >= bytes_used) {
            data.resize(bytes_used);
            break;
        }
        if (data.size() > max_input_size) {
            problem = "the file is larger than " + std::to_string(max_input_size >> 20) + " MiB";
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

} // namespace

std::string read_whole(const std::string& path, std::vector<std::uint8_t>& data)
{
    return read_input(path, 0, data);
}

namespace {

// Where a conversion failed: the file to blame and what is wrong with it.
struct blame {
    std::string path;
    std::string problem;
};

// Reads the input as a sprite and writes it into `out`; "" problem on success.
blame convert_sprite(const conversion& plan, const std::vector<std::uint8_t>& input, written& out)
{
    bitmap sprite{};
    std::string warning; // no sprite reader warns today
    if (std::string problem = plan.input->read_sprite(input, plan.how, sprite, warning); !problem.empty())
        return {plan.input_path, problem};
    std::string problem = plan.output->write_sprite(sprite, plan.how, out);
    std::free(sprite.bitmap);
    return {plan.output_path, problem};
}

// Reads the input as a font and writes it into `out`; a reader's warning is printed.
blame convert_font(const conversion& plan, const std::vector<std::uint8_t>& input, written& out)
{
    struct font result {};
    std::string warning;
    if (std::string problem = plan.input->read_font(input, plan.how, result, warning); !problem.empty())
        return {plan.input_path, problem};
    if (!warning.empty())
        std::fprintf(stderr, "pixconv: %s: warning: %s\n", plan.input_path.c_str(), warning.c_str());
    return {plan.output_path, plan.output->write_font(result, plan.how, out)};
}

// Writes one file through replace_file; "" on success.
std::string write_file(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    errno = 0;
    if (replace_file(path.c_str(), bytes.data(), bytes.size()) != 0) {
        const char* refusal = save_refusal(path.c_str());
        return std::string("cannot be written: ") + (refusal ? refusal : errno ? std::strerror(errno) : "unknown error");
    }
    return "";
}

// The companions first, so that the main output appears only when all of them did.
blame write_outputs(const std::string& path, const written& out)
{
    for (const companion_file& companion : out.companions)
        if (std::string problem = write_file(companion.path, companion.bytes); !problem.empty())
            return {companion.path, problem};
    return {path, write_file(path, out.bytes)};
}

// The default mode: one input read whole, converted, and written only when all went well.
int convert_one(const conversion& plan)
{
    std::vector<std::uint8_t> input;
    if (std::string problem = read_input(plan.input_path, plan.input->bytes_used, input); !problem.empty())
        return failure(plan.input_path, problem);
    written out;
    blame result = plan.sprite ? convert_sprite(plan, input, out) : convert_font(plan, input, out);
    if (result.problem.empty())
        result = write_outputs(plan.output_path, out);
    return result.problem.empty() ? 0 : failure(result.path, result.problem);
}

// --palette FILE: the 16 colours in the format FILE's ending names.
int write_palette(const command_line& line)
{
    const format_row* row = nullptr;
    if (std::string problem = plan_palette(line, row); !problem.empty())
        return usage_error(problem);
    written out;
    blame result{line.how.palette_path, row->write_palette(out)};
    if (result.problem.empty())
        result = write_outputs(line.how.palette_path, out);
    return result.problem.empty() ? 0 : failure(result.path, result.problem);
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
    if (std::find(line.given.begin(), line.given.end(), "--palette") != line.given.end())
        return write_palette(line);
    sheet_job sheets;
    std::string problem = plan_sheets(line, sheets);
    animation_job movie;
    if (problem.empty() && sheets.mode == sheet_mode::none)
        problem = plan_animation(line, movie);
    conversion plan;
    const bool one_to_one = sheets.mode == sheet_mode::none && movie.mode == animation_mode::none;
    if (problem.empty() && one_to_one)
        problem = plan_conversion(line, plan);
    if (!problem.empty())
        return usage_error(problem);
    // Every size is bounded before memory is taken, so this is a machine short of memory.
    try {
        if (movie.mode != animation_mode::none)
            return run_animation_job(movie);
        return one_to_one ? convert_one(plan) : run_sheet_job(sheets);
    } catch (const std::bad_alloc&) {
        const std::string& blamed = one_to_one ? plan.input_path : !movie.inputs.empty() ? movie.inputs.front()
                                                                                         : sheets.inputs.front();
        return failure(blamed, "there is not enough memory to convert it");
    }
}
