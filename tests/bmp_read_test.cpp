#include "support.hpp"
