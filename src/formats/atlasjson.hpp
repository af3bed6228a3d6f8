// Atlases: where each named frame of a sprite sheet lies, as the JSON that game engines
// and web frameworks read beside the sheet's PNG. Both functions return "" on success,
// else one sentence that says what is wrong; on failure the output is left alone.
//
// The "hash" layout keeps the frames in an object keyed by name:
//     {"frames": {
//       "walk-1": {"frame": {"x": 0, "y": 0, "w": 16, "h": 16}, "rotated": false,
//                  "trimmed": false, "spriteSourceSize": {"x": 0, "y": 0, "w": 16, "h": 16},
//                  "sourceSize": {"w": 16, "h": 16}},
//       ...},
//      "meta": {"app": "pixconv", "image": "walk.png", "size": {"w": 48, "h": 48}, "scale": "1"}}
// A frame may carry "duration": its display time in whole milliseconds (0 to
// max_frame_duration_ms), written only for frames that have one.
// The "array" layout is the same with "frames" an array whose entries carry the name as
// "filename". Coordinates are the PNG's own pixels, (0, 0) at its top left. "scale" is
// always "1": a sheet enlarged with --scale holds bigger frames, not finer ones.
#pragma once
#include "formats/animation.hpp"
#include "formats/pngimage.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The most frames an atlas may hold, and the largest atlas file read, so that a hostile
// file can neither make the reader hold gigabytes nor the cutter write a million files.
inline constexpr std::size_t max_atlas_frames = 65536;
inline constexpr std::size_t max_atlas_size = std::size_t{16} << 20;

struct atlas_frame {
    std::string name;
    image_area area;
    std::optional<std::uint32_t> duration_ms = {}; // "duration" in the atlas, when it has one
};

struct atlas {
    std::string image;       // the sheet's file name, as the atlas names it; may be empty
    std::uint32_t width = 0; // the sheet's size; 0 x 0 when a read atlas does not say
    std::uint32_t height = 0;
    std::vector<atlas_frame> frames; // in the file's order
};

enum class atlas_layout { hash, array };

// Writes `source` in `layout`, a frame per line, the frames in their order. Names must
// be valid UTF-8, and in the hash layout no two alike.
std::string write_atlas_json(const atlas& source, atlas_layout layout, std::string& json);

// Reads either layout. Frames that are rotated, or trimmed (a crop of a larger
// picture, as "trimmed", "sourceSize" or "spriteSourceSize" tell), are refused, since
// cutting them would not give back the picture that was packed. Every coordinate must
// be a whole number from 0 to max_sheet_side, every size at least 1; a frame's
// "duration", where it has one, a whole number of milliseconds from 0 to
// max_frame_duration_ms (written only when set); keys this reader
// does not know are ignored. Two frames of one name in a hash are one frame, as in
// the browsers' JSON readers (the later wins).
std::string read_atlas_json(std::span<const std::uint8_t> json, atlas& result);
