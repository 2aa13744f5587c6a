#pragma once

// The mp3 builders of the core tag tests serve the widget tests too.
#include "core/tags/tag_test_support.h"
