#include "pixconv/pixconv_game.hpp"

#include "art/bitmap.hpp"
#include "formats/godotfile.hpp"
#include "formats/tiledfile.hpp"
#include "pixconv/pixconv_formats.hpp"
#include "pixconv/pixconv_frames.hpp"
#include "pixconv/pixconv_options.hpp"
#include "pixconv/pixconv_sheets.hpp"

#include <algorithm>
#include <array>

namespace {

// A problem with the command line that only the files show.
complaint usage_problem(const std::string& message)
{
    return {"", message, true};
}

// Every frame's milliseconds, by frame_duration_ms; 0 ms is refused.
complaint frame_durations(const job& work, const frame_set& set, std::vector<std::uint32_t>& durations)
{
    for (std::size_t i = 0; i < set.sprites.size(); ++i) {
        atlas_frame frame;
        frame.duration_ms = set.durations_ms[i];
        durations.push_back(frame_duration_ms(work.how, &frame));
        if (durations.back() == 0)
            return {replace_ending(work.inputs.front(), ".json"),
                    "frame \"" + set.names[i] + "\" lasts 0 ms; give every frame a time with --delay"};
    }
    return {};
}

// The name the files carry: --name, or the output's name without its ending.
std::string chosen_name(const job& work)
{
    return work.how.name.empty() ? replace_ending(base_name(work.output), "") : work.how.name;
}

complaint tileset_text(const job& work, const frame_set& set, const atlas& layout,
                 std::span<const std::uint32_t> durations, std::string& text)
{
    for (std::size_t i = 1; i < set.sprites.size(); ++i)
        if (set.sprites[i].width != set.sprites[0].width || set.sprites[i].height != set.sprites[0].height)
            return usage_problem("the tiles of a tileset must all have one size, but " + set.names[0] + " is " +
                                 std::to_string(set.sprites[0].width) + " x " + std::to_string(set.sprites[0].height) +
                                 " and " + set.names[i] + " " + std::to_string(set.sprites[i].width) + " x " +
                                 std::to_string(set.sprites[i].height));
    tileset tiles;
    tiles.name = chosen_name(work);
    tiles.image = layout.image;
    tiles.image_width = layout.width;
    tiles.image_height = layout.height;
    tiles.tile_width = layout.frames.front().area.width;
    tiles.tile_height = layout.frames.front().area.height;
    tiles.tile_count = static_cast<std::uint32_t>(layout.frames.size());
    tiles.columns = static_cast<std::uint32_t>(std::count_if(
        layout.frames.begin(), layout.frames.end(), [](const atlas_frame& frame) { return frame.area.y == 0; }));
    tiles.spacing = work.how.padding;
    for (std::uint32_t i = 0; work.how.animation && i < tiles.tile_count; ++i)
        tiles.animation.push_back({i, durations[i]});
    if (std::string problem = write_tsx(tiles, text); !problem.empty())
        return {work.output, problem};
    return {};
}

complaint sprite_frames_text(const job& work, const frame_set& set, atlas& layout,
                       std::span<const std::uint32_t> durations, std::string& text)
{
    for (std::size_t i = 1; work.how.godot == 3 && i < durations.size(); ++i)
        if (durations[i] != durations[0])
            return usage_problem("--godot 3 plays every frame for as long, but " + set.names[0] + " lasts " +
                                 std::to_string(durations[0]) + " ms and " + set.names[i] + " " +
                                 std::to_string(durations[i]) + " ms; give one time with --delay, or write for 4");
    sprite_frames frames;
    frames.animation = chosen_name(work);
    frames.image = layout.image;
    for (std::size_t i = 0; i < layout.frames.size(); ++i) {
        layout.frames[i].duration_ms = durations[i];
        frames.frames.push_back(layout.frames[i]);
    }
    if (std::string problem = write_sprite_frames(frames, work.how.godot, text); !problem.empty())
        return {work.output, problem};
    return {};
}

complaint run_game_export(const job& work, complaint&)
{
    const bool tiles = work.mode->bit == in_tileset;
    frame_set set;
    std::vector<std::uint32_t> durations;
    if (complaint read = read_frames(work.inputs, work.how.scale, work.how.nearest, set); !read.problem.empty())
        return read;
    if (complaint timed = frame_durations(work, set, durations); !timed.problem.empty())
        return timed;
    const std::string png_path = replace_ending(work.output, ".png");
    std::vector<std::uint8_t> png;
    atlas layout;
    if (std::string problem = pack_sheet(set.sprites, set.names, pack_options_of(work.how), png, layout); !problem.empty())
        return {png_path, problem};
    layout.image = base_name(png_path);
    std::string text;
    complaint made = tiles ? tileset_text(work, set, layout, durations, text)
                           : sprite_frames_text(work, set, layout, durations, text);
    if (!made.problem.empty())
        return made;
    return write_outputs(set.read, {{png_path, png}, {work.output, {text.begin(), text.end()}}});
}

std::string plan_tileset(const command_line& line, job& work)
{
    if (line.how.delay_ms && !line.how.animation)
        return "--delay applies to an animation: add --animation to animate tile 0";
    return plan_sheet_job(line, work);
}

bool takes_tileset(const command_line& line)
{
    return sheet_mode_of(line) == sheet_mode::tileset;
}

bool takes_sprite_frames(const command_line& line)
{
    return sheet_mode_of(line) == sheet_mode::sprite_frames;
}

constexpr std::string_view game_section = "Into the game (instead of sprite files, SHEET.png with SHEET.json beside it)";

constexpr std::array modes = {
    mode_row{.name = "tileset", .bit = in_tileset, .takes = takes_tileset, .plan = plan_tileset,
             .run = run_game_export, .section = game_section,
             .help = "pixconv [options] SPRITE.spr... TILES.tsx     a tileset: TILES.png and TILES.tsx",
             .inputs = {mode_file{".spr", "SPRITE", true}}, .outputs = {"TILES.tsx"}},
    mode_row{.name = "sprite-frames", .bit = in_sprite_frames, .takes = takes_sprite_frames, .plan = plan_sheet_job,
             .run = run_game_export, .section = game_section,
             .help = "pixconv [options] SPRITE.spr... WALK.tres     sprite frames: WALK.png and WALK.tres",
             .inputs = {mode_file{".spr", "SPRITE", true}}, .outputs = {"WALK.tres"}},
};

} // namespace

std::span<const mode_row> game_modes()
{
    return modes;
}
