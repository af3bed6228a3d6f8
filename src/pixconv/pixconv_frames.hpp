// Sprites read for the modes that pack or animate them: sprite files, or the frames of a
// sheet whose atlas lies beside it. Failures are complaints naming the file to blame.
#pragma once
#include "formats/atlasjson.hpp"
#include "pixconv/pixconv_files.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Sprites to pack or animate, each with its name and the duration its source gives.
struct frame_set {
    std::vector<bitmap> sprites; // freed with the set
    std::vector<std::string> names;
    std::vector<std::optional<std::uint32_t>> durations_ms; // the atlas's "duration", where it has one
    std::vector<std::string> read; // every file read, which no output may replace
    frame_set() = default;
    frame_set(const frame_set&) = delete;
    frame_set& operator=(const frame_set&) = delete;
    ~frame_set();
};

// Reads sprite files, named after their base names without ".spr".
complaint read_sprite_files(const std::vector<std::string>& inputs, frame_set& set);
// Reads sprite files; or, when `inputs` is one PNG, the frames of the atlas beside it,
// cut from the sheet read at `scale`.
complaint read_frames(const std::vector<std::string>& inputs, std::uint32_t scale, bool nearest, frame_set& set);
// Reads and parses the atlas at `path`; "" or what is wrong with it.
std::string read_atlas_file(const std::string& path, atlas& result);
