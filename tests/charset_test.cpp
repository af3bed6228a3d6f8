#include "formats/charset.hpp"
#include "formats/codepage.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

const charset* page_named(const std::string& name)
{
    const charset* found = nullptr;
    EXPECT_EQ(find_charset(name, found), "") << name;
    return found;
}

} // namespace

// Every page maps each of its characters back to one code, and the DOS pages draw the
// PC's pictures where iconv has control characters. The letters checked are from the
// pages' published charts, not from iconv.
TEST(Charset, PagesComeFromIconvInAnyCaseWithThePcPicturesOnDosPages)
{
    struct expected {
        const char* name;
        bool dos;
        unsigned code;
        char32_t point;
    };
    const expected cases[] = {
        {"latin1", false, 0xE9, 0xE9},     {"CP437", true, 0xB3, 0x2502},   {"cp437", true, 0xFF, 0xA0},
        {"IBM437", true, 0x9F, 0x192},     {"Cp850", true, 0x9F, 0x192},    {"cp866", true, 0x80, 0x410},
        {"cp1251", false, 0xC0, 0x410},    {"CP1252", false, 0x80, 0x20AC}, {"windows-1252", false, 0x95, 0x2022},
        {"iso-8859-2", false, 0xA1, 0x104}, {"KOI8-R", false, 0xC1, 0x430},  {"koi8-u", false, 0xA4, 0x454},
    };
    for (const expected& each : cases) {
        SCOPED_TRACE(each.name);
        const charset* set = page_named(each.name);
        ASSERT_NE(set, nullptr);
        EXPECT_EQ(std::uint32_t{set->code_points[each.code]}, std::uint32_t{each.point});
        EXPECT_EQ(std::uint32_t{set->code_points[0]}, 0u);
        EXPECT_EQ(std::uint32_t{set->code_points[1]}, each.dos ? 0x263Au : 1u);
        EXPECT_EQ(std::uint32_t{set->code_points[31]}, each.dos ? 0x25BCu : 31u);
        EXPECT_EQ(std::uint32_t{set->code_points[127]}, each.dos ? 0x2302u : 127u);
        // Only a DOS page other than cp437 may have a character twice: its pictures
        // include the pilcrow and the section sign, which its upper half has as well.
        std::set<char32_t> seen;
        for (unsigned code = 0; code < 256; ++code) {
            const char32_t point = set->code_points[code];
            if (point == no_character)
                continue;
            const bool twice = !seen.insert(point).second;
            EXPECT_TRUE(!twice || (each.dos && (point == 0xB6 || point == 0xA7))) << "U+" << std::hex << std::uint32_t{point};
            const std::optional<std::uint8_t> back = code_of(*set, point);
            ASSERT_TRUE(back.has_value()) << code;
            EXPECT_EQ(set->code_points[*back], point) << code;
            EXPECT_TRUE(twice || *back == code) << code;
        }
        EXPECT_EQ(page_named(each.name), set) << "a page is built once";
    }
    // cp1252 leaves 0x81 unassigned; nothing maps back to it.
    EXPECT_EQ(page_named("cp1252")->code_points[0x81], no_character);
    EXPECT_EQ(code_of(*page_named("cp1252"), no_character), std::nullopt);
    EXPECT_EQ(code_of(latin1_charset, U'\u263A'), std::nullopt);
}

TEST(Charset, MultiByteAndUnknownPagesAreRefusedSayingWhich)
{
    const charset* found = &latin1_charset;
    EXPECT_EQ(find_charset("UTF-8", found), "'UTF-8' is not a single-byte code page");
    EXPECT_EQ(find_charset("utf-16", found), "'utf-16' is not a single-byte code page");
    EXPECT_EQ(find_charset("SHIFT_JIS", found), "'SHIFT_JIS' is not a single-byte code page");
    const std::string who = code_page_converter; // "iconv", or "Windows"
    EXPECT_EQ(find_charset("cp9999", found), who + " knows no code page called 'cp9999'");
    EXPECT_EQ(find_charset("", found), who + " knows no code page called ''");
    EXPECT_EQ(found, &latin1_charset);
}

// What BDF files and X fonts call the pages, both ways, aliases included.
TEST(Charset, RegistryNamesMatchXFontsBothWays)
{
    const std::pair<const char*, std::string> cases[] = {
        {"latin1", "ISO8859-1"}, {"iso-8859-2", "ISO8859-2"}, {"koi8-r", "KOI8-R"},
        {"CP437", "IBM-CP437"},  {"IBM437", "IBM-CP437"},     {"cp1251", "MICROSOFT-CP1251"},
    };
    for (const auto& [name, registry] : cases) {
        const charset* set = page_named(name);
        ASSERT_NE(set, nullptr);
        EXPECT_EQ(set->registry + "-" + set->encoding, registry) << name;
        const std::size_t dash = registry.find('-');
        const charset* back = charset_of_registry(registry.substr(0, dash), registry.substr(dash + 1));
        ASSERT_NE(back, nullptr) << registry;
        EXPECT_EQ(back->code_points, set->code_points) << registry;
    }
    EXPECT_NE(charset_of_registry("koi8", "r"), nullptr);
    EXPECT_EQ(charset_of_registry("FooBar", "1"), nullptr);
}
