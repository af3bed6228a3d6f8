#include "pixconv/pixconv_animations.hpp"

#include "art/bitmap.hpp"
#include "pixconv/pixconv_formats.hpp"
#include "pixconv/pixconv_frames.hpp"
#include "pixconv/pixconv_names.hpp"
#include "pixconv/pixconv_options.hpp"
#include "pixconv/pixconv_sheets.hpp"

#include <algorithm>
#include <array>

bool takes_animation_files(const command_line& line)
{
    const std::vector<std::string>& names = line.names;
    if (names.size() < 2 || sheet_mode_of(line) != sheet_mode::none)
        return false;
    const format_row* output = format_of(names.back());
    if (output && output->write_animation) {
        const bool sprites = names.size() > 2 && std::all_of(names.begin(), names.end() - 1, [](const std::string& name) {
                                 return ends_with(name, ".spr");
                             });
        const bool sheet = names.size() == 2 && ends_with(names.front(), ".png") &&
                           path_exists(replace_ending(names.front(), ".json"));
        return sprites || sheet;
    }
    return false;
}

std::string plan_animation(const command_line& line, job& work, std::string_view also_refused)
{
    if (std::string problem = check_options(line, work, also_refused); !problem.empty())
        return problem;
    work.inputs.assign(line.names.begin(), line.names.end() - 1);
    work.output = line.names.back();
    work.how = line.how;
    return "";
}

namespace {

// Draws `sprite` at the top left of a new frame of `movie`, whose canvas is already sized.
void add_frame(animation& movie, const bitmap& sprite, std::uint32_t duration_ms)
{
    std::vector<std::uint8_t> frame(std::size_t{movie.width} * movie.height, transparent);
    for (std::uint32_t y = 0; y < sprite.height; ++y)
        std::copy_n(sprite.bitmap + std::size_t{sprite.width} * y, sprite.width,
                    frame.begin() + static_cast<std::ptrdiff_t>(std::size_t{movie.width} * y));
    movie.frames.push_back(std::move(frame));
    movie.durations_ms.push_back(duration_ms);
}

complaint run_make(const job& work, complaint& warning)
{
    frame_set sources;
    const bool from_sheet = ends_with(work.inputs.front(), ".png");
    if (complaint read = read_frames(work.inputs, 1, work.how.nearest, sources); !read.problem.empty())
        return read;
    if (from_sheet && sources.sprites.empty())
        return {replace_ending(work.inputs.front(), ".json"), "the atlas holds no frame"};
    animation movie;
    movie.loops = work.how.loops;
    for (std::size_t i = 0; i < sources.sprites.size(); ++i) {
        if (sources.sprites[i].width == 0 || sources.sprites[i].height == 0)
            return {from_sheet ? work.inputs.front() : work.inputs[i], "the sprite has no pixels"};
        movie.width = std::max<std::uint32_t>(movie.width, sources.sprites[i].width);
        movie.height = std::max<std::uint32_t>(movie.height, sources.sprites[i].height);
    }
    for (std::size_t i = 0; i < sources.sprites.size(); ++i) {
        atlas_frame timed;
        timed.duration_ms = sources.durations_ms[i];
        add_frame(movie, sources.sprites[i], frame_duration_ms(work.how, &timed));
    }
    std::vector<std::uint8_t> bytes;
    const format_row& format = *format_of(work.output);
    if (std::string problem = format.write_animation(movie, work.how.scale, bytes); !problem.empty())
        return {work.output, problem};
    warning.path = work.output;
    warning.problem = format.warn_animation ? format.warn_animation(movie) : "";
    return write_outputs(sources.read, {{work.output, std::move(bytes)}});
}

bool takes_sprites(const command_line& line)
{
    return takes_animation_files(line) && !ends_with(line.names.front(), ".png");
}

bool takes_sheet(const command_line& line)
{
    return takes_animation_files(line) && ends_with(line.names.front(), ".png");
}

// --nearest changes colours read from a PNG, which sprite files have none of.
std::string plan_from_sprites(const command_line& line, job& work)
{
    return plan_animation(line, work, "--nearest");
}

std::string plan_from_sheet(const command_line& line, job& work)
{
    return plan_animation(line, work);
}

constexpr std::string_view refusal = " does not apply to making an animation from these files";

constexpr std::array modes = {
    mode_row{.name = "animate-sprites", .bit = in_make, .takes = takes_sprites, .plan = plan_from_sprites,
             .run = run_make, .refusal = refusal, .section = "Animations",
             .help = "pixconv [options] SPRITE.spr... {animations}   one frame per sprite",
             .inputs = {mode_file{".spr", "SPRITE", true}}, .outputs = {"{animations}"}},
    mode_row{.name = "animate-sheet", .bit = in_make, .takes = takes_sheet, .plan = plan_from_sheet,
             .run = run_make, .refusal = refusal, .section = "Animations",
             .help = "pixconv [options] SHEET.png {animations}       the frames of SHEET.json",
             .inputs = {mode_file{".png", "SHEET"}}, .outputs = {"{animations}"}},
};

} // namespace

std::span<const mode_row> animation_modes()
{
    return modes;
}
