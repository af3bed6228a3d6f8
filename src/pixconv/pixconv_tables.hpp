// The converter's three tables as text: for people (--help) and for programs
// (--tables-json), both made from the same rows, so that the converter page and the
// editors' Export see exactly the formats, modes and options of the build they load.
// Nothing here reports errors.
#pragma once
#include <string>

// What --help prints.
std::string usage_text();

// What --tables-json prints: one JSON object,
//   {"formats": [{"ending", "family", "holds", "read", "write", "asked_by", "help", "shown"}...],
//    "modes": [{"name", "section", "inputs": [{"ending", "stands_for", "many"}], "outputs",
//               "needs", "help"}...],
//    "options": [{"name", "value", "help", "action"}...]}
// "holds" is "sprite", "font" or "either"; "read" and "write" list what a row reads and
// writes ("sprite", "font", "palette"); a format's "help" is that of the --help line it
// is listed on, and "shown" says whether that line names its ending; a mode's "outputs"
// are patterns ("SHEET.png", "FOLDER/", "NAME%02d.spr"); an option's "value" is what its
// value stands for ("" when it takes none) and "action" marks --help, --version and
// --tables-json, which convert nothing.
std::string tables_json();
