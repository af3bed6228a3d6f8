#include "fonts.hpp"

struct font font{};
