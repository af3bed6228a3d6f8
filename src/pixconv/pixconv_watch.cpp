// Converting again whenever an input changes (--watch), for a game engine that reloads
// its assets while it runs. Linux only: the folders are watched with inotify, so that a
// file that an editor saves by renaming a new file into place is followed by its name.
// The build has it on Linux (src/pixconv/CMakeLists.txt): the --watch option's row.
#include "pixconv/pixconv_features.hpp"

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>

namespace {

// A burst of changes (a new file written, then renamed into place; several inputs
// saved together) ends when the folders have been quiet this long.
constexpr int settle_ms = 50;

struct watched_folders {
    int fd = -1;
    std::map<int, std::set<std::string>> names; // by watch descriptor: the inputs' file names
};

std::string folder_of(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Starts watching the folder of every input; no complaint, or why it cannot.
complaint watch_folders(const std::vector<std::string>& inputs, watched_folders& watched)
{
    watched.fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (watched.fd < 0)
        return {"", std::string("cannot watch for changes: ") + std::strerror(errno)};
    for (const std::string& input : inputs) {
        const std::string folder = folder_of(input);
        // The same folder twice gives the same descriptor, so the names gather there.
        const int wd = inotify_add_watch(watched.fd, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
        if (wd < 0)
            return {folder, std::string("cannot be watched: ") + std::strerror(errno)};
        watched.names[wd].insert(input.substr(input.find_last_of('/') + 1));
    }
    return {};
}

// Reads the events waiting; true when one of them names an input.
bool read_events(const watched_folders& watched)
{
    alignas(inotify_event) std::array<char, 16384> buffer;
    bool relevant = false;
    for (;;) {
        const ssize_t got = read(watched.fd, buffer.data(), buffer.size());
        if (got <= 0)
            return relevant;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            const auto found = watched.names.find(event->wd);
            if (event->len > 0 && found != watched.names.end() && found->second.count(event->name))
                relevant = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

// The signal descriptor through which SIGINT and SIGTERM arrive; they are blocked, so
// they arrive there even when the program was started with SIGINT ignored.
int signal_descriptor()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    return signalfd(-1, &set, SFD_CLOEXEC);
}

// Runs `convert` once, then again each time one of `inputs` is closed after writing or
// renamed into place (a burst of changes within 50 ms gives one run), until SIGINT or
// SIGTERM arrives. Idle, it sleeps in poll() and uses no processor time.
complaint watch_and_convert(const std::vector<std::string>& inputs, const std::function<void()>& convert)
{
    const int signals = signal_descriptor();
    watched_folders watched;
    complaint problem;
    if (signals < 0)
        problem = {"", std::string("cannot wait for signals: ") + std::strerror(errno)};
    else
        problem = watch_folders(inputs, watched);
    if (!problem.problem.empty())
        return problem;
    convert();
    bool changed = false;
    for (;;) {
        std::array<pollfd, 2> waits = {pollfd{signals, POLLIN, 0}, pollfd{watched.fd, POLLIN, 0}};
        // Sleeps until something happens, then waits for the burst to settle.
        const int ready = poll(waits.data(), waits.size(), changed ? settle_ms : -1);
        if (ready < 0 && errno != EINTR)
            return {};
        if (waits[0].revents & POLLIN)
            break;
        if (waits[1].revents & POLLIN) {
            changed = read_events(watched) || changed;
        } else if (ready == 0 && changed) {
            changed = false;
            convert();
        }
    }
    close(watched.fd);
    close(signals);
    return {};
}

std::string set_watch(std::string_view, command_line& line)
{
    line.repeat = watch_and_convert;
    return "";
}

constexpr std::array options = {
    option_row{.name = "--watch", .set = set_watch,
               .help = "--watch           convert, then again whenever an input changes, until interrupted\n"
                       "                    (Linux only)",
               .modes = in_every_mode, .follows = "--palette"},
};

} // namespace

extern const pixconv_feature watch_feature;
const pixconv_feature watch_feature{{}, options, {}};
