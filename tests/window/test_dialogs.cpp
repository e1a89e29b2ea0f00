#include "tests/window/window_test_kit.h"
