#include "pixconv/pixconv_modes.hpp"

#include "pixconv/pixconv_animations.hpp"
#include "pixconv/pixconv_convert.hpp"
#include "pixconv/pixconv_features.hpp"
#include "pixconv/pixconv_game.hpp"
#include "pixconv/pixconv_sheets.hpp"

#include <vector>

std::span<const mode_row> mode_table()
{
    static const std::vector<mode_row> modes = [] {
        std::vector<mode_row> core;
        for (const std::span<const mode_row> rows : {sheet_modes(), game_modes(), animation_modes(), convert_modes()})
            core.insert(core.end(), rows.begin(), rows.end());
        return with_features<mode_row>(
            core, &pixconv_feature::modes, [](const mode_row& row) { return std::pair{row.name, std::string_view{}}; },
            [](mode_row&, const mode_row&) {});
    }();
    return modes;
}

const mode_row& mode_of(const command_line& line)
{
    for (const mode_row& mode : mode_table())
        if (mode.takes(line))
            return mode;
    return mode_table().back();
}
