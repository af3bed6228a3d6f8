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
