// The one main of the core tests: doctest's own, which CTest discovery asks for the case list.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest/doctest.h>
