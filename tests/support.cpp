#include "support.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

// Forks and runs `argv` with standard output (and error, when given) sent to files.
pid_t spawn(const std::vector<std::string>& argv, const std::string& cwd, const std::string& out_path,
            const std::string& err_path)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0)
        _exit(126);
    const int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, 0);
    if (!out_path.empty()) {
        const int fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
    }
    if (!err_path.empty()) {
        const int fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
    }
    // Under AddressSanitizer SDL and Mesa report leaks of their own; the programs' own
    // memory use is checked by the unit tests, which run without a display.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

int status_of(int raw)
{
    if (WIFEXITED(raw))
        return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw))
        return 128 + WTERMSIG(raw);
    return -1;
}

// Waits up to `limit` for `pid`; kills it when the time runs out.
int reap(pid_t pid, std::chrono::milliseconds limit)
{
    int result = -1;
    const bool ended = wait_until(
        [&] {
            int raw = 0;
            const pid_t r = waitpid(pid, &raw, WNOHANG);
            if (r == pid)
                result = status_of(raw);
            return r == pid || r < 0;
        },
        limit);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return result;
}

struct x_server {
    pid_t pid = -1;
    Display* display = nullptr;
    std::string why;

    x_server()
    {
        int fds[2];
        if (pipe(fds) != 0) {
            why = "no pipe for Xvfb";
            return;
        }
        pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(fds[0]);
            const int null_fd = open("/dev/null", O_WRONLY);
            dup2(null_fd, 1);
            dup2(null_fd, 2);
            const std::string fd_text = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd_text.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
                   "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty()) {
            why = "Xvfb did not start (is the xvfb package installed?)";
            return;
        }
        const std::string name = ":" + number;
        setenv("DISPLAY", name.c_str(), 1);
        display = XOpenDisplay(name.c_str());
        // A window that goes away between two requests is an expected race, not a reason
        // to end the test program.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        if (!display)
            why = "cannot connect to Xvfb on " + name;
    }

    ~x_server()
    {
        if (display)
            XCloseDisplay(display);
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

x_server& server()
{
    static x_server instance;
    return instance;
}

Display* display()
{
    return server().display;
}

// The shown top-level window that belongs to process `pid`, or 0.
Window window_of(pid_t pid)
{
    Display* d = display();
    const Atom pid_atom = XInternAtom(d, "_NET_WM_PID", False);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count))
        return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, children[i], pid_atom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                               &data) == Success &&
            data) {
            if (items == 1 && static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data)) == pid) {
                XWindowAttributes attributes{};
                if (XGetWindowAttributes(d, children[i], &attributes) && attributes.map_state == IsViewable)
                    found = children[i];
            }
            XFree(data);
        }
    }
    if (children)
        XFree(children);
    return found;
}

} // namespace

tmpfs_mount::tmpfs_mount(const std::string& options)
{
    path = dir.path + "/mnt";
    mkdir(path.c_str(), 0755);
    mounted = mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) == 0;
    if (!mounted)
        why = std::string("cannot mount a small tmpfs for failed saves: ") + std::strerror(errno) +
              (geteuid() == 0 ? "" : " (run the tests as root)");
}

tmpfs_mount::~tmpfs_mount()
{
    if (mounted)
        umount2(path.c_str(), MNT_DETACH);
}

