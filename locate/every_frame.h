#pragma once
// Operations repeated in every frame of the page.
#include <functional>

#include "automation/view_automation.h"

namespace locate {

// Calls `run` with each frame number from 1 to the page's frame count, lowest first; false,
// with nothing run, without a view or an engine to run scripts.
bool InEveryFrame(automation::ViewAutomation& web,
                  const std::function<void(automation::FrameId)>& run);

}  // namespace locate
