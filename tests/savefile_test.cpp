#include "art/savefile.hpp"
#include "support.hpp"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

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
    MOUNT_SMALL_DISK(disk, "size=64k");
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
    MOUNT_SMALL_DISK(disk, "size=64k");
    const std::string target = disk.file("font.fnt");
    write_file(target, old_contents);
    ASSERT_TRUE(disk.remount_read_only());
    EXPECT_EQ(replace(target, new_contents), 1);
    EXPECT_EQ(read_file(target), old_contents);
    EXPECT_EQ(sorted_names(disk.path), std::vector<std::string>{"font.fnt"});
}

TEST(ReplaceFile, AFolderThatRefusesNewFilesGetsTheTargetRewrittenInPlace)
{
    MOUNT_SMALL_DISK(disk, "size=64k,nr_inodes=8");
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

// A device node of our own where mknod is allowed; elsewhere a link to the system's,
// which a faulty save could not replace anyway, since /dev is not ours to write.
std::string char_device(const temp_dir& dir, const std::string& name, unsigned minor, const char* system_path)
{
    const std::string path = dir.file(name);
    if (mknod(path.c_str(), S_IFCHR | 0666, makedev(1, minor)) == 0)
        return path;
    if (geteuid() == 0)
        return "";
    return symlink(system_path, path.c_str()) == 0 ? path : "";
}

mode_t type_of(const std::string& path)
{
    struct stat st{};
    stat(path.c_str(), &st);
    return st.st_mode & S_IFMT;
}

TEST(ReplaceFile, AFifoOrACharacterDeviceIsWrittenToAndStaysWhatItIs)
{
    temp_dir dir;
    const std::string fifo = dir.file("ff.bdf");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    // With the reading end open first, the save neither blocks nor fills the pipe.
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(replace(fifo, new_contents), 0);
    std::uint8_t got[16] = {};
    EXPECT_EQ(read(reader, got, sizeof got), static_cast<ssize_t>(new_contents.size()));
    EXPECT_EQ(bytes(got, got + new_contents.size()), new_contents);
    close(reader);
    EXPECT_EQ(type_of(fifo), static_cast<mode_t>(S_IFIFO));

    const std::string null = char_device(dir, "null", 3, "/dev/null");
    const std::string full = char_device(dir, "full", 7, "/dev/full");
    ASSERT_FALSE(null.empty() || full.empty()) << "cannot make a device node";
    const std::string link = dir.file("out.spr");
    ASSERT_EQ(symlink("null", link.c_str()), 0);
    EXPECT_EQ(replace(link, new_contents), 0);
    EXPECT_EQ(replace(full, new_contents), -1) << "a device that refuses the bytes fails the save";
    EXPECT_EQ(errno, ENOSPC);
    for (const std::string& device : {null, full})
        EXPECT_EQ(type_of(device), static_cast<mode_t>(S_IFCHR)) << device;
    EXPECT_TRUE(is_link(link));
    EXPECT_EQ(sorted_names(dir.path), (std::vector<std::string>{"ff.bdf", "full", "null", "out.spr"}));
}

TEST(ReplaceFile, AFifoWhoseReaderLeavesFailsTheSaveWithoutEndingTheProgram)
{
    temp_dir dir;
    const std::string fifo = dir.file("ff.spr");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    // More than a pipe holds, so the writer is still writing when the reader goes.
    std::thread reader([&] {
        const int fd = open(fifo.c_str(), O_RDONLY);
        std::uint8_t first = 0;
        EXPECT_EQ(read(fd, &first, 1), 1);
        close(fd);
    });
    EXPECT_EQ(replace(fifo, bytes(4 << 20, 1)), -1);
    EXPECT_EQ(errno, EPIPE);
    reader.join();
    EXPECT_EQ(type_of(fifo), static_cast<mode_t>(S_IFIFO));
}

TEST(ReplaceFile, AFolderASocketOrABlockDeviceIsRefusedAndLeftAlone)
{
    temp_dir dir;
    const std::string folder = dir.file("folder.spr");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::string socket_path = dir.file("socket.spr");
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket_path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::vector<std::pair<std::string, std::string>> refused = {{folder, "it is a folder"},
                                                                {socket_path, "it is a socket"}};
    // A loop device number nothing uses; only root may make the node.
    const std::string block = dir.file("block.spr");
    if (mknod(block.c_str(), S_IFBLK | 0600, makedev(7, 250)) == 0)
        refused.emplace_back(block, "it is a block device");
    else
        std::printf("no block device case: mknod needs root\n");

    for (const auto& [path, reason] : refused) {
        const mode_t type = type_of(path);
        EXPECT_EQ(replace(path, new_contents), 1) << path;
        EXPECT_EQ(type_of(path), type) << path;
        EXPECT_STREQ(save_refusal(path.c_str()), reason.c_str());
    }
    close(listener);
    EXPECT_TRUE(list_dir(folder).empty());
    EXPECT_EQ(save_refusal(dir.file("missing.spr").c_str()), nullptr);
    EXPECT_EQ(list_dir(dir.path).size(), refused.size());
}

} // namespace

TEST(ReplaceFiles, AllOrNoneWhenTheDiskFillsPartWay)
{
    MOUNT_SMALL_DISK(disk, "size=64k");
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

TEST(ReplaceFiles, TheSecondFileFailingLeavesTheFirstAsItWasAndAFifoIsFed)
{
    temp_dir dir;
    const std::string first = dir.file("a.fnt");
    const std::string folder = dir.file("a_0.png");
    write_file(first, old_contents);
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    std::vector<new_file> files = {{first.c_str(), new_contents.data(), new_contents.size()},
                                   {folder.c_str(), new_contents.data(), new_contents.size()}};
    std::size_t failed = 9;
    EXPECT_EQ(replace_files(files, failed), 1);
    EXPECT_EQ(failed, 1u);
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(read_file(first), old_contents);
    EXPECT_EQ(sorted_names(dir.path), (std::vector<std::string>{"a.fnt", "a_0.png"}));

    // A FIFO in a set gets its bytes as a stream and stays a FIFO; the rest are renamed.
    const std::string fifo = dir.file("b.fnt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const std::string second = dir.file("b_0.png");
    files = {{second.c_str(), old_contents.data(), old_contents.size()},
             {fifo.c_str(), new_contents.data(), new_contents.size()}};
    EXPECT_EQ(replace_files(files, failed), 0);
    std::uint8_t got[16] = {};
    EXPECT_EQ(read(reader, got, sizeof got), static_cast<ssize_t>(new_contents.size()));
    EXPECT_EQ(bytes(got, got + new_contents.size()), new_contents);
    close(reader);
    EXPECT_EQ(type_of(fifo), static_cast<mode_t>(S_IFIFO));
    EXPECT_EQ(read_file(second), old_contents);
}
