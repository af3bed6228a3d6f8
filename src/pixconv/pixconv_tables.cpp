#include "pixconv/pixconv_tables.hpp"

#include "pixconv/pixconv_formats.hpp"
#include "pixconv/pixconv_modes.hpp"
#include "pixconv/pixconv_options.hpp"

#include <string_view>
#include <vector>

namespace {

// "OUT.gif|OUT.apng": an animation output of every format that writes one.
std::vector<std::string> animation_outputs()
{
    std::vector<std::string> outputs;
    for (const format_row& row : format_table())
        if (row.write_animation)
            outputs.push_back("OUT" + std::string(row.ending));
    return outputs;
}

// `text` with "{animations}" standing for the animation outputs, `joined` by a separator.
std::string with_animations(std::string_view text, std::string_view separator)
{
    constexpr std::string_view mark = "{animations}";
    const std::size_t at = text.find(mark);
    if (at == std::string_view::npos)
        return std::string(text);
    std::string outputs;
    for (const std::string& output : animation_outputs())
        outputs += (outputs.empty() ? "" : std::string(separator)) + output;
    return std::string(text.substr(0, at)) + outputs + std::string(text.substr(at + mark.size()));
}

// ---- JSON

std::string quoted(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else if (static_cast<unsigned char>(c) < 0x20)
            out += ' '; // only a help line's breaks, which programs join
        else
            out += c;
    }
    return out + "\"";
}

template <typename Items>
std::string list_of(const Items& items)
{
    std::string out = "[";
    for (const auto& item : items)
        out += (out.size() > 1 ? ", " : "") + quoted(item);
    return out + "]";
}

// A --help line after its head: the text, its continued lines joined by one space.
std::string help_text(std::string_view line)
{
    std::string text;
    bool space = false;
    const std::size_t gap = line.find("  ");
    for (const char c : line.substr(gap == std::string_view::npos ? line.size() : gap)) {
        space = space || c == ' ' || c == '\n';
        if (c != ' ' && c != '\n') {
            text += (space && !text.empty() ? " " : "") + std::string(1, c);
            space = false;
        }
    }
    return text;
}

std::string_view holds_name(holds content)
{
    return content == holds::a_sprite ? "sprite" : content == holds::a_font ? "font" : "either";
}

std::string format_json(const format_row& row, std::string_view line)
{
    std::vector<std::string_view> read;
    std::vector<std::string_view> write;
    for (const auto& [can, what] : {std::pair{row.read_sprite != nullptr, "sprite"}, std::pair{row.read_font != nullptr, "font"},
                                    std::pair{row.read_palette != nullptr, "palette"}})
        if (can)
            read.push_back(what);
    for (const auto& [can, what] : {std::pair{row.write_sprite != nullptr, "sprite"}, std::pair{row.write_font != nullptr, "font"},
                                    std::pair{row.write_palette != nullptr, "palette"}})
        if (can)
            write.push_back(what);
    const std::string_view head = line.substr(0, line.find("  "));
    const bool shown = (" " + std::string(head) + " ").find(" " + std::string(row.ending) + " ") != std::string::npos;
    return "{\"ending\": " + quoted(row.ending) + ", \"family\": " + quoted(row.family) + ", \"holds\": " +
           quoted(holds_name(row.content)) + ", \"read\": " + list_of(read) + ", \"write\": " + list_of(write) +
           ", \"asked_by\": " + quoted(row.asked_by) + ", \"help\": " + quoted(help_text(line)) +
           ", \"shown\": " + (shown ? "true" : "false") + "}";
}

std::string mode_json(const mode_row& mode)
{
    std::string inputs = "[";
    for (const mode_file& file : mode.inputs)
        if (!file.ending.empty())
            inputs += (inputs.size() > 1 ? ", " : "") + std::string("{\"ending\": ") + quoted(file.ending) +
                      ", \"stands_for\": " + quoted(file.stands_for) + ", \"many\": " + (file.many ? "true" : "false") + "}";
    std::vector<std::string> outputs;
    for (const std::string_view output : mode.outputs)
        if (output == "{animations}")
            outputs = animation_outputs();
        else if (!output.empty())
            outputs.emplace_back(output);
    std::vector<std::string_view> needs;
    for (const std::string_view need : mode.needs)
        if (!need.empty())
            needs.push_back(need);
    return "{\"name\": " + quoted(mode.name) + ", \"section\": " + quoted(mode.section) + ", \"inputs\": " + inputs +
           "], \"outputs\": " + list_of(outputs) + ", \"needs\": " + list_of(needs) +
           ", \"help\": " + quoted(help_text(with_animations(mode.help, "|"))) + "}";
}

// An option's help line: its own, or the one that names it ("--sprite, --font").
std::string_view help_line_of(const option_row& option)
{
    for (const option_row& row : option_table()) {
        const std::string_view head = row.help.substr(0, row.help.find("  "));
        if (!row.help.empty() && (head == option.name || head.starts_with(std::string(option.name) + " ") ||
                                  head.find(std::string(option.name) + ",") != std::string_view::npos ||
                                  head.ends_with(", " + std::string(option.name))))
            return row.help;
    }
    return {};
}

std::string option_json(const option_row& option)
{
    const std::string help = option.about.empty() ? help_text(help_line_of(option)) : std::string(option.about);
    return "{\"name\": " + quoted(option.name) + ", \"value\": " + quoted(option.value) + ", \"help\": " +
           quoted(help) + ", \"action\": " + (option.converts_nothing ? "true" : "false") + "}";
}

} // namespace

std::string usage_text()
{
    std::string text = "Usage: pixconv [options] INPUT OUTPUT\n"
                       "Converts a sprite or a font between the editors' files and PNG, PSF, BDF and C,\n"
                       "a font into BMFont, TrueType and WOFF2 for game engines and web pages, fonts in\n"
                       "from PCF, FON, TrueType and OpenType, and sprites to and from sprite sheets.\n"
                       "The format of each side comes from its file name's ending:\n";
    for (const format_row& row : format_table())
        if (!row.help.empty())
            text += "  " + std::string(row.help) + "\n";
    std::string_view section;
    for (const mode_row& mode : mode_table()) {
        if (mode.help.empty())
            continue;
        if (mode.section != section)
            text += std::string(mode.section) + ":\n";
        section = mode.section;
        text += "  " + with_animations(mode.help, "|") + "\n";
    }
    text += "Options:\n";
    for (const option_row& row : option_table())
        if (!row.help.empty())
            text += "  " + std::string(row.help) + "\n";
    return text + "Exit status: 0 success, 1 the conversion failed, 2 usage error.\n";
}

std::string tables_json()
{
    std::string json = "{\"formats\": [";
    std::string_view line;
    for (const format_row& row : format_table()) {
        line = row.help.empty() ? line : row.help;
        json += (json.back() == '[' ? "\n  " : ",\n  ") + format_json(row, line);
    }
    json += "],\n \"modes\": [";
    for (const mode_row& mode : mode_table())
        json += (json.back() == '[' ? "\n  " : ",\n  ") + mode_json(mode);
    json += "],\n \"options\": [";
    for (const option_row& option : option_table())
        json += (json.back() == '[' ? "\n  " : ",\n  ") + option_json(option);
    return json + "]}\n";
}
