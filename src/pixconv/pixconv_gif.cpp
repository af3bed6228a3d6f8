// GIF through giflib: a format row that reads and writes sprites and animations, and
// the mode that splits an animation into sprite files. The build has it where giflib is
// (src/pixconv/CMakeLists.txt).
#include "art/bitmap.hpp"
#include "formats/giffile.hpp"
#include "pixconv/pixconv_animations.hpp"
#include "pixconv/pixconv_features.hpp"
#include "pixconv/pixconv_formats.hpp"
#include "pixconv/pixconv_names.hpp"
#include "pixconv/pixconv_sheets.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

std::string write_gif_sprite(const bitmap& sprite, const settings& how, written& out)
{
    if (sprite.width == 0 || sprite.height == 0)
        return "the sprite has no pixels";
    return write_gif(still_animation(sprite, how), how.scale, out.bytes);
}

// A GIF of one frame is a sprite; one of many is cut into sprite files instead.
std::string read_gif_sprite(std::span<const std::uint8_t> data, const settings& how, bitmap& sprite, std::string&)
{
    animation read;
    if (std::string problem = read_gif(data, how.nearest, read); !problem.empty())
        return problem;
    if (read.frames.size() > 1)
        return "the GIF holds " + std::to_string(read.frames.size()) +
               " frames; name a folder or a pattern such as walk-%02d.spr to write them all";
    bitmap result{};
    if (allocate_bitmap(static_cast<std::uint8_t>(read.width), static_cast<std::uint8_t>(read.height), result) != 0) {
        std::free(result.bitmap);
        return "out of memory";
    }
    std::copy(read.frames[0].begin(), read.frames[0].end(), result.bitmap);
    sprite = result;
    return "";
}
// Browsers show a GIF delay of 10 ms or less as 100 ms: a warning, or "".
std::string fast_gif_frames(const animation& movie)
{
    const auto fast = std::find_if(movie.durations_ms.begin(), movie.durations_ms.end(),
                                   [](std::uint32_t ms) { return ms < gif_fastest_shown_ms; });
    if (fast == movie.durations_ms.end())
        return "";
    return "frame " + std::to_string(fast - movie.durations_ms.begin()) + " lasts " + std::to_string(*fast) +
           " ms; browsers show GIF frames under " + std::to_string(gif_fastest_shown_ms) +
           " ms more slowly, often for 100 ms";
}

// Frame i's file: the pattern's number, or in a folder the GIF's name and the number
// with as many digits as the last one has ("walk-07.spr" of 12 frames).
std::string frame_path(const job& work, std::size_t index, std::size_t count)
{
    if (!names_a_folder(work.output))
        return numbered_name(work.output, static_cast<std::uint32_t>(index));
    const std::string digits = std::to_string(std::to_string(count - 1).size());
    const std::string folder = work.output.back() == '/' ? work.output : work.output + "/";
    return numbered_name(folder + replace_ending(base_name(work.inputs.front()), "") + "-%0" + digits + "d.spr",
                         static_cast<std::uint32_t>(index));
}

// Each frame goes into its temporary file as soon as it is composed, so that only one
// frame is held however many the GIF has; all of them take their places at the end.
complaint run_split(const job& work, complaint&)
{
    const std::string& path = work.inputs.front();
    std::vector<std::uint8_t> data;
    if (std::string problem = read_whole(path, data); !problem.empty())
        return {path, problem};
    std::vector<std::string> paths;
    const std::size_t count = count_gif_frames(data);
    for (std::size_t i = 0; i < count; ++i)
        paths.push_back(frame_path(work, i, count));
    output_set outputs;
    if (complaint refused = open_outputs(work.inputs, paths, outputs); !refused.problem.empty())
        return refused;
    complaint staged;
    const gif_frame_taker take = [&](animation& so_far) {
        const std::size_t index = so_far.frames.size() - 1;
        if (index >= paths.size())
            return std::string("the file is damaged (a frame after its end)");
        bitmap sprite{static_cast<std::uint8_t>(so_far.height), static_cast<std::uint8_t>(so_far.width),
                      so_far.frames.back().data()};
        staged = stage_output(outputs, index, write_sprite_file(sprite));
        return staged.problem;
    };
    animation header;
    if (std::string problem = read_gif_frames(data, work.how.nearest, take, header); !problem.empty())
        return staged.problem.empty() ? complaint{path, problem} : staged;
    return commit_outputs(outputs);
}
bool takes_split(const command_line& line)
{
    const std::vector<std::string>& names = line.names;
    if (names.size() != 2 || !ends_with(names.front(), ".gif") || takes_animation_files(line) ||
        sheet_mode_of(line) != sheet_mode::none)
        return false;
    const format_row* output = format_of(names.back());
    return !(output && output->write_animation) &&
           (names.back().find('%') != std::string::npos || names_a_folder(names.back()));
}

std::string plan_split(const command_line& line, job& work)
{
    if (std::string problem = plan_animation(line, work); !problem.empty())
        return problem;
    if (names_a_folder(work.output))
        return is_folder(work.output) ? "" : work.output + ": no such folder";
    if (!ends_with(work.output, ".spr"))
        return work.output + ": the frames are written as sprite files, named ...%d.spr";
    return check_name_pattern(work.output);
}

constexpr std::array formats = {
    format_row{.ending = ".gif", .family = "GIF", .content = holds::a_sprite,
               .read_sprite = read_gif_sprite, .write_sprite = write_gif_sprite,
               .help = ".gif             GIF: sprites as an animation, or its frames back (read, write)",
               .write_animation = write_gif, .warn_animation = fast_gif_frames, .follows = ".png"},
};

constexpr std::array modes = {
    mode_row{.name = "split", .bit = in_split, .takes = takes_split, .plan = plan_split, .run = run_split,
             .refusal = " does not apply to splitting a GIF into sprites", .section = "Animations",
             .help = "pixconv [--nearest] ANIMATION.gif FOLDER/ or NAME%02d.spr   every frame",
             .inputs = {mode_file{".gif", "ANIMATION"}}, .outputs = {"FOLDER/", "NAME%02d.spr"},
             .follows = "animate-sheet"},
};

} // namespace

extern const pixconv_feature gif_feature;
const pixconv_feature gif_feature{formats, {}, modes};
