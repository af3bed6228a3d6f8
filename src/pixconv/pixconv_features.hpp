// What a build may lack: giflib, FreeType, the WOFF2 encoder, watching files for
// changes. Each is a source of its own holding its rows of the three tables; this
// folder's CMakeLists.txt alone decides which sources a build has, and makes the list
// below from them. A build without one simply lacks its rows: the tables, --help and
// the pages that read the tables as data see the same rows. Nothing here reports errors.
#pragma once
#include "pixconv/pixconv_rows.hpp"

#include <algorithm>
#include <span>
#include <vector>

struct pixconv_feature {
    std::span<const format_row> formats;
    std::span<const option_row> options;
    std::span<const mode_row> modes;
};

// The features this build has, in the order CMakeLists.txt adds them.
std::span<const pixconv_feature* const> pixconv_features();

// Lists `core` with every feature's rows of the same table inserted after the row each
// follows; a feature's row whose key (`key_of`) a row listed before has instead
// completes that row through `complete`. Made once by each table's accessor.
template <typename Row, typename Key, typename Complete>
std::vector<Row> with_features(std::span<const Row> core, std::span<const Row> pixconv_feature::*rows, Key key_of,
                               Complete complete)
{
    std::vector<Row> table(core.begin(), core.end());
    for (const pixconv_feature* feature : pixconv_features())
        for (const Row& row : feature->*rows) {
            auto same = std::find_if(table.begin(), table.end(), [&](const Row& each) { return key_of(each) == key_of(row); });
            if (same != table.end()) {
                complete(*same, row);
                continue;
            }
            auto after = std::find_if(table.rbegin(), table.rend(), [&](const Row& each) { return key_of(each).first == row.follows; });
            table.insert(after == table.rend() ? table.end() : after.base(), row);
        }
    return table;
}
