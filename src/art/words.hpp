// Words for messages. counted(1, "byte") is "1 byte", counted(0, "byte") "0 bytes":
// a message never says "1 bytes". Nothing here reports errors.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

inline std::string counted(std::uint64_t count, std::string_view noun)
{
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

// A size in bytes as a person says a limit: byte_size(4 << 20) is "4 MiB",
// byte_size(1536) "1536 bytes": a size that is no whole number of a unit keeps the smaller.
inline std::string byte_size(std::uint64_t size)
{
    constexpr std::string_view units[] = {"KiB", "MiB", "GiB"};
    std::string_view unit;
    for (const std::string_view larger : units) {
        if (size < 1024 || size % 1024 != 0)
            break;
        size /= 1024;
        unit = larger;
    }
    return unit.empty() ? counted(size, "byte") : std::to_string(size) + " " + std::string(unit);
}
