// Sprite frames for a game engine: a text resource (.tres) holding one animation whose
// frames are regions of one sheet, the sheet named relative to the resource so that
// the two files can go anywhere in a project together.
// Version 4 (format=3): every frame has a "duration", a multiple of 1 / "speed"
// seconds. The speed is 1000 / g frames a second, g the greatest common divisor of
// 1000 and every frame's milliseconds, so that speed and durations are whole numbers
// and every frame lasts exactly its milliseconds:
//     [gd_resource type="SpriteFrames" load_steps=3 format=3]
//
//     [ext_resource type="Texture2D" path="walk.png" id="1"]
//
//     [sub_resource type="AtlasTexture" id="AtlasTexture_0"]
//     atlas = ExtResource("1")
//     region = Rect2(0, 0, 16, 16)
//
//     [resource]
//     animations = [{
//     "frames": [{
//     "duration": 1.0,
//     "texture": SubResource("AtlasTexture_0")
//     }],
//     "loop": true,
//     "name": &"walk",
//     "speed": 10.0
//     }]
// Version 3 (format=2): the frames are a list of textures shown at one "speed", so
// every frame must last as long as the first.
// The writer returns "" on success, else one sentence that says what is wrong.
#pragma once
#include "formats/atlasjson.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct sprite_frames {
    std::string animation;           // its name
    std::string image;               // the sheet's file name, relative to the resource
    std::vector<atlas_frame> frames; // in playing order, each with its duration
    bool loop = true;
};

// The frames a second (version 4) that make every duration in `milliseconds` a whole
// number of frames: 1000 / gcd(1000, every duration).
std::uint32_t sprite_frames_speed(std::span<const std::uint32_t> milliseconds);

// Writes `source` for engine version 3 or 4. Every frame needs a duration of at least
// 1 ms; in version 3 all durations must be equal.
std::string write_sprite_frames(const sprite_frames& source, int version, std::string& text);
