#include "formats/atlasjson.hpp"

#include "art/words.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <new>
#include <set>

namespace {

// Keys keep the file's order, so that frames are written in input order and cut in
// the order the file lists them.
using json = nlohmann::ordered_json;

// A name for a message: in quotes, cut short, control characters (which could steer a
// terminal) shown as '?'.
std::string in_quotes(const std::string& name)
{
    std::string shown = "\"" + name.substr(0, 60) + (name.size() > 60 ? "...\"" : "\"");
    std::replace_if(shown.begin(), shown.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, '?');
    return shown;
}

json area_json(const image_area& area)
{
    return {{"x", area.x}, {"y", area.y}, {"w", area.width}, {"h", area.height}};
}

json frame_json(const atlas_frame& frame)
{
    const image_area& area = frame.area;
    json entry = {{"frame", area_json(area)},
                  {"rotated", false},
                  {"trimmed", false},
                  {"spriteSourceSize", area_json({0, 0, area.width, area.height})},
                  {"sourceSize", {{"w", area.width}, {"h", area.height}}}};
    if (frame.duration_ms)
        entry["duration"] = *frame.duration_ms;
    return entry;
}

// An entry of the array layout: the name first, then what the hash layout holds.
json array_entry_json(const atlas_frame& frame)
{
    json entry = {{"filename", frame.name}};
    const json fields = frame_json(frame);
    for (const auto& [key, value] : fields.items())
        entry[key] = value;
    return entry;
}

// The whole number at `object[key]`, 0 to max_sheet_side; "" on success.
std::string read_number(const json& object, const char* key, std::uint32_t& value)
{
    const auto found = object.find(key);
    if (found == object.end())
        return std::string("has no \"") + key + "\"";
    const json& number = *found;
    if (!number.is_number())
        return std::string("\"") + key + "\" is not a number";
    const double real = number.get<double>();
    if (number.is_number_float() && real != std::floor(real))
        return std::string("\"") + key + "\" is not a whole number";
    if (real < 0 || real > max_sheet_side)
        return std::string("\"") + key + "\" is not between 0 and " + std::to_string(max_sheet_side);
    value = static_cast<std::uint32_t>(real);
    return "";
}

// Reads {"x", "y", "w", "h"} (or only "w" and "h" when `with_place` is false).
std::string read_box(const json& object, const char* key, bool with_place, image_area& area)
{
    const auto found = object.find(key);
    if (found == object.end() || !found->is_object())
        return std::string("has no \"") + key + "\" object";
    std::string error;
    if (with_place) {
        error = read_number(*found, "x", area.x);
        if (error.empty())
            error = read_number(*found, "y", area.y);
    }
    if (error.empty())
        error = read_number(*found, "w", area.width);
    if (error.empty())
        error = read_number(*found, "h", area.height);
    return error.empty() ? "" : "\"" + std::string(key) + "\" " + error;
}

bool is_true(const json& object, const char* key)
{
    const auto found = object.find(key);
    return found != object.end() && !(found->is_boolean() && !found->get<bool>()) && !found->is_null();
}

// Whether the sizes the entry gives show a crop of a larger picture. An entry that
// says "trimmed" without sizes to show that nothing was cut away counts as trimmed.
std::string check_whole(const json& entry, const image_area& frame)
{
    const bool says_trimmed = is_true(entry, "trimmed");
    const bool has_sizes = entry.contains("sourceSize") && entry.contains("spriteSourceSize");
    if (says_trimmed && !has_sizes)
        return "is trimmed; only frames kept whole can be cut";
    image_area source{};
    image_area placed{};
    if (entry.contains("sourceSize"))
        if (std::string error = read_box(entry, "sourceSize", false, source); !error.empty())
            return error;
    if (entry.contains("spriteSourceSize"))
        if (std::string error = read_box(entry, "spriteSourceSize", true, placed); !error.empty())
            return error;
    const bool source_whole = !entry.contains("sourceSize") ||
                              (source.width == frame.width && source.height == frame.height);
    const bool placed_whole = !entry.contains("spriteSourceSize") ||
                              (placed.x == 0 && placed.y == 0 && placed.width == frame.width &&
                               placed.height == frame.height);
    if (!source_whole || !placed_whole)
        return "is trimmed; only frames kept whole can be cut";
    return "";
}

// "duration", when the entry has one: whole milliseconds up to max_frame_duration_ms.
std::string read_duration(const json& entry, std::optional<std::uint32_t>& duration)
{
    const auto found = entry.find("duration");
    if (found == entry.end())
        return "";
    const double real = found->is_number() ? found->get<double>() : -1;
    if (real < 0 || real > max_frame_duration_ms || real != std::floor(real))
        return "has a \"duration\" that is not a whole number of milliseconds from 0 to " +
               std::to_string(max_frame_duration_ms);
    duration = static_cast<std::uint32_t>(real);
    return "";
}

std::string read_frame(const std::string& name, const json& entry, atlas_frame& frame)
{
    if (!entry.is_object())
        return "is not an object";
    if (is_true(entry, "rotated"))
        return "is rotated; only unrotated frames can be cut";
    if (std::string error = read_box(entry, "frame", true, frame.area); !error.empty())
        return error;
    if (frame.area.width == 0 || frame.area.height == 0)
        return "is empty";
    if (std::string error = check_whole(entry, frame.area); !error.empty())
        return error;
    if (std::string error = read_duration(entry, frame.duration_ms); !error.empty())
        return error;
    frame.name = name;
    return "";
}

std::string read_frames(const json& frames, std::vector<atlas_frame>& result)
{
    if (frames.size() > max_atlas_frames)
        return "holds " + std::to_string(frames.size()) + " frames; at most " + std::to_string(max_atlas_frames) +
               " can be cut";
    const bool hash = frames.is_object();
    std::size_t index = 0;
    for (const auto& [key, entry] : frames.items()) {
        std::string name = key;
        if (!hash) {
            const auto filename = entry.is_object() ? entry.find("filename") : entry.end();
            if (!entry.is_object() || filename == entry.end() || !filename->is_string())
                return "frame " + std::to_string(index) + " has no \"filename\"";
            name = filename->get<std::string>();
        }
        atlas_frame frame;
        if (std::string error = read_frame(name, entry, frame); !error.empty())
            return "frame " + in_quotes(name) + " " + error;
        result.push_back(std::move(frame));
        ++index;
    }
    return "";
}

std::string read_meta(const json& root, atlas& result)
{
    const auto meta = root.find("meta");
    if (meta == root.end() || !meta->is_object())
        return "";
    if (const auto image = meta->find("image"); image != meta->end() && image->is_string())
        result.image = image->get<std::string>();
    if (meta->contains("size")) {
        image_area size{};
        if (std::string error = read_box(*meta, "size", false, size); !error.empty())
            return "\"meta\" " + error;
        result.width = size.width;
        result.height = size.height;
    }
    return "";
}

// How deep arrays and objects may nest: an atlas needs five levels; a file nested far
// deeper is no atlas, and saying so beats a message about whatever lies at its bottom.
constexpr std::size_t max_atlas_depth = 64;

// Where the parser is, key or index at each level, so that a message can name the frame
// or the field that a damaged number sits in.
struct json_step {
    bool in_array = false;
    std::size_t index = 0; // the element being read, in an array
    std::string key;       // the member being read, in an object
};

// The place as messages elsewhere name it: frame "walk-1" "frame" "x", or frame 3 "w".
std::string place_of(const std::vector<json_step>& steps)
{
    std::string text;
    std::size_t level = 0;
    // The root's "frames" holds the frames: its key or index names the frame.
    if (steps.size() >= 2 && !steps[0].in_array && steps[0].key == "frames" &&
        (steps[1].in_array || !steps[1].key.empty())) {
        text = "frame " + (steps[1].in_array ? std::to_string(steps[1].index) : in_quotes(steps[1].key));
        level = 2;
    }
    for (; level < steps.size(); ++level) {
        const json_step& step = steps[level];
        if (!step.in_array && step.key.empty())
            break; // an object whose first key is still being read
        text += (text.empty() ? "" : " ") + (step.in_array ? "[" + std::to_string(step.index) + "]" : in_quotes(step.key));
    }
    return text.empty() ? "the atlas" : text;
}

// The library's own reader of a whole document, which also keeps `steps` up to date
// as it moves, and stops the reading, rather than throw, at nesting past max_atlas_depth.
// Errors are kept as the library describes them, for parse_json to put in our words.
class atlas_reader : public nlohmann::detail::json_sax_dom_parser<json> {
    using base = nlohmann::detail::json_sax_dom_parser<json>;

public:
    explicit atlas_reader(json& document) : base(document, false) {}

