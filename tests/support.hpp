// Helpers shared by the tests: temporary folders and files, small tmpfs mounts for
// failed saves, and driving the real programs in a private X server (Xvfb) with real
// key presses, window screenshots and a window manager's close request.
// support_files.cpp holds what every system has (files, folders, waiting), the only part
// that the Windows build of the tests links; support.cpp the rest, for Linux.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using bytes = std::vector<std::uint8_t>;

// A fresh folder under /tmp, removed with everything in it when this goes.
struct temp_dir {
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
    std::string file(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

bytes read_file(const std::string& path); // empty when the file cannot be read
std::string read_text(const std::string& path); // the same bytes as a string
bool file_exists(const std::string& path);
void write_file(const std::string& path, const bytes& contents);
std::vector<std::string> list_dir(const std::string& path); // names, without . and ..

// True when CI=true: a run there must do every test's job, so a test that cannot is a
// failure. Elsewhere such a test is skipped and says in one line what is missing.
bool every_test_must_run();

// Ends the current test when this machine lacks what it needs (`missing`, one line): a
// failure when every_test_must_run(), else a skip. A macro, since both return from the test.
#define SKIP_OR_FAIL(missing)                                                                      \
    do {                                                                                           \
        if (every_test_must_run())                                                                 \
            FAIL() << "cannot do its job (CI=true, so this fails instead of skipping): " << (missing); \
        GTEST_SKIP() << (missing);                                                                 \
    } while (0)

// A tmpfs mounted on a fresh folder; `mounted` is false where this process may not
// mount, and `why` then says so in one line for SKIP_OR_FAIL. Unmounted when this goes.
struct tmpfs_mount {
    explicit tmpfs_mount(const std::string& options); // e.g. "size=64k" or "nr_inodes=4"
    ~tmpfs_mount();
    tmpfs_mount(const tmpfs_mount&) = delete;
    tmpfs_mount& operator=(const tmpfs_mount&) = delete;
    bool remount_read_only();
    // Creates files in the mount until it refuses: no space or no inode is left.
    void fill_up();
    std::string file(const std::string& name) const { return path + "/" + name; }
    temp_dir dir;
    std::string path;
    bool mounted = false;
    std::string why;
};

// The failed-save fixture: `disk`, a tmpfs mounted with `options` on which a save can be
// made to fail (filled up, out of inodes, remounted read only). Where this process may
// not mount, the test ends as SKIP_OR_FAIL ends it.
#define MOUNT_SMALL_DISK(disk, options) \
    tmpfs_mount disk(options);          \
    if (!disk.mounted)                  \
    SKIP_OR_FAIL(disk.why)

// Every wait below ends as soon as its condition holds. Its limit only ends a real
// hang: a minute, plus `per_key_limit` for each key typed into a program, since on a
// busy two-core machine under sanitizers a key can take a dozen milliseconds.
inline constexpr std::chrono::milliseconds hang_limit = std::chrono::seconds(60);
inline constexpr std::chrono::milliseconds per_key_limit = std::chrono::milliseconds(50);

// Polls `done` until it holds or `limit` has passed; the pause between polls grows
// from 5 to 50 ms, so that a costly check leaves the processor to the program.
bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit = hang_limit);

// ---- A program run from start to end without a window ----

struct finished_run {
    int status = -1;     // exit status, 128 + signal when killed, -1 when it did not end in time
    std::string output;  // everything printed on standard output
    std::string errors;  // everything printed on standard error
};

// Runs `argv` (argv[0] is the program's path) in folder `cwd` and waits for its end.
finished_run run_program(const std::vector<std::string>& argv, const std::string& cwd,
                         std::chrono::milliseconds limit = hang_limit);

// ---- A program driven through its window in the test's own X server ----

// Starts Xvfb once for this test program and points DISPLAY at it. Returns false
// (with the reason in `why`) when no X server can be started.
bool start_x_server(std::string& why);

struct screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb; // 0xRRGGBB, row by row
    std::uint32_t at(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
    // The colour of frame-buffer pixel (x, y), which fills a 2 x 2 block of the window;
    // 0xFFFFFFFF when the block is not of one colour.
    std::uint32_t pixel(int x, int y) const;
};

// The window colour 0xRRGGBB of palette index `color`.
std::uint32_t window_rgb(std::uint8_t color);

struct editor {
    // Starts `argv` in `cwd` and waits until its window is shown. `window` stays 0 when
    // the program ended first or showed nothing in time.
    editor(const std::vector<std::string>& argv, const std::string& cwd);
    ~editor(); // kills the program if it still runs
    editor(const editor&) = delete;
    editor& operator=(const editor&) = delete;

    std::string title() const;
    // Types the keys, named as xdotool names them ("space", "F2", "Right", "KP_Add").
    // Returns once they are sent, usually long before the program has handled them.
    void keys(const std::vector<std::string>& names);
    // The limit for a wait on this program: hang_limit plus per_key_limit for every
    // key typed so far.
    std::chrono::milliseconds patience() const;
    // Polls `done` until it holds or patience() has passed.
    bool waits_for(const std::function<bool()>& done) const;
    screenshot shot() const;
    // Waits for a screenshot for which `good` holds, within patience(); returns the
    // last one taken.
    screenshot shot_until(const std::function<bool(const screenshot&)>& good) const;
    // Asks the window to close, as a window manager does (WM_DELETE_WINDOW).
    void close() const;
    bool running() const;
    // Waits for the program's end: its exit status, 128 + signal, or -1 after patience().
    int wait_exit();
    std::string output() const; // standard output so far

    pid_t pid = -1;
    unsigned long window = 0;
    std::string output_path;
    int status = -1;
    std::size_t keys_typed = 0;
    temp_dir logs;
};
