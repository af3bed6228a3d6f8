#include "pixconv/pixconv_frames.hpp"

#include "art/bitmap.hpp"
#include "formats/spritesheet.hpp"
#include "pixconv/pixconv_names.hpp"

#include <cstdlib>

frame_set::~frame_set()
{
    for (bitmap& sprite : sprites)
        std::free(sprite.bitmap);
}

std::string read_atlas_file(const std::string& path, atlas& result)
{
    std::vector<std::uint8_t> json;
    std::string problem = read_whole(path, json);
    return problem.empty() ? read_atlas_json(json, result) : problem;
}

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
        set.names.push_back(replace_ending(base_name(path), ""));
        set.durations_ms.emplace_back();
        set.read.push_back(path);
    }
    return {};
}

namespace {

// The frames of a sheet and its atlas, cut out and read back as sprites.
complaint read_sheet_frames(const std::string& sheet, std::uint32_t scale, bool nearest, frame_set& set)
{
    const std::string json_path = replace_ending(sheet, ".json");
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
