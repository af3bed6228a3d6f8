#include "formats/godotfile.hpp"

#include <cstdio>
#include <numeric>

namespace {

// A string in the resource's own syntax: quotes and backslashes escaped, control
// characters written as \uXXXX so that a line stays a line.
std::string quoted(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", byte);
            out += code;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// A real number as the resource writes one: "10.0", "33.3333333".
std::string real(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    std::string out = text;
    if (out.find_first_of(".e") == std::string::npos)
        out += ".0";
    return out;
}

std::string rect(const image_area& area, const char* space)
{
    return std::string("Rect2(") + space + std::to_string(area.x) + ", " + std::to_string(area.y) + ", " +
           std::to_string(area.width) + ", " + std::to_string(area.height) + space + ")";
}

std::string write_version_4(const sprite_frames& source, std::uint32_t speed)
{
    std::string text = "[gd_resource type=\"SpriteFrames\" load_steps=" + std::to_string(source.frames.size() + 2) +
                       " format=3]\n\n[ext_resource type=\"Texture2D\" path=" + quoted(source.image) +
                       " id=\"1\"]\n\n";
    for (std::size_t i = 0; i < source.frames.size(); ++i)
        text += "[sub_resource type=\"AtlasTexture\" id=\"AtlasTexture_" + std::to_string(i) +
                "\"]\natlas = ExtResource(\"1\")\nregion = " + rect(source.frames[i].area, "") + "\n\n";
    text += "[resource]\nanimations = [{\n\"frames\": [";
    for (std::size_t i = 0; i < source.frames.size(); ++i) {
        // A whole number of frames at `speed`: duration x speed / 1000 divides exactly.
        const std::uint64_t units = std::uint64_t{*source.frames[i].duration_ms} * speed / 1000;
        text += std::string(i == 0 ? "" : ", ") + "{\n\"duration\": " + real(static_cast<double>(units)) +
                ",\n\"texture\": SubResource(\"AtlasTexture_" + std::to_string(i) + "\")\n}";
    }
    text += "],\n\"loop\": " + std::string(source.loop ? "true" : "false") + ",\n\"name\": &" +
            quoted(source.animation) + ",\n\"speed\": " + real(speed) + "\n}]\n";
    return text;
}

std::string write_version_3(const sprite_frames& source)
{
    std::string text = "[gd_resource type=\"SpriteFrames\" load_steps=" + std::to_string(source.frames.size() + 2) +
                       " format=2]\n\n[ext_resource path=" + quoted(source.image) + " type=\"Texture\" id=1]\n\n";
    for (std::size_t i = 0; i < source.frames.size(); ++i)
        text += "[sub_resource type=\"AtlasTexture\" id=" + std::to_string(i + 1) +
                "]\natlas = ExtResource( 1 )\nregion = " + rect(source.frames[i].area, " ") + "\n\n";
    text += "[resource]\nanimations = [ {\n\"frames\": [ ";
    for (std::size_t i = 0; i < source.frames.size(); ++i)
        text += std::string(i == 0 ? "" : ", ") + "SubResource( " + std::to_string(i + 1) + " )";
    const double speed = 1000.0 / *source.frames.front().duration_ms;
    text += " ],\n\"loop\": " + std::string(source.loop ? "true" : "false") + ",\n\"name\": " +
            quoted(source.animation) + ",\n\"speed\": " + real(speed) + "\n} ]\n";
    return text;
}

} // namespace

std::uint32_t sprite_frames_speed(std::span<const std::uint32_t> milliseconds)
{
    std::uint32_t divisor = 1000;
    for (std::uint32_t duration : milliseconds)
        divisor = std::gcd(divisor, duration);
    return 1000 / divisor;
}

std::string write_sprite_frames(const sprite_frames& source, int version, std::string& text)
{
    if (source.frames.empty())
        return "an animation needs at least one frame";
    std::vector<std::uint32_t> durations;
    for (const atlas_frame& frame : source.frames) {
        if (!frame.duration_ms || *frame.duration_ms == 0)
            return "frame \"" + frame.name + "\" has no duration; every frame needs at least 1 ms";
        durations.push_back(*frame.duration_ms);
    }
    if (version == 3) {
        for (const atlas_frame& frame : source.frames)
            if (*frame.duration_ms != durations.front())
                return "frame \"" + frame.name + "\" lasts " + std::to_string(*frame.duration_ms) + " ms and \"" +
                       source.frames.front().name + "\" " + std::to_string(durations.front()) +
                       " ms; version 3 sprite frames play every frame for as long";
        text = write_version_3(source);
        return "";
    }
    text = write_version_4(source, sprite_frames_speed(durations));
    return "";
}
