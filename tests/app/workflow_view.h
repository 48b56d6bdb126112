#pragma once
// A view of the suite's browser that the program's own workflow loads its pages into, the
// way the window and the command line do.
#include "app/stream_workflow.h"
#include "hostctl/engine_library.h"
#include "tests/support/host_loop.h"
#include "tests/support/page_view.h"

namespace hostile {

class WorkflowView : public testsupport::PageView, public app::StreamWorkflow::Page {
  protected:
    // Only the load is waited for: the frame count would ask the page through the bridge,
    // which a hostile page may have broken.
    void Load(const std::string& address) override {
        int before = loads();
        hostctl::Engine().wkeLoadURL(view_, address.c_str());
        ASSERT_TRUE(testsupport::PumpHostLoop([&] { return loads() > before; }));
    }
    intptr_t View() override { return reinterpret_cast<intptr_t>(view_); }
};

}  // namespace hostile
