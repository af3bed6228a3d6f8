#include "cheader.hpp"
