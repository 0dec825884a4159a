// Forwards to limits.hpp until the YAML loader includes that header itself.
#pragma once

#include "config/limits.hpp"
