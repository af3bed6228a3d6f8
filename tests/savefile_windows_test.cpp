// The safe save on Windows (savefile_windows.cpp), run under Wine: the swap over an
// existing file, failures that keep the old file, Unicode names and device names.
#include "art/savefile.hpp"

#include "support.hpp"

#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>

namespace {

const bytes old_bytes = {'o', 'l', 'd', '\n'};
const bytes new_bytes = {'n', '\n', 0x1A, '\r', 0, 'w'}; // what text mode would change

int save(const std::string& name, const bytes& contents)
{
    return replace_file(name.c_str(), contents.data(), contents.size());
}

std::wstring wide(const std::string& utf8)
{
    std::wstring result(utf8.size(), L'\0');
    result.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), result.data(),
                            static_cast<int>(result.size()))));
    return result;
}

// The file's bytes read through its UTF-16 name, so that a name spoiled on the way
// (a '?' for each character the ANSI page lacks) cannot pass.
bytes read_wide(const std::string& name)
{
    bytes contents;
    if (std::FILE* file = _wfopen(wide(name).c_str(), L"rb")) {
        for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
            contents.push_back(static_cast<std::uint8_t>(c));
        std::fclose(file);
    }
    return contents;
}

} // namespace

TEST(WindowsSave, ReplacesAnExistingFileWholeAndLeavesNothingBeside)
{
    temp_dir dir;
    write_file(dir.file("hero.spr"), old_bytes);
    ASSERT_EQ(save(dir.file("hero.spr"), new_bytes), 0);
    EXPECT_EQ(read_file(dir.file("hero.spr")), new_bytes);
    EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"hero.spr"});

    // A set: both files new, as one.
    const bytes other = {1, 2, 3};
    const std::string first = dir.file("walk.png"), second = dir.file("walk.json");
    write_file(second, old_bytes);
    const new_file files[] = {{first.c_str(), new_bytes.data(), new_bytes.size()},
                              {second.c_str(), other.data(), other.size()}};
    std::size_t failed = 99;
    ASSERT_EQ(replace_files(files, failed), 0);
    EXPECT_EQ(read_file(first), new_bytes);
    EXPECT_EQ(read_file(second), other);
    EXPECT_EQ(list_dir(dir.path).size(), 3u);
}

// A read-only target refuses the swap, and a missing folder the temporary file: either
// way the old file stays as it was and no temporary file is left.
TEST(WindowsSave, AFailedSaveKeepsTheOldFile)
{
    temp_dir dir;
    const std::string locked = dir.file("locked.spr");
    write_file(locked, old_bytes);
    ASSERT_TRUE(SetFileAttributesW(wide(locked).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_NE(save(locked, new_bytes), 0);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(read_file(locked), old_bytes);
    EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"locked.spr"});

    // In a set, a later file that fails leaves the earlier one untouched too.
    const std::string earlier = dir.file("earlier.png");
    write_file(earlier, old_bytes);
    const new_file files[] = {{earlier.c_str(), new_bytes.data(), new_bytes.size()},
                              {locked.c_str(), new_bytes.data(), new_bytes.size()}};
    std::size_t failed = 99;
    EXPECT_NE(replace_files(files, failed), 0);
    EXPECT_EQ(failed, 1u);
    EXPECT_EQ(read_file(earlier), old_bytes);
    SetFileAttributesW(wide(locked).c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_EQ(save(dir.file("no-such-folder/hero.spr"), new_bytes), 1);
    EXPECT_EQ(errno, ENOENT);
}

TEST(WindowsSave, UnicodeNamesRoundTrip)
{
    temp_dir dir;
    for (const char* name : {"h\xC3\xA9ros.spr", "\xE3\x82\xB9\xE3\x83\x97\xE3\x83\xA9\xE3\x82\xA4\xE3\x83\x88.spr"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        ASSERT_EQ(save(path, old_bytes), 0);
        ASSERT_EQ(save(path, new_bytes), 0);
        EXPECT_EQ(read_wide(path), new_bytes);
        EXPECT_EQ(read_file(path), new_bytes) << "the manifest's UTF-8 page reaches std::ifstream";
        EXPECT_EQ(file_identity(path.c_str()).rfind("file ", 0), 0u);
    }
    EXPECT_EQ(list_dir(dir.path).size(), 2u);
}

// Windows' device names, with any ending and in any case, and folders are never written.
TEST(WindowsSave, DevicesAndFoldersAreRefused)
{
    temp_dir dir;
    for (const std::string& name : std::vector<std::string>{"NUL", "nul.png", "Con", "com1.txt", "LPT9.spr", "aux .h",
                                                            dir.file("prn.json")}) {
        SCOPED_TRACE(name);
        EXPECT_STREQ(save_refusal(name.c_str()), "it is a device");
        EXPECT_EQ(save(name, new_bytes), 1);
    }
    EXPECT_STREQ(save_refusal(dir.path.c_str()), "it is a folder");
    EXPECT_EQ(save(dir.path, new_bytes), 1);
    EXPECT_EQ(errno, EISDIR);
    for (const char* name : {"null.png", "console.spr", "com10.h", "nul_font.fnt"})
        EXPECT_EQ(save_refusal(dir.file(name).c_str()), nullptr) << name;
    EXPECT_EQ(list_dir(dir.path).size(), 0u);
}

// One file by two spellings is the same file; two files are not, even on one drive
// (where the C library's stat gives every file the same inode, 0), and neither are two
// names not made yet, unless they differ only in case.
TEST(WindowsSave, FileIdentityByVolumeAndIndex)
{
    temp_dir dir;
    write_file(dir.file("a.spr"), old_bytes);
    write_file(dir.file("b.spr"), old_bytes);
    EXPECT_EQ(file_identity(dir.file("a.spr").c_str()), file_identity((dir.path + "\\.\\A.SPR").c_str()));
    EXPECT_NE(file_identity(dir.file("a.spr").c_str()), file_identity(dir.file("b.spr").c_str()));
    EXPECT_NE(file_identity(dir.file("new.png").c_str()), file_identity(dir.file("new.json").c_str()));
    EXPECT_EQ(file_identity(dir.file("new.png").c_str()), file_identity(dir.file("NEW.png").c_str()));
    EXPECT_NE(file_identity(dir.file("new.png").c_str()), file_identity(dir.file("a.spr").c_str()));
}
