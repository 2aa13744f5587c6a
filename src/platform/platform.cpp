#include "platform/platform.h"

namespace tunex {

// The interface is header-only; this file anchors its vtable in one object file.
}  // namespace tunex