    std::vector<json_step> steps;
    bool too_deep = false;
    int error_id = 0;            // the library's error number: 101 to 199 broken JSON, 406 a number too large
    std::size_t error_byte = 0;  // where broken JSON went wrong, counted from 1
    std::string error_text;

    bool start_object(std::size_t count) { return enter(false) && base::start_object(count); }
    bool start_array(std::size_t count) { return enter(true) && base::start_array(count); }
    bool key(std::string& name)
    {
        steps.back().key = name;
        return base::key(name);
    }
    bool end_object() { return leave() && base::end_object(); }
    bool end_array() { return leave() && base::end_array(); }
    bool null() { return next() && base::null(); }
    bool boolean(bool value) { return next() && base::boolean(value); }
    bool number_integer(json::number_integer_t value) { return next() && base::number_integer(value); }
    bool number_unsigned(json::number_unsigned_t value) { return next() && base::number_unsigned(value); }
    bool number_float(json::number_float_t value, const std::string& text) { return next() && base::number_float(value, text); }
    bool string(std::string& value) { return next() && base::string(value); }
    bool binary(json::binary_t& value) { return next() && base::binary(value); }
    template <typename Exception>
    bool parse_error(std::size_t byte, const std::string& token, const Exception& error)
    {
        error_id = error.id;
        error_byte = byte;
        error_text = error.what();
        return base::parse_error(byte, token, error);
    }

private:
    bool enter(bool array)
    {
        too_deep = steps.size() >= max_atlas_depth;
        if (!too_deep)
            steps.push_back({array, 0, ""});
        return !too_deep;
    }
    bool leave()
    {
        steps.pop_back();
        return next();
    }
    bool next()
    {
        if (!steps.empty() && steps.back().in_array)
            ++steps.back().index;
        return true;
    }
};

// Line and column (from 1) of byte `offset`, for a message about broken JSON.
std::string line_and_column(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    offset = std::min(offset, bytes.size());
    const auto before = bytes.first(offset);
    const auto line_start = std::find(before.rbegin(), before.rend(), '\n').base();
    const std::size_t line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
    return "line " + std::to_string(line) + ", column " + std::to_string(before.end() - line_start + 1);
}

// Parses the JSON, putting the library's errors into sentences of our own.
std::string parse_json(std::span<const std::uint8_t> bytes, json& root)
{
    atlas_reader reader(root);
    if (json::sax_parse(bytes.begin(), bytes.end(), &reader))
        return "";
    std::vector<json_step>& steps = reader.steps;
    if (reader.too_deep) {
        steps.resize(std::min<std::size_t>(steps.size(), 2)); // the frame, not the levels below it
        return "the JSON nests arrays or objects more than " + std::to_string(max_atlas_depth) +
               " deep, inside " + place_of(steps) + "; an atlas needs five";
    }
    if (reader.error_id == 406) {
        // The only range error while parsing: a number past what a double holds. The
        // library quotes the number; the rest of its text is its own.
        const std::string& text = reader.error_text;
        const std::size_t first = text.find('\''), last = text.rfind('\'');
        const std::string number = first < last ? " (" + text.substr(first + 1, last - first - 1) + ")" : "";
        return place_of(steps) + " is a number too large to read" + number;
    }
    // The library counts from 1 the byte after the one it stopped at.
    return "not valid JSON: it breaks off or goes wrong at " +
           line_and_column(bytes, reader.error_byte > 0 ? reader.error_byte - 1 : 0);
}

std::string parse_atlas(std::span<const std::uint8_t> bytes, atlas& result)
{
    json root;
    if (std::string error = parse_json(bytes, root); !error.empty())
        return error;
    if (!root.is_object())
        return "not an atlas: the JSON is not an object";
    const auto frames = root.find("frames");
    if (frames == root.end() || !(frames->is_object() || frames->is_array()))
        return "not an atlas: it has no \"frames\" object or array";
    if (std::string error = read_frames(*frames, result.frames); !error.empty())
        return error;
    return read_meta(root, result);
}

bool is_utf8(const std::string& text)
{
    try {
        (void)json(text).dump();
        return true;
    } catch (const json::type_error&) {
        return false;
    }
}

} // namespace

