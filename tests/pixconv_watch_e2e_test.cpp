// pixconv --watch beside the sprite editor, as a user runs them: each F2 in the editor
// (a new file renamed into place) gives a new PNG, equal to what a one-shot conversion
// writes; an input that goes missing is an error line, not the end; SIGINT ends the
// watch with status 0; an idle watch uses no processor time.
#include "support.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// pixconv --watch started in the background, its output going to files.
struct watcher {
    watcher(const temp_dir& dir, const std::vector<std::string>& args) : folder(dir.path)
    {
        pid = fork();
        if (pid == 0) {
            const int out = open(logs.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(logs.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || err < 0 || chdir(folder.c_str()) != 0)
                _exit(127);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> argv{const_cast<char*>(PIXCONV_PATH), const_cast<char*>("--watch")};
            for (const std::string& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(PIXCONV_PATH, argv.data());
            _exit(127);
        }
    }
    ~watcher()
    {
        if (pid > 0 && status < 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    std::string output() const
    {
        const bytes text = read_file(logs.file("out"));
        return {text.begin(), text.end()};
    }
    std::string errors() const
    {
        const bytes text = read_file(logs.file("err"));
        return {text.begin(), text.end()};
    }
    // Processor time used so far, user and system, in clock ticks.
    long ticks() const
    {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        long user = 0;
        long system = 0;
        for (int n = 3; n <= 15 && fields >> field; ++n) {
            if (n == 14)
                user = std::stol(field);
            if (n == 15)
                system = std::stol(field);
        }
        return user + system;
    }
    int stop(int signal)
    {
        kill(pid, signal);
        wait_until([&] {
            int raw = 0;
            if (waitpid(pid, &raw, WNOHANG) != pid)
                return false;
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            return true;
        });
        return status;
    }

    temp_dir logs;
    std::string folder;
    pid_t pid = -1;
    int status = -1;
};

std::size_t count_of(const std::string& text, const std::string& line)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
        ++count;
    return count;
}

// What a one-shot conversion writes for the sprite file `sprite`.
bytes converted(const temp_dir& dir, const bytes& sprite)
{
    write_file(dir.file("once.spr"), sprite);
    const finished_run run = run_program({PIXCONV_PATH, "once.spr", "once.png"}, dir.path);
    EXPECT_EQ(run.status, 0) << run.errors;
    return read_file(dir.file("once.png"));
}

class PixconvWatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!start_x_server(why))
            SKIP_OR_FAIL(why);
    }
    temp_dir dir;
    temp_dir scratch;
};

} // namespace

TEST_F(PixconvWatch, EverySaveInTheEditorWritesThePngAgainUntilSigint)
{
    const bytes hero = read_file(std::string(ASSETS_DIR) + "/hero.spr");
    write_file(dir.file("hero.spr"), hero);
    watcher watch(dir, {"hero.spr", "hero.png"});
    ASSERT_TRUE(wait_until([&] { return count_of(watch.output(), "pixconv: hero.png: written\n") == 1; }))
        << watch.output() << watch.errors();
    EXPECT_EQ(read_file(dir.file("hero.png")), converted(scratch, hero));

    editor pixmend({PIXMEND_PATH, "hero.spr"}, dir.path);
    ASSERT_NE(pixmend.window, 0u) << pixmend.output();
    bytes saved = hero;
    for (const std::vector<std::string>& keys : {std::vector<std::string>{"c", "space", "F2"},
                                                 std::vector<std::string>{"Right", "1", "space", "F2"}}) {
        const bytes before = saved;
        pixmend.keys(keys);
        ASSERT_TRUE(pixmend.waits_for([&] {
            saved = read_file(dir.file("hero.spr"));
            return saved != before && saved.size() == hero.size();
        }));
        const bytes expected = converted(scratch, saved);
        EXPECT_TRUE(pixmend.waits_for([&] { return read_file(dir.file("hero.png")) == expected; }))
            << watch.output() << watch.errors();
    }
    pixmend.close();
    EXPECT_EQ(pixmend.wait_exit(), 0);
    EXPECT_EQ(watch.errors(), "");

    // Idle: no processor time over two seconds (a clock tick is 10 ms).
    const long before = watch.ticks();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const long used_ms = (watch.ticks() - before) * 1000 / sysconf(_SC_CLK_TCK);
    EXPECT_LT(used_ms, 10);

    EXPECT_EQ(watch.stop(SIGINT), 0);
    EXPECT_GE(count_of(watch.output(), "pixconv: hero.png: written\n"), 3u) << watch.output();
}

