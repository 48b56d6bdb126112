#include "locate/every_frame.h"

#include <vector>

#include "automation/engine_binding.h"

namespace locate {

bool InEveryFrame(automation::ViewAutomation& web,
                  const std::function<void(automation::FrameId)>& run) {
    if (!web.GetView() || !automation::Api().wkeRunJsByFrame) return false;
    std::vector<int32_t> unused;  // the numbers are what the scripts need, not the handles
    int32_t count = web.GetFrameIds(unused);
    for (automation::FrameId frame = 1; frame <= count; ++frame) run(frame);
    return true;
}

}  // namespace locate
