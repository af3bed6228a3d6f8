// Animated and still GIF through giflib, in memory. Both functions return "" on
// success, else one sentence that says what is wrong; on failure the output is left
// alone.
//
// Written: GIF89a with one global colour table of 32 entries, the 16 colours at their
// own indices and entry 16 the transparent one, so every frame's pixels are exactly the
// sprite's. Each frame covers the whole canvas, enlarged `scale` times, with a Graphic
// Control Extension: its delay in hundredths of a second (the milliseconds rounded to
// the nearest, halves up, at least 1), transparent index 16 and disposal "restore to
// background", so a transparent pixel never shows the frame before. An animation that
// plays more than once carries the NETSCAPE2.0 extension holding the repeats after the
// first play (0 for ever), as browsers count them. The same animation gives the same
// bytes.
//
// Read: every frame as a browser composes it on a canvas that starts transparent,
// ignoring the background colour: disposal 2 clears the frame's rectangle, 3 (and 4,
// as browsers take it) restores what was there before, every other value leaves the
// frame in place; a frame's local colour table wins over the global one; the
// transparent index leaves the canvas as it was; an index past its table's end is
// opaque black. The canvas is the screen, grown to hold the first frame where that
// reaches past it (so a screen of 0 x 0 takes the first frame's size); parts of later
// frames outside it are cut off. A file that ends after a frame's last pixel without
// the trailer is whole; a code the compressor's table does not hold yet, or data that
// ends before a frame's last pixel, is damage, while codes after the last pixel are
// not looked at. Each composed picture is mapped to the 16 colours as PNGs are
// (exactly, or with `nearest` to the nearest by squared RGB distance). Sizes are
// checked before memory is taken: the canvas and every frame at most 255 x 255 pixels,
// at most max_gif_frames frames.
#pragma once
#include "formats/animation.hpp"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

inline constexpr std::size_t max_gif_frames = 4096;

// A delay under this many milliseconds is shown more slowly by browsers (which take a
// GIF delay of 10 ms or less as 100 ms); the converter warns about it.
inline constexpr std::uint32_t gif_fastest_shown_ms = 20;

// The delay a GIF stores for `milliseconds`, in hundredths of a second.
std::uint16_t gif_delay_of(std::uint32_t milliseconds);

std::string write_gif(const animation& source, std::uint32_t scale, std::vector<std::uint8_t>& gif);

// Durations come back as 10 ms times the stored delay; `loops` as the plays in all
// (1 without a NETSCAPE2.0 extension, 0 for ever).
std::string read_gif(std::span<const std::uint8_t> gif, bool nearest, animation& result);

// Takes each frame as read_gif_frames composes it (and may take its values away): "" to
// go on, or a sentence that ends the reading and is returned as its result.
using gif_frame_taker = std::function<std::string(animation& so_far)>;

// Reads as read_gif does, holding only the canvas and one frame: each frame is handed to
// `take` as soon as it is composed. `so_far` then holds the canvas size, the loops and
// every duration so far, and in `frames` the new frame last, the earlier ones left empty
// (so its index is frames.size() - 1). `header` gets the same at the end.
std::string read_gif_frames(std::span<const std::uint8_t> gif, bool nearest, const gif_frame_taker& take,
                            animation& header);

// How many frames `gif` holds, counted without decoding them: the frames whose data
// lies whole before the trailer or the first damage; 0 for what is not a GIF.
std::size_t count_gif_frames(std::span<const std::uint8_t> gif);