std::string write_atlas_json(const atlas& source, atlas_layout layout, std::string& json_text)
{
    std::set<std::string> names;
    for (const atlas_frame& frame : source.frames) {
        if (!is_utf8(frame.name))
            return "the frame name " + in_quotes(frame.name) + " is not valid UTF-8";
        if (layout == atlas_layout::hash && !names.insert(frame.name).second)
            return "two frames are named " + in_quotes(frame.name);
    }
    if (!is_utf8(source.image))
        return "the image name " + in_quotes(source.image) + " is not valid UTF-8";
    try {
        const bool hash = layout == atlas_layout::hash;
        std::string text = hash ? "{\"frames\": {" : "{\"frames\": [";
        const char* separator = "\n  ";
        for (const atlas_frame& frame : source.frames) {
            text += separator;
            if (hash)
                text += json(frame.name).dump() + ": " + frame_json(frame).dump();
            else
                text += array_entry_json(frame).dump();
            separator = ",\n  ";
        }
        const json meta = {{"app", "pixconv"},
                           {"image", source.image},
                           {"size", {{"w", source.width}, {"h", source.height}}},
                           {"scale", "1"}};
        text += hash ? "\n},\n" : "\n],\n";
        text += "\"meta\": " + meta.dump() + "}\n";
        json_text = std::move(text);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
    return "";
}

std::string read_atlas_json(std::span<const std::uint8_t> json_bytes, atlas& result)
{
    if (json_bytes.size() > max_atlas_size)
        return "the atlas is larger than " + byte_size(max_atlas_size);
    atlas read;
    try {
        if (std::string error = parse_atlas(json_bytes, read); !error.empty())
            return error;
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const json::exception&) {
        // Every access above checks its type first; this is only a last guard.
        return "the atlas holds something this reader cannot take";
    }
    result = std::move(read);
    return "";
}
