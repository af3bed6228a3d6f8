// The fonts pixconv writes for engines and web pages, used the way their users use
// them: LÖVE draws a line with the BMFont and with the TrueType in the test's own X
// server, and headless Chromium shows a line in the WOFF2 through CSS @font-face. Both
// pictures are compared with the font's glyphs pixel for pixel.
#include "support.hpp"
#include "testfonts.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// The line both consumers draw: ASCII with its edge cases and Latin-1 letters, whose
// ids and cmap entries are above 127. Codes, and the same text in UTF-8.
const std::vector<std::uint8_t> line_codes = {'A', 'g', 'W', '#', '~', '{', '|', '0', '@', 0xE9, 0xDF, 0xFF};
const std::string line_utf8 = "AgW#~{|0@\xc3\xa9\xc3\x9f\xc3\xbf";

// The line as rows of 'X' and '.', `scale` times enlarged, 8 x scale pixels a glyph.
std::vector<std::string> expected_rows(const struct font& source, int scale)
{
    std::vector<std::string> rows;
    for (int y = 0; y < 8 * scale; ++y) {
        std::string row;
        for (const std::uint8_t code : line_codes)
            for (int x = 0; x < 8 * scale; ++x)
                row += (source.chr[code].bitmap[static_cast<std::size_t>(y / scale)] & (1u << (x / scale))) ? 'X' : '.';
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bytes text_bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

class FontConsumers : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!start_x_server(why))
            SKIP_OR_FAIL("no X server: " + why);
        write_file(fonts.file("lop.fnt"), write_font_file(lopsided_font()));
    }
    // Converts the test font into `output`, a path in `folder`.
    void pixconv(const std::vector<std::string>& options, const std::string& output) const
    {
        std::vector<std::string> argv{PIXCONV_PATH};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.insert(argv.end(), {fonts.file("lop.fnt"), output});
        const finished_run run = run_program(argv, fonts.path);
        ASSERT_EQ(run.status, 0) << output << ": " << run.errors;
    }
    temp_dir fonts;
};

// LÖVE reads files only inside its game folder; main.lua prints the drawn frame's
// pixels and quits. The BMFont line lies at the top, the TrueType line 16 rows lower.
constexpr const char* love_conf = R"(function love.conf(t)
  t.window.width = 128
  t.window.height = 32
  t.modules.audio = false
  t.modules.sound = false
  t.modules.joystick = false
end
)";

constexpr const char* love_main = R"(local bmfont, truetype
function love.load()
  bmfont = love.graphics.newFont("font.fnt")
  truetype = love.graphics.newFont("font.ttf", 8, "mono")
end
local asked = false
function love.draw()
  love.graphics.clear(0, 0, 0, 1)
  love.graphics.setColor(1, 1, 1, 1)
  love.graphics.setFont(bmfont)
  love.graphics.print(text, 0, 0)
  love.graphics.setFont(truetype)
  love.graphics.print(text, 0, 16)
  if asked then return end
  asked = true
  love.graphics.captureScreenshot(function(image)
    for y = 0, image:getHeight() - 1 do
      local row = {}
      for x = 0, image:getWidth() - 1 do
        local r, g, b = image:getPixel(x, y)
        row[#row + 1] = (r == 1 and g == 1 and b == 1) and "X" or ((r + g + b == 0) and "." or "?")
      end
      io.write(table.concat(row), "\n")
    end
    io.flush()
    love.event.quit(0)
  end)
end
)";

TEST_F(FontConsumers, LoveDrawsTheBmfontAndTheTrueTypeLinePixelForPixel)
{
    const temp_dir game;
    const struct font source = lopsided_font();
    pixconv({"--bmfont"}, game.file("font.fnt")); // and font_0.png beside it
    pixconv({}, game.file("font.ttf"));
    write_file(game.file("conf.lua"), text_bytes(love_conf));
    write_file(game.file("main.lua"), text_bytes("local text = \"" + line_utf8 + "\"\n" + love_main));

    const finished_run run = run_program({"/usr/bin/love", game.path}, game.path);
    ASSERT_EQ(run.status, 0) << run.errors;
    const std::vector<std::string> shown = lines_of(run.output);
    ASSERT_EQ(shown.size(), 32u) << run.output << run.errors;
    const std::vector<std::string> expected = expected_rows(source, 1);
    const std::string blank(128 - expected[0].size(), '.');
    for (std::size_t y = 0; y < 32; ++y) {
        const std::size_t glyph_row = y % 16;
        const std::string want = glyph_row < 8 ? expected[glyph_row] + blank : std::string(128, '.');
        EXPECT_EQ(shown[y], want) << (y < 16 ? "BMFont" : "TrueType") << " row " << glyph_row;
    }
}

// The line in the WOFF2 at 16 pixels, white on black, set at the page's top left; and
// the BMFont XML through the browser's own XML parser, as web game frameworks read it.
constexpr const char* page_head = R"(<!doctype html>
<meta charset="utf-8">
<style>
@font-face { font-family: "Lop"; src: url(font.woff2) format("woff2"); }
html, body { margin: 0; background: #000; }
#line { font: 16px/16px "Lop"; color: #fff; white-space: pre; }
</style>
<div id="line">)";

constexpr const char* page_tail = R"(</div>
<script>
(async () => {
    const faces = await document.fonts.load('16px "Lop"');
    const xml = new DOMParser().parseFromString(await (await fetch('font.xml')).text(), 'application/xml');
    const attribute = (tag, name) => xml.getElementsByTagName(tag)[0]?.getAttribute(name);
    const chars = [...xml.getElementsByTagName('char')];
    const letter = chars.find((c) => c.getAttribute('id') === '233');
    window.pageResult = {
        loaded: faces.length === 1 && faces[0].status === 'loaded',
        xml: xml.getElementsByTagName('parsererror').length === 0,
        face: attribute('info', 'face'),
        count: `${attribute('chars', 'count')}/${chars.length}`,
        e: letter ? ['x', 'y', 'width', 'xadvance'].map((name) => letter.getAttribute(name)).join(',') : '',
        page: attribute('page', 'file'),
    };
})();
</script>
)";

TEST_F(FontConsumers, ChromiumShowsTheWoff2LineAt16PixelsInTwoColours)
{
    const temp_dir site;
    const struct font source = lopsided_font();
    pixconv({"--name", "Lop"}, site.file("font.woff2"));
    pixconv({"--name", "Lop & Co <1>"}, site.file("font.xml"));
    write_file(site.file("index.html"), text_bytes(page_head + line_utf8 + page_tail));

    const int width = 16 * static_cast<int>(line_codes.size()) + 16;
    const finished_run run = run_program({"/usr/bin/env", "node", BROWSER_DIR "/font_page.mjs", site.path,
                                          std::to_string(width), "32"},
                                         site.path, std::chrono::minutes(3));
    ASSERT_EQ(run.status, 0) << run.output << run.errors;
    const std::vector<std::string> shown = lines_of(run.output);
    ASSERT_EQ(shown.size(), 34u) << run.output << run.errors;
    EXPECT_EQ(shown[0], R"(result {"loaded":true,"xml":true,"face":"Lop & Co <1>","count":"256/256",)"
                        R"("e":"72,112,8,8","page":"font_0.png"})");
    EXPECT_EQ(shown[1], "colours 2");
    const std::vector<std::string> expected = expected_rows(source, 2);
    for (std::size_t y = 0; y < 32; ++y) {
        const std::string want = y < 16 ? expected[y] + std::string(16, '.') : std::string(static_cast<std::size_t>(width), '.');
        EXPECT_EQ(shown[y + 2], want) << "row " << y;
    }
}

} // namespace
