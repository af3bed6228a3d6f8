#include "pixconv/pixconv_sheets.hpp"

#include "art/bitmap.hpp"
#include "art/savefile.hpp"
#include "formats/pngimage.hpp"
#include "formats/tiledfile.hpp"
#include "pixconv/pixconv_game.hpp"
#include "pixconv/pixconv_files.hpp"
#include "pixconv/pixconv_names.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <set>

namespace {

bool is_folder(const std::string& path)
{
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path)
{
    struct stat st{};
    return stat(path.c_str(), &st) == 0;
}

} // namespace

std::string base_name(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

std::string with_ending(const std::string& path, std::size_t cut, const std::string& ending)
{
    return path.substr(0, path.size() - cut) + ending;
}

std::string read_atlas_file(const std::string& path, atlas& result)
{
    std::vector<std::uint8_t> json;
    std::string problem = read_whole(path, json);
    return problem.empty() ? read_atlas_json(json, result) : problem;
}

frame_set::~frame_set()
{
    for (bitmap& sprite : sprites)
        std::free(sprite.bitmap);
}

namespace {

complaint read_sprite_files(const std::vector<std::string>& inputs, frame_set& set)
{
    for (const std::string& path : inputs) {
        std::vector<std::uint8_t> data;
        bitmap sprite{};
        std::string problem = read_whole(path, data);
        if (problem.empty())
            problem = read_sprite_file(data, sprite);
        if (!problem.empty())
            return {path, problem};
        set.sprites.push_back(sprite);
        const std::string name = base_name(path);
        set.names.push_back(name.substr(0, name.size() - 4));
        set.durations_ms.emplace_back();
        set.read.push_back(path);
    }
    return {};
}

// The frames of a sheet and its atlas, cut out and read back as sprites.
complaint read_sheet_frames(const std::string& sheet, std::uint32_t scale, bool nearest, frame_set& set)
{
    const std::string json_path = with_ending(sheet, 4, ".json");
    set.read = {sheet, json_path};
    std::vector<std::uint8_t> png;
    if (std::string problem = read_whole(sheet, png); !problem.empty())
        return {sheet, problem};
    atlas layout;
    if (std::string problem = read_atlas_file(json_path, layout); !problem.empty())
        return {json_path, problem};
    std::vector<cut_sprite> cut;
    if (std::string problem = cut_sheet(png, layout.frames, scale, nearest, false, cut); !problem.empty())
        return {sheet, problem};
    for (const cut_sprite& piece : cut) {
        bitmap sprite{};
        if (std::string problem = read_sprite_file(piece.file, sprite); !problem.empty())
            return {sheet, problem};
        set.sprites.push_back(sprite);
        set.names.push_back(layout.frames[piece.frame].name);
        set.durations_ms.push_back(layout.frames[piece.frame].duration_ms);
    }
    return {};
}

} // namespace

complaint read_frames(const std::vector<std::string>& inputs, std::uint32_t scale, bool nearest, frame_set& set)
{
    if (inputs.size() == 1 && ends_with(inputs.front(), ".png"))
        return read_sheet_frames(inputs.front(), scale, nearest, set);
    return read_sprite_files(inputs, set);
}

namespace {

// The tiles of a tileset on the picture `png`, each cut into a file named after its number.
std::string read_tileset_frames(const std::string& path, std::span<const std::uint8_t> png,
                                std::vector<atlas_frame>& frames)
{
    std::vector<std::uint8_t> xml;
    tileset tiles;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::string problem = read_whole(path, xml);
    if (problem.empty())
        problem = read_png_size(png, width, height).empty() ? read_tsx(xml, tiles, width, height) : read_tsx(xml, tiles);
    if (problem.empty())
        frames = tileset_frames(tiles);
    return problem;
}

complaint run_pack(const sheet_job& job)
{
    frame_set set;
    if (complaint read = read_sprite_files(job.inputs, set); !read.problem.empty())
        return read;
    std::vector<std::uint8_t> png;
    atlas layout;
    std::string json;
    std::string problem = pack_sheet(set.sprites, set.names, job.pack, png, layout);
    layout.image = base_name(job.output);
    if (problem.empty())
        problem = write_atlas_json(layout, job.layout, json);
    if (!problem.empty())
        return {job.output, problem};
    const std::string json_path = with_ending(job.output, 4, ".json");
    return write_outputs(job.inputs, {{job.output, png}, {json_path, {json.begin(), json.end()}}});
}

// The frames to cut: the grid's, or the atlas's beside the sheet, with each frame's
// output path.
complaint find_frames(const sheet_job& job, std::span<const std::uint8_t> png, std::vector<atlas_frame>& frames,
                std::vector<std::string>& paths, std::vector<std::string>& inputs)
{
    const std::string& sheet = job.inputs.front();
    if (job.grid) {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        std::string problem = read_png_size(png, width, height);
        if (problem.empty())
            problem = grid_frames(width, height, *job.grid, frames);
        if (!problem.empty())
            return {sheet, problem};
        for (std::size_t i = 0; i < frames.size(); ++i)
            paths.push_back(numbered_name(job.output, static_cast<std::uint32_t>(i)));
        return {};
    }
    const std::string tsx_path = with_ending(sheet, 4, ".tsx");
    std::string json_path = with_ending(sheet, 4, ".json");
    atlas read;
    std::string problem;
    if (!exists(json_path) && exists(tsx_path)) {
        json_path = tsx_path;
        problem = read_tileset_frames(tsx_path, png, read.frames);
    } else {
        problem = read_atlas_file(json_path, read);
    }
    inputs.push_back(json_path);
    if (!problem.empty())
        return {json_path, problem};
    const std::string folder = job.output.back() == '/' ? job.output : job.output + "/";
    std::set<std::string> taken;
    for (const atlas_frame& frame : read.frames) {
        std::string file;
        if (std::string error = frame_file_name(frame.name, file); !error.empty())
            return {json_path, error};
        if (!taken.insert(file).second)
            return {json_path, "two frames would both be cut into " + file};
        paths.push_back(folder + file);
    }
    frames = std::move(read.frames);
    return {};
}

complaint run_cut(const sheet_job& job)
{
    const std::string& sheet = job.inputs.front();
    std::vector<std::uint8_t> png;
    if (std::string problem = read_whole(sheet, png); !problem.empty())
        return {sheet, problem};
    std::vector<atlas_frame> frames;
    std::vector<std::string> paths;
    std::vector<std::string> inputs = job.inputs;
    if (complaint found = find_frames(job, png, frames, paths, inputs); !found.problem.empty())
        return found;
    // Each sprite goes into its temporary file as soon as it is cut, so that only the
    // frames crossing the row being read are held; all take their places at the end.
    output_set outputs;
    if (complaint refused = open_outputs(inputs, paths, outputs); !refused.problem.empty())
        return refused;
    complaint staged;
    const sprite_taker take = [&](cut_sprite& sprite) {
        staged = stage_output(outputs, sprite.frame, sprite.file);
        return staged.problem;
    };
    if (std::string problem = cut_sheet_each(png, frames, job.scale, job.nearest, job.skip_empty, take);
        !problem.empty())
        return staged.problem.empty() ? complaint{sheet, problem} : staged;
    if (outputs.staged.empty())
        return {sheet, "every frame is wholly transparent; with --skip-empty there is nothing to write"};
    return commit_outputs(outputs);
}

bool names_a_folder(const std::string& name)
{
    return !name.empty() && (name.back() == '/' || is_folder(name));
}

} // namespace

std::string parse_count(std::string_view option, std::string_view value, std::uint32_t lowest,
                        std::uint32_t highest, std::uint32_t& number)
{
    const std::string limit = std::to_string(highest);
    const bool digits = !value.empty() && value.size() <= limit.size() &&
                        std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    const unsigned long read = digits ? std::stoul(std::string(value)) : 0;
    if (!digits || read < lowest || read > highest)
        return std::string(option) + " takes a whole number from " + std::to_string(lowest) + " to " + limit +
               ", not '" + std::string(value) + "'";
    number = static_cast<std::uint32_t>(read);
    return "";
}

std::string parse_pair(std::string_view option, std::string_view value, std::uint32_t lowest,
                       std::uint32_t highest, std::uint32_t& first, std::uint32_t& second)
{
    const std::size_t x = value.find('x');
    const std::string shape = std::string(option) + " takes two whole numbers from " + std::to_string(lowest) +
                              " to " + std::to_string(highest) + " as WxH, not '" + std::string(value) + "'";
    if (x == std::string_view::npos)
        return shape;
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    if (!parse_count(option, value.substr(0, x), lowest, highest, a).empty() ||
        !parse_count(option, value.substr(x + 1), lowest, highest, b).empty())
        return shape;
    first = a;
    second = b;
    return "";
}

sheet_mode sheet_mode_of(const std::vector<std::string>& names, bool atlas_given, bool cell_given)
{
    if (names.size() < 2)
        return sheet_mode::none;
    const bool from_sheet = names.size() == 2 && ends_with(names.front(), ".png");
    const bool from_sprites = std::all_of(names.begin(), names.end() - 1,
                                          [](const std::string& name) { return ends_with(name, ".spr"); });
    if (from_sheet || from_sprites) {
        if (ends_with(names.back(), ".tsx"))
            return sheet_mode::tileset;
        if (ends_with(names.back(), ".tres"))
            return sheet_mode::sprite_frames;
    }
    const bool sprites_first = std::all_of(names.begin(), names.end() - 1,
                                           [](const std::string& name) { return ends_with(name, ".spr"); });
    if (sprites_first && ends_with(names.back(), ".png") && (names.size() > 2 || atlas_given))
        return sheet_mode::pack;
    if (names.size() == 2 && ends_with(names.front(), ".png") &&
        (cell_given || names.back().find('%') != std::string::npos || names_a_folder(names.back())))
        return sheet_mode::cut;
    return sheet_mode::none;
}

std::string check_sheet_names(sheet_job& job)
{
    if (job.mode != sheet_mode::cut) {
        std::set<std::string> seen;
        for (const std::string& input : job.inputs) {
            const std::string name = base_name(input);
            if (!seen.insert(name.substr(0, name.size() - 4)).second)
                return "two inputs are named " + name + "; frames are named after their files";
        }
        return "";
    }
    if (job.grid) {
        if (names_a_folder(job.output))
            return "cutting by --cell writes numbered files: name them with a pattern such as tile-%02d.spr";
        if (!ends_with(job.output, ".spr"))
            return job.output + ": the sprites cut are sprite files, named ...%d.spr";
        return check_name_pattern(job.output);
    }
    if (!names_a_folder(job.output))
        return "a numbered output name needs --cell WxH; without it the frames of the atlas are cut into a folder";
    if (!is_folder(job.output))
        return job.output + ": no such folder";
    return "";
}

complaint run_sheet_job(const sheet_job& job)
{
    switch (job.mode) {
    case sheet_mode::pack:
        return run_pack(job);
    case sheet_mode::cut:
        return run_cut(job);
    case sheet_mode::tileset:
    case sheet_mode::sprite_frames:
        return run_game_export(job);
    case sheet_mode::none:
        break;
    }
    return {job.output, "is not the output of a mode with many files"};
}
