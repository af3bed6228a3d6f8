#include "bdffile.hpp"
