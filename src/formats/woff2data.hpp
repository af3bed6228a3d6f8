// TrueType fonts packed as WOFF2, the compressed font format web pages load through
// CSS @font-face, by the woff2 library (Brotli inside). Returns "" on success, else one
// sentence; `woff2` is then left alone.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Packs the TrueType font `ttf`; the same font gives the same bytes every time.
std::string write_woff2(std::span<const std::uint8_t> ttf, std::vector<std::uint8_t>& woff2);
