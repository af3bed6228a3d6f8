#include "bitmap.hpp"
