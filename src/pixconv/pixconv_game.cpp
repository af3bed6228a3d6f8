#include "pixconv/pixconv_game.hpp"

#include "art/bitmap.hpp"
#include "formats/godotfile.hpp"
#include "formats/tiledfile.hpp"
#include "pixconv/pixconv_formats.hpp"

#include <algorithm>

namespace {

// A problem with the command line that only the files show.
complaint usage_problem(const std::string& message)
{
    return {"", message, true};
}

// Every frame's milliseconds, by frame_duration_ms; 0 ms is refused.
complaint frame_durations(const sheet_job& job, const frame_set& set, std::vector<std::uint32_t>& durations)
{
    settings how;
    how.delay_ms = job.game.delay_ms;
    for (std::size_t i = 0; i < set.sprites.size(); ++i) {
        atlas_frame frame;
        frame.duration_ms = set.durations_ms[i];
        durations.push_back(frame_duration_ms(how, &frame));
        if (durations.back() == 0)
            return {with_ending(job.inputs.front(), 4, ".json"),
                    "frame \"" + set.names[i] + "\" lasts 0 ms; give every frame a time with --delay"};
    }
    return {};
}

// The name the files carry: --name, or the output's name without its ending.
std::string chosen_name(const sheet_job& job, std::size_t ending)
{
    const std::string file = base_name(job.output);
    return job.game.name.empty() ? file.substr(0, file.size() - ending) : job.game.name;
}

complaint tileset_text(const sheet_job& job, const frame_set& set, const atlas& layout,
                 std::span<const std::uint32_t> durations, std::string& text)
{
    for (std::size_t i = 1; i < set.sprites.size(); ++i)
        if (set.sprites[i].width != set.sprites[0].width || set.sprites[i].height != set.sprites[0].height)
            return usage_problem("the tiles of a tileset must all have one size, but " + set.names[0] + " is " +
                                 std::to_string(set.sprites[0].width) + " x " + std::to_string(set.sprites[0].height) +
                                 " and " + set.names[i] + " " + std::to_string(set.sprites[i].width) + " x " +
                                 std::to_string(set.sprites[i].height));
    tileset tiles;
    tiles.name = chosen_name(job, 4);
    tiles.image = layout.image;
    tiles.image_width = layout.width;
    tiles.image_height = layout.height;
    tiles.tile_width = layout.frames.front().area.width;
    tiles.tile_height = layout.frames.front().area.height;
    tiles.tile_count = static_cast<std::uint32_t>(layout.frames.size());
    tiles.columns = static_cast<std::uint32_t>(std::count_if(
        layout.frames.begin(), layout.frames.end(), [](const atlas_frame& frame) { return frame.area.y == 0; }));
    tiles.spacing = job.pack.padding;
    for (std::uint32_t i = 0; job.game.animation && i < tiles.tile_count; ++i)
        tiles.animation.push_back({i, durations[i]});
    if (std::string problem = write_tsx(tiles, text); !problem.empty())
        return {job.output, problem};
    return {};
}

complaint sprite_frames_text(const sheet_job& job, const frame_set& set, atlas& layout,
                       std::span<const std::uint32_t> durations, std::string& text)
{
    for (std::size_t i = 1; job.game.godot == 3 && i < durations.size(); ++i)
        if (durations[i] != durations[0])
            return usage_problem("--godot 3 plays every frame for as long, but " + set.names[0] + " lasts " +
                                 std::to_string(durations[0]) + " ms and " + set.names[i] + " " +
                                 std::to_string(durations[i]) + " ms; give one time with --delay, or write for 4");
    sprite_frames frames;
    frames.animation = chosen_name(job, 5);
    frames.image = layout.image;
    for (std::size_t i = 0; i < layout.frames.size(); ++i) {
        layout.frames[i].duration_ms = durations[i];
        frames.frames.push_back(layout.frames[i]);
    }
    if (std::string problem = write_sprite_frames(frames, job.game.godot, text); !problem.empty())
        return {job.output, problem};
    return {};
}

} // namespace

complaint run_game_export(const sheet_job& job)
{
    const bool tiles = job.mode == sheet_mode::tileset;
    frame_set set;
    std::vector<std::uint32_t> durations;
    if (complaint read = read_frames(job.inputs, job.scale, job.nearest, set); !read.problem.empty())
        return read;
    if (complaint timed = frame_durations(job, set, durations); !timed.problem.empty())
        return timed;
    const std::string png_path = with_ending(job.output, tiles ? 4 : 5, ".png");
    std::vector<std::uint8_t> png;
    atlas layout;
    if (std::string problem = pack_sheet(set.sprites, set.names, job.pack, png, layout); !problem.empty())
        return {png_path, problem};
    layout.image = base_name(png_path);
    std::string text;
    complaint made = tiles ? tileset_text(job, set, layout, durations, text)
                           : sprite_frames_text(job, set, layout, durations, text);
    if (!made.problem.empty())
        return made;
    return write_outputs(set.read, {{png_path, png}, {job.output, {text.begin(), text.end()}}});
}
