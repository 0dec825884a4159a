// Forwards to limits.hpp for the YAML loader, which still includes this file; it goes when the
// YAML side includes limits.hpp itself.
#pragma once

#include "config/limits.hpp"
