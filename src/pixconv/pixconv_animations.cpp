#include "pixconv/pixconv_animations.hpp"

#include "art/bitmap.hpp"
#include "formats/apngfile.hpp"
#include "formats/pngimage.hpp"
#include "formats/spritesheet.hpp"
#include "pixconv/pixconv_names.hpp"
#include "pixconv/pixconv_sheets.hpp"
#ifdef PIXCONV_GIF
#include "formats/giffile.hpp"
#endif

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

namespace {

bool exists(const std::string& path, bool folder)
{
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && (!folder || S_ISDIR(st.st_mode));
}

bool names_a_folder(const std::string& name)
{
    return !name.empty() && (name.back() == '/' || exists(name, true));
}

std::string atlas_beside(const std::string& sheet)
{
    return sheet.substr(0, sheet.size() - 4) + ".json";
}

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

// Browsers show a GIF delay of 10 ms or less as 100 ms: a warning, or "".
std::string fast_gif_frames(const animation_job& job, const animation& movie)
{
#ifdef PIXCONV_GIF
    const auto fast = std::find_if(movie.durations_ms.begin(), movie.durations_ms.end(),
                                   [](std::uint32_t ms) { return ms < gif_fastest_shown_ms; });
    if (fast != movie.durations_ms.end() && ends_with(job.output, ".gif"))
        return "frame " + std::to_string(fast - movie.durations_ms.begin()) + " lasts " + std::to_string(*fast) +
               " ms; browsers show GIF frames under " + std::to_string(gif_fastest_shown_ms) +
               " ms more slowly, often for 100 ms";
#else
    (void)job;
    (void)movie;
#endif
    return "";
}

complaint run_make(const animation_job& job, std::string& warning)
{
    frame_set sources;
    const bool from_sheet = ends_with(job.inputs.front(), ".png");
    if (complaint read = read_frames(job.inputs, 1, job.how.nearest, sources); !read.problem.empty())
        return read;
    if (from_sheet && sources.sprites.empty())
        return {atlas_beside(job.inputs.front()), "the atlas holds no frame"};
    animation movie;
    movie.loops = job.how.loops;
    for (std::size_t i = 0; i < sources.sprites.size(); ++i) {
        if (sources.sprites[i].width == 0 || sources.sprites[i].height == 0)
            return {from_sheet ? job.inputs.front() : job.inputs[i], "the sprite has no pixels"};
        movie.width = std::max<std::uint32_t>(movie.width, sources.sprites[i].width);
        movie.height = std::max<std::uint32_t>(movie.height, sources.sprites[i].height);
    }
    for (std::size_t i = 0; i < sources.sprites.size(); ++i) {
        atlas_frame timed;
        timed.duration_ms = sources.durations_ms[i];
        add_frame(movie, sources.sprites[i], frame_duration_ms(job.how, &timed));
    }
    std::vector<std::uint8_t> bytes;
    std::string problem;
#ifdef PIXCONV_GIF
    if (ends_with(job.output, ".gif"))
        problem = write_gif(movie, job.how.scale, bytes);
    else
#endif
        problem = write_apng(movie, job.how.scale, bytes);
    if (!problem.empty())
        return {job.output, problem};
    warning = fast_gif_frames(job, movie);
    return write_outputs(sources.read, {{job.output, std::move(bytes)}});
}

#ifdef PIXCONV_GIF
// Frame i's file: the pattern's number, or in a folder the GIF's name and the number
// with as many digits as the last one has ("walk-07.spr" of 12 frames).
std::string frame_path(const animation_job& job, std::size_t index, std::size_t count)
{
    if (!names_a_folder(job.output))
        return numbered_name(job.output, static_cast<std::uint32_t>(index));
    const std::string& gif = job.inputs.front();
    const std::string name = gif.substr(gif.find_last_of('/') + 1);
    const std::string digits = std::to_string(std::to_string(count - 1).size());
    const std::string folder = job.output.back() == '/' ? job.output : job.output + "/";
    return numbered_name(folder + name.substr(0, name.size() - 4) + "-%0" + digits + "d.spr",
                         static_cast<std::uint32_t>(index));
}

// Each frame goes into its temporary file as soon as it is composed, so that only one
// frame is held however many the GIF has; all of them take their places at the end.
complaint run_split(const animation_job& job)
{
    const std::string& path = job.inputs.front();
    std::vector<std::uint8_t> data;
    if (std::string problem = read_whole(path, data); !problem.empty())
        return {path, problem};
    std::vector<std::string> paths;
    const std::size_t count = count_gif_frames(data);
    for (std::size_t i = 0; i < count; ++i)
        paths.push_back(frame_path(job, i, count));
    output_set outputs;
    if (complaint refused = open_outputs(job.inputs, paths, outputs); !refused.problem.empty())
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
    if (std::string problem = read_gif_frames(data, job.how.nearest, take, header); !problem.empty())
        return staged.problem.empty() ? complaint{path, problem} : staged;
    return commit_outputs(outputs);
}
#endif

} // namespace

animation_mode animation_mode_of(const std::vector<std::string>& names)
{
    if (names.size() < 2)
        return animation_mode::none;
    const std::string& last = names.back();
    const format_row* output = format_of(last);
    if (output && (output->family == "GIF" || output->family == "APNG")) {
        const bool sprites = names.size() > 2 && std::all_of(names.begin(), names.end() - 1, [](const std::string& name) {
                                 return ends_with(name, ".spr");
                             });
        const bool sheet = names.size() == 2 && ends_with(names.front(), ".png") &&
                           exists(atlas_beside(names.front()), false);
        return sprites || sheet ? animation_mode::make : animation_mode::none;
    }
#ifdef PIXCONV_GIF
    if (names.size() == 2 && ends_with(names.front(), ".gif") &&
        (last.find('%') != std::string::npos || names_a_folder(last)))
        return animation_mode::split;
#endif
    return animation_mode::none;
}

std::string check_animation_names(animation_job& job)
{
    if (job.mode != animation_mode::split || names_a_folder(job.output)) {
        if (job.mode == animation_mode::split && !exists(job.output, true))
            return job.output + ": no such folder";
        return "";
    }
    if (!ends_with(job.output, ".spr"))
        return job.output + ": the frames are written as sprite files, named ...%d.spr";
    return check_name_pattern(job.output);
}

complaint run_animation_job(const animation_job& job, std::string& warning)
{
#ifdef PIXCONV_GIF
    if (job.mode == animation_mode::split)
        return run_split(job);
#endif
    return run_make(job, warning);
}
