// An animation as the converter holds it between its inputs and an animated GIF or
// APNG: a canvas of sprite values (0-15, 255 transparent; 16-254 show as v & 15) and
// the pictures shown on it one after the other, each whole, with how long it stays.
#pragma once
#include <cstdint>
#include <vector>

// The longest a frame is shown: the most a GIF's hundredths of a second can say.
inline constexpr std::uint32_t max_frame_duration_ms = 655350;

struct animation {
    std::uint32_t width = 0; // the canvas, 1-255 sprite pixels each way
    std::uint32_t height = 0;
    std::vector<std::vector<std::uint8_t>> frames; // width * height values each, row-major
    std::vector<std::uint32_t> durations_ms;       // one per frame, 1 to max_frame_duration_ms
    std::uint32_t loops = 0;                       // plays in all; 0 plays forever
};
