#include "pixconv/pixconv_sheets.hpp"

#include "art/bitmap.hpp"
#include "art/savefile.hpp"
#include "formats/pngimage.hpp"
#include "formats/spritesheet.hpp"
#include "formats/tiledfile.hpp"
#include "pixconv/pixconv_frames.hpp"
#include "pixconv/pixconv_names.hpp"
#include "pixconv/pixconv_options.hpp"

#include <algorithm>
#include <array>
#include <set>

sheet_mode sheet_mode_of(const command_line& line)
{
    const std::vector<std::string>& names = line.names;
    const bool atlas_given = is_given(line, "--atlas");
    const bool cell_given = line.how.grid.has_value();
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

pack_options pack_options_of(const settings& how)
{
    return {how.columns, how.scale, how.padding};
}

std::string plan_sheet_job(const command_line& line, job& work)
{
    if (std::string problem = check_options(line, work); !problem.empty())
        return problem;
    work.inputs.assign(line.names.begin(), line.names.end() - 1);
    work.output = line.names.back();
    work.how = line.how;
    if (work.how.grid) {
        work.how.grid->offset_x = line.how.offset_x;
        work.how.grid->offset_y = line.how.offset_y;
        work.how.grid->padding = line.how.padding;
    }
    return check_sheet_names(work);
}

std::string check_sheet_names(const job& job)
{
    if (!(job.mode->bit & in_cut)) {
        std::set<std::string> seen;
        for (const std::string& input : job.inputs) {
            const std::string name = base_name(input);
            if (!seen.insert(name.substr(0, name.size() - 4)).second)
                return "two inputs are named " + name + "; frames are named after their files";
        }
        return "";
    }
    if (job.how.grid) {
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

complaint run_pack(const job& work, complaint&)
{
    frame_set set;
    if (complaint read = read_sprite_files(work.inputs, set); !read.problem.empty())
        return read;
    std::vector<std::uint8_t> png;
    atlas layout;
    std::string json;
    std::string problem = pack_sheet(set.sprites, set.names, pack_options_of(work.how), png, layout);
    layout.image = base_name(work.output);
    if (problem.empty())
        problem = write_atlas_json(layout, work.how.layout, json);
    if (!problem.empty())
        return {work.output, problem};
    const std::string json_path = replace_ending(work.output, ".json");
    return write_outputs(work.inputs, {{work.output, png}, {json_path, {json.begin(), json.end()}}});
}

// The frames to cut: the grid's, or the atlas's beside the sheet, with each frame's
// output path.
complaint find_frames(const job& work, std::span<const std::uint8_t> png, std::vector<atlas_frame>& frames,
                std::vector<std::string>& paths, std::vector<std::string>& inputs)
{
    const std::string& sheet = work.inputs.front();
    if (work.how.grid) {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        std::string problem = read_png_size(png, width, height);
        if (problem.empty())
            problem = grid_frames(width, height, *work.how.grid, frames);
        if (!problem.empty())
            return {sheet, problem};
        for (std::size_t i = 0; i < frames.size(); ++i)
            paths.push_back(numbered_name(work.output, static_cast<std::uint32_t>(i)));
        return {};
    }
    const std::string tsx_path = replace_ending(sheet, ".tsx");
    std::string json_path = replace_ending(sheet, ".json");
    atlas read;
    std::string problem;
    if (!path_exists(json_path) && path_exists(tsx_path)) {
        json_path = tsx_path;
        problem = read_tileset_frames(tsx_path, png, read.frames);
    } else {
        problem = read_atlas_file(json_path, read);
    }
    inputs.push_back(json_path);
    if (!problem.empty())
        return {json_path, problem};
    const std::string folder = work.output.back() == '/' ? work.output : work.output + "/";
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

complaint run_cut(const job& work, complaint&)
{
    const std::string& sheet = work.inputs.front();
    std::vector<std::uint8_t> png;
    if (std::string problem = read_whole(sheet, png); !problem.empty())
        return {sheet, problem};
    std::vector<atlas_frame> frames;
    std::vector<std::string> paths;
    std::vector<std::string> inputs = work.inputs;
    if (complaint found = find_frames(work, png, frames, paths, inputs); !found.problem.empty())
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
    if (std::string problem = cut_sheet_each(png, frames, work.how.scale, work.how.nearest, work.how.skip_empty, take);
        !problem.empty())
        return staged.problem.empty() ? complaint{sheet, problem} : staged;
    if (outputs.staged.empty())
        return {sheet, "every frame is wholly transparent; with --skip-empty there is nothing to write"};
    return commit_outputs(outputs);
}

bool takes_pack(const command_line& line)
{
    return sheet_mode_of(line) == sheet_mode::pack;
}

bool takes_grid_cut(const command_line& line)
{
    return sheet_mode_of(line) == sheet_mode::cut && line.how.grid;
}

bool takes_atlas_cut(const command_line& line)
{
    return sheet_mode_of(line) == sheet_mode::cut && !line.how.grid;
}

constexpr std::array modes = {
    mode_row{.name = "pack", .bit = in_pack, .takes = takes_pack, .plan = plan_sheet_job, .run = run_pack,
             .section = "Sprite sheets",
             .help = "pixconv [options] SPRITE.spr... SHEET.png     packs them; writes SHEET.json beside it",
             .inputs = {mode_file{".spr", "SPRITE", true}}, .outputs = {"SHEET.png"}},
    mode_row{.name = "cut-grid", .bit = in_grid_cut, .takes = takes_grid_cut, .plan = plan_sheet_job, .run = run_cut,
             .section = "Sprite sheets",
             .help = "pixconv --cell WxH [options] SHEET.png NAME%02d.spr   cuts a grid, numbered from 0",
             .needs = {"--cell"}, .inputs = {mode_file{".png", "SHEET"}}, .outputs = {"NAME%02d.spr"}},
    mode_row{.name = "cut-atlas", .bit = in_atlas_cut, .takes = takes_atlas_cut, .plan = plan_sheet_job,
             .run = run_cut, .section = "Sprite sheets",
             .help = "pixconv [options] SHEET.png FOLDER/           cuts the frames of SHEET.json, or\n"
                     "                                                the tiles of SHEET.tsx without it",
             .inputs = {mode_file{".png", "SHEET"}}, .outputs = {"FOLDER/"}},
};

} // namespace

std::span<const mode_row> sheet_modes()
{
    return modes;
}
