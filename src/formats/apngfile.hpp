// Animated PNG, in memory. Returns "" on success, else one sentence that says what is
// wrong; on failure the output is left alone.
//
// The file is the indexed PNG that write_png_picture makes of the first frame (its
// 256-entry PLTE and tRNS, so a viewer without animation shows that frame), with the
// animation chunks added: acTL (frame count, plays: 0 for ever) before the image data,
// then for every frame an fcTL covering the whole canvas (enlarged `scale` times) with
// its delay as a fraction of a second, dispose op "background" and blend op "source",
// followed by its pixel data: IDAT for the first frame, fdAT for the others. fcTL and
// fdAT carry one sequence number counting from 0. The same animation gives the same
// bytes.
#pragma once
#include "formats/animation.hpp"

#include <cstdint>
#include <string>
#include <vector>

std::string write_apng(const animation& source, std::uint32_t scale, std::vector<std::uint8_t>& apng);
