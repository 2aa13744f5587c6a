#include "platform/platform.h"

namespace tunex {

// Defined here so that the vtable lives in one object file.
Platform::~Platform() = default;

}  // namespace tunex
