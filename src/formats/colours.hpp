// The 16 colours that sprite values have in the pictures the converter writes and reads
// (PNG sprites and sheets, GIF, APNG, font sheets and BMFont pages): value v is drawn
// in picture_colours[v & 15], and a pixel read is the value of its colour there. They
// are the editors' own (rgbx_of) unless a program sets others, as pixconv's
// --palette FILE does for one run. Nothing here reports errors.
#pragma once
#include <array>
#include <cstdint>

// RGBX words as rgbx_of gives them: red in bits 31-24, green 23-16, blue 15-8.
using colour_set = std::array<std::uint32_t, 16>;

// The editors' 16 colours.
colour_set editor_colours();

extern colour_set picture_colours; // the editors' at start; one per process

// The first value whose colour in picture_colours is (red, green, blue), or else the
// nearest by squared RGB distance, the lower value on a tie; `distance` gets that
// squared distance, 0 for an exact colour.
std::uint8_t picture_value_of(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint32_t& distance);

// Sets picture_colours for as long as it lives, then puts the earlier ones back.
class picture_colours_set {
public:
    explicit picture_colours_set(const colour_set& colours) : earlier(picture_colours) { picture_colours = colours; }
    ~picture_colours_set() { picture_colours = earlier; }
    picture_colours_set(const picture_colours_set&) = delete;
    picture_colours_set& operator=(const picture_colours_set&) = delete;

private:
    colour_set earlier;
};