TEST_F(PixconvWatch, AMissingOrBrokenInputIsAnErrorLineAndTheNextSaveIsConverted)
{
    const bytes hero = read_file(std::string(ASSETS_DIR) + "/hero.spr");
    watcher watch(dir, {"hero.spr", "hero.png"});
    // No input yet: the first run fails and the watch goes on; so does a half-written one.
    ASSERT_TRUE(wait_until([&] { return count_of(watch.errors(), "pixconv: hero.spr: ") == 1; })) << watch.errors();
    write_file(dir.file("hero.spr"), bytes(hero.begin(), hero.begin() + 10));
    ASSERT_TRUE(wait_until([&] { return count_of(watch.errors(), "pixconv: hero.spr: ") == 2; })) << watch.errors();
    write_file(dir.file("hero.spr"), hero);
    const bytes expected = converted(scratch, hero);
    EXPECT_TRUE(wait_until([&] { return read_file(dir.file("hero.png")) == expected; })) << watch.errors();
    EXPECT_TRUE(wait_until([&] { return count_of(watch.output(), "pixconv: hero.png: written\n") == 1; }));
    EXPECT_FALSE(file_exists(dir.file("once.png")));
    EXPECT_EQ(watch.stop(SIGTERM), 0);
}

// An animation is watched like any conversion: from sprite files, and from a sheet
// whose atlas (beside it, not named on the command line) changes.
TEST(PixconvWatchAnimation, ASavedFrameOrAnEditedAtlasWritesTheAnimationAgain)
{
    temp_dir dir;
    temp_dir scratch;
    write_file(dir.file("walk-1.spr"), {2, 2, 1, 2, 3, 4});
    write_file(dir.file("walk-2.spr"), {2, 2, 5, 6, 7, 8});
    ASSERT_EQ(run_program({PIXCONV_PATH, "walk-1.spr", "walk-2.spr", "sheet.png"}, dir.path).status, 0);
    // What a one-shot run writes for the same files, copied into `scratch`.
    const auto once = [&](const std::vector<std::string>& files, std::vector<std::string> argv) {
        for (const std::string& file : files)
            write_file(scratch.file(file), read_file(dir.file(file)));
        argv.insert(argv.begin(), PIXCONV_PATH);
        EXPECT_EQ(run_program(argv, scratch.path).status, 0);
        return read_file(scratch.file(argv.back()));
    };
    watcher sprites(dir, {"walk-1.spr", "walk-2.spr", "walk.apng"});
    watcher sheet(dir, {"sheet.png", "sheet.apng"});
    for (const watcher* watch : {&sprites, &sheet})
        ASSERT_TRUE(wait_until([&] { return count_of(watch->output(), ".apng: written\n") == 1; }))
            << watch->output() << watch->errors();

    write_file(dir.file("walk-2.spr"), {2, 2, 9, 10, 11, 12});
    const bytes walk = once({"walk-1.spr", "walk-2.spr"}, {"walk-1.spr", "walk-2.spr", "walk.apng"});
    EXPECT_TRUE(wait_until([&] { return read_file(dir.file("walk.apng")) == walk; })) << sprites.errors();

    const bytes json = read_file(dir.file("sheet.json"));
    std::string text(json.begin(), json.end());
    const std::string size = "\"sourceSize\":{\"w\":2,\"h\":2}";
    ASSERT_NE(text.find(size), std::string::npos) << text;
    text.insert(text.find(size) + size.size(), ",\"duration\":250");
    write_file(dir.file("sheet.json"), bytes(text.begin(), text.end()));
    const bytes slow = once({"sheet.png", "sheet.json"}, {"sheet.png", "sheet.apng"});
    EXPECT_TRUE(wait_until([&] { return read_file(dir.file("sheet.apng")) == slow; })) << sheet.errors();

    for (watcher* watch : {&sprites, &sheet}) {
        EXPECT_EQ(watch->stop(SIGTERM), 0);
        EXPECT_EQ(watch->errors(), "");
    }
}