bool tmpfs_mount::remount_read_only()
{
    return mount("tmpfs", path.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

void tmpfs_mount::fill_up()
{
    static const std::vector<char> block(4096, 'x');
    for (int i = 0;; ++i) {
        const std::string name = file("filler" + std::to_string(i));
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0)
            return;
        std::size_t total = 0;
        for (ssize_t written = 1; written > 0;) {
            written = write(fd, block.data(), block.size());
            total += written > 0 ? static_cast<std::size_t>(written) : 0;
        }
        // Top up the last partial page byte by byte, so not one byte is left.
        while (write(fd, block.data(), 1) == 1)
            ++total;
        close(fd);
        if (total == 0) {
            unlink(name.c_str());
            return;
        }
    }
}

finished_run run_program(const std::vector<std::string>& argv, const std::string& cwd,
                         std::chrono::milliseconds limit)
{
    temp_dir logs;
    const std::string out = logs.file("stdout");
    const std::string err = logs.file("stderr");
    const pid_t pid = spawn(argv, cwd, out, err);
    finished_run result;
    result.status = reap(pid, limit);
    result.output = read_text(out);
    result.errors = read_text(err);
    return result;
}

bool start_x_server(std::string& why)
{
    why = server().why;
    return display() != nullptr;
}

std::uint32_t screenshot::pixel(int x, int y) const
{
    const std::uint32_t color = at(2 * x, 2 * y);
    if (at(2 * x + 1, 2 * y) != color || at(2 * x, 2 * y + 1) != color || at(2 * x + 1, 2 * y + 1) != color)
        return 0xFFFFFFFFu;
    return color;
}

std::uint32_t window_rgb(std::uint8_t color)
{
    const std::uint32_t low = (color & 8) ? 0x5F : 0x00;
    const std::uint32_t high = (color & 8) ? 0xFF : 0xA0;
    const std::uint32_t red = (color & 4) ? high : low;
    const std::uint32_t green = (color & 2) ? high : low;
    const std::uint32_t blue = (color & 1) ? high : low;
    return red << 16 | green << 8 | blue;
}

editor::editor(const std::vector<std::string>& argv, const std::string& cwd)
{
    output_path = logs.file("stdout");
    pid = spawn(argv, cwd, output_path, logs.file("stderr"));
    wait_until(
        [&] {
            window = window_of(pid);
            return window != 0 || !running();
        },
        hang_limit);
}

editor::~editor()
{
    if (running()) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

bool editor::running() const
{
    if (status != -1)
        return false;
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

std::string editor::title() const
{
    char* name = nullptr;
    std::string result;
    if (XFetchName(display(), window, &name) && name) {
        result = name;
        XFree(name);
    }
    return result;
}

void editor::keys(const std::vector<std::string>& names)
{
    keys_typed += names.size();
    std::vector<std::string> argv = {"/usr/bin/xdotool", "key", "--window", std::to_string(window), "--delay", "1"};
    argv.insert(argv.end(), names.begin(), names.end());
    const pid_t typist = spawn(argv, "", "", "");
    reap(typist, hang_limit + per_key_limit * names.size());
}

std::chrono::milliseconds editor::patience() const
{
    return hang_limit + per_key_limit * keys_typed;
}

bool editor::waits_for(const std::function<bool()>& done) const
{
    return wait_until(done, patience());
}

screenshot editor::shot() const
{
    screenshot result;
    XImage* image = XGetImage(display(), window, 0, 0, 640, 400, AllPlanes, ZPixmap);
    if (!image)
        return result;
    result.width = image->width;
    result.height = image->height;
    result.rgb.resize(static_cast<std::size_t>(result.width) * result.height);
    // Xvfb's 24-bit screen gives 32-bit pixels, blue byte first; reading them straight
    // from the image is many times cheaper than XGetPixel, which matters while polling.
    const bool direct = image->bits_per_pixel == 32 && image->byte_order == LSBFirst;
    for (int y = 0; y < result.height; ++y)
        for (int x = 0; x < result.width; ++x) {
            std::uint32_t value = 0;
            if (direct) {
                const auto* p = reinterpret_cast<const unsigned char*>(image->data) +
                                static_cast<std::size_t>(y) * static_cast<std::size_t>(image->bytes_per_line) +
                                4 * static_cast<std::size_t>(x);
                value = std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
            } else {
                value = static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
            }
            result.rgb[static_cast<std::size_t>(y) * result.width + x] = value;
        }
    XDestroyImage(image);
    return result;
}

screenshot editor::shot_until(const std::function<bool(const screenshot&)>& good) const
{
    screenshot last;
    waits_for([&] {
        last = shot();
        return last.width == 640 && last.height == 400 && good(last);
    });
    return last;
}

void editor::close() const
{
    Display* d = display();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, window, False, NoEventMask, &event);
    XFlush(d);
}

int editor::wait_exit()
{
    // A close request queues behind the keys typed before it, so this wait scales too.
    if (status == -1)
        status = reap(pid, patience());
    return status;
}

std::string editor::output() const
{
    return read_text(output_path);
}
