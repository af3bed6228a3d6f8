#include "support.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

temp_dir::temp_dir()
{
    std::random_device random;
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
        const fs::path candidate = base / ("editors-test-" + std::to_string(random()));
        if (fs::create_directory(candidate, error))
            path = candidate.string();
    }
}

temp_dir::~temp_dir()
{
    std::error_code error;
    if (!path.empty())
        fs::remove_all(path, error);
}

std::string read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bytes read_file(const std::string& path)
{
    const std::string text = read_text(path);
    return {text.begin(), text.end()};
}

bool file_exists(const std::string& path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

void write_file(const std::string& path, const bytes& contents)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(contents.data()), static_cast<std::streamsize>(contents.size()));
}

std::vector<std::string> list_dir(const std::string& path)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(path, error))
        names.push_back(entry.path().filename().string());
    return names;
}

bool every_test_must_run()
{
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    // A screenshot costs the test a few milliseconds of processor time; polling it every
    // 5 ms would take a core the program needs on a two-core machine.
    auto pause = std::chrono::milliseconds(5);
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 3 / 2, std::chrono::milliseconds(50));
    }
}
