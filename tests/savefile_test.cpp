#include "savefile.hpp"
#include "support.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const bytes old_contents = {1, 2, 3, 4, 5, 6, 7, 8};
const bytes new_contents = {9, 9, 9};

int replace(const std::string& path, const bytes& contents)
{
    return replace_file(path.c_str(), contents.data(), contents.size());
}

mode_t mode_of(const std::string& path)
{
    struct stat st{};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

bool is_link(const std::string& path)
{
    struct stat st{};
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::vector<std::string> sorted_names(const std::string& dir)
{
    std::vector<std::string> names = list_dir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ReplaceFile, CreatesAndReplacesWithNothingLeftBehind)
{
    temp_dir dir;
    const std::string target = dir.file("sprite.spr");
    const mode_t mask = umask(022);
    EXPECT_EQ(replace(target, old_contents), 0);
    umask(mask);
    EXPECT_EQ(read_file(target), old_contents);
    EXPECT_EQ(mode_of(target), 0644u);

    EXPECT_EQ(replace(target, new_contents), 0);
    EXPECT_EQ(read_file(target), new_contents);
    EXPECT_EQ(replace(target, {}), 0);
    EXPECT_TRUE(file_exists(target));
    EXPECT_EQ(read_file(target), bytes{});
    EXPECT_EQ(sorted_names(dir.path), std::vector<std::string>{"sprite.spr"});
}

TEST(ReplaceFile, KeepsPermissionBits)
{
    temp_dir dir;
    const std::string target = dir.file("font.fnt");
    write_file(target, old_contents);
    chmod(target.c_str(), 0604);
    EXPECT_EQ(replace(target, new_contents), 0);
    EXPECT_EQ(mode_of(target), 0604u);
    EXPECT_EQ(read_file(target), new_contents);
}

TEST(ReplaceFile, ALinkStaysALinkAndItsFileIsReplaced)
{
    temp_dir dir;
    mkdir(dir.file("art").c_str(), 0755);
    const std::string real = dir.file("art/hero.spr");
    write_file(real, old_contents);
    const std::string link = dir.file("current.spr");
    ASSERT_EQ(symlink("art/hero.spr", link.c_str()), 0); // relative to the link's folder
    const std::string chained = dir.file("chained.spr");
    ASSERT_EQ(symlink(link.c_str(), chained.c_str()), 0);

    EXPECT_EQ(replace(chained, new_contents), 0);
    EXPECT_TRUE(is_link(link));
    EXPECT_TRUE(is_link(chained));
    EXPECT_EQ(read_file(real), new_contents);
    EXPECT_EQ(sorted_names(dir.file("art")), std::vector<std::string>{"hero.spr"});

    // A dangling link names the file that the save creates.
    const std::string dangling = dir.file("new.spr");
    ASSERT_EQ(symlink("art/new-hero.spr", dangling.c_str()), 0);
    EXPECT_EQ(replace(dangling, old_contents), 0);
    EXPECT_TRUE(is_link(dangling));
    EXPECT_EQ(read_file(dir.file("art/new-hero.spr")), old_contents);
}

TEST(ReplaceFile, AMissingFolderIsReportedAndNothingIsMade)
{
    temp_dir dir;
    EXPECT_EQ(replace(dir.file("no/such/folder/x.spr"), new_contents), 1);
    EXPECT_TRUE(list_dir(dir.path).empty());
}

TEST(ReplaceFile, AFullFileSystemLeavesTheOldFileWhole)
{
    tmpfs_mount disk("size=64k");
    if (!disk.mounted)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    const std::string target = disk.file("sprite.spr");
    write_file(target, old_contents);
    disk.fill_up();
    const bytes larger(20000, 7); // larger than the old file, so freed space cannot hold it
    EXPECT_EQ(replace(target, larger), -1);
    EXPECT_EQ(read_file(target), old_contents);
    for (const std::string& name : list_dir(disk.path))
        EXPECT_TRUE(name == "sprite.spr" || name.rfind("filler", 0) == 0) << "left behind: " << name;
}

TEST(ReplaceFile, AReadOnlyFolderLeavesTheOldFileWhole)
{
    tmpfs_mount disk("size=64k");
    if (!disk.mounted)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    const std::string target = disk.file("font.fnt");
    write_file(target, old_contents);
    ASSERT_TRUE(disk.remount_read_only());
    EXPECT_EQ(replace(target, new_contents), 1);
    EXPECT_EQ(read_file(target), old_contents);
    EXPECT_EQ(sorted_names(disk.path), std::vector<std::string>{"font.fnt"});
}

TEST(ReplaceFile, AFolderThatRefusesNewFilesGetsTheTargetRewrittenInPlace)
{
    tmpfs_mount disk("size=64k,nr_inodes=8");
    if (!disk.mounted)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    const std::string target = disk.file("sprite.spr");
    write_file(target, old_contents);
    chmod(target.c_str(), 0640);
    // Use up every inode, so no temporary file can be made beside the target.
    for (int i = 0;; ++i) {
        const int fd = open(disk.file("empty" + std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0)
            break;
        close(fd);
    }
    EXPECT_EQ(replace(target, new_contents), 0);
    EXPECT_EQ(read_file(target), new_contents);
    EXPECT_EQ(mode_of(target), 0640u);

    // When the file system is full as well, the old file is not touched at all.
    const int filler = open(disk.file("empty0").c_str(), O_WRONLY);
    const bytes block(4096, 1);
    while (write(filler, block.data(), block.size()) > 0) {
    }
    close(filler);
    EXPECT_EQ(replace(target, bytes(20000, 7)), -1);
    EXPECT_EQ(read_file(target), new_contents);

    // Where the target does not exist yet there is nothing to fall back on.
    EXPECT_EQ(replace(disk.file("other.spr"), new_contents), 1);
    EXPECT_FALSE(file_exists(disk.file("other.spr")));
}

} // namespace

TEST(ReplaceFiles, AllOrNoneWhenTheDiskFillsPartWay)
{
    tmpfs_mount disk("size=64k");
    if (!disk.mounted)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    const std::string first = disk.file("a.png");
    const std::string second = disk.file("a.json");
    write_file(first, old_contents);
    const bytes small(100, 1);
    const bytes large(200000, 2); // more than the whole file system holds
    std::vector<new_file> files = {{first.c_str(), small.data(), small.size()},
                                   {second.c_str(), large.data(), large.size()}};
    std::size_t failed = 9;
    EXPECT_EQ(replace_files(files, failed), -1);
    EXPECT_EQ(failed, 1u);
    EXPECT_EQ(read_file(first), old_contents);
    EXPECT_EQ(list_dir(disk.path), std::vector<std::string>{"a.png"}); // no temporary left

    files[1].size = 50;
    EXPECT_EQ(replace_files(files, failed), 0);
    EXPECT_EQ(read_file(first), small);
    EXPECT_EQ(read_file(second), bytes(50, 2));
    EXPECT_EQ(list_dir(disk.path).size(), 2u);
}
