#pragma once

#include "core/tags/tag_walk.h"

#include <functional>

namespace tunex {

class ProgressWindow;

// Runs a tag batch on a thread of its own while `progress` counts its steps from the GUI thread,
// which goes on repainting; Stop and Escape reach the batch through its cancel test between files
// (Escape only where `cancelOnEscape`). The owner window takes no input meanwhile: the caller
// disables it. Returns once the batch has returned.
void runTagBatch(ProgressWindow& progress, bool cancelOnEscape,
                 const std::function<void(const TagWalkProgress&)>& batch);

}  // namespace tunex
