#pragma once
// What the bridge's tests against pages share: the calls the bound functions heard, by view;
// the views they load from a server of their own, destroyed after each case; and whether the
// binary runs with every view on one renderer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/capi/script_calls.h"
#include "engine/capi/wke.h"
#include "tests/support/engine_session.h"
#include "tests/support/http_server.h"

namespace bridge_test {

struct Call {
    int view;
    std::string text;
};
inline std::vector<Call> calls;

inline int ViewOf(jsExecState es) {
    engine::ExecState* state = engine::ScriptCalls::Get().State(es);
    return state ? state->view : 0;
}

// Bound reply-only: what it was given, kept.
inline jsValue Note(jsExecState es, void*) {
    calls.push_back({ViewOf(es), jsToString(es, jsArg(es, 0))});
    return jsUndefined();
}

inline bool SharedRenderer() {
    const char* args = std::getenv("QIRLEN_CHROMIUM_ARGS");
    return args && std::string(args).find("--renderer-process-limit=1") != std::string::npos;
}

inline int Id(wkeWebView v) {
    return static_cast<int>(reinterpret_cast<intptr_t>(v));
}

// Views on the pages of `server_`, which each suite makes in its SetUpTestSuite.
class ViewsOnPages : public ::testing::Test {
  protected:
    static void TearDownTestSuite() { delete server_; }
    void TearDown() override {
        for (wkeWebView v : views_) wkeDestroyWebWindow(v);
    }
    wkeWebView NewView(const std::string& path) {
        wkeWebView v = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 400, 300);
        views_.push_back(v);
        EXPECT_EQ(testsupport::LoadAndWait(v, server_->Url(path)), WKE_LOADING_SUCCEEDED);
        return v;
    }

    static inline testsupport::HttpServer* server_ = nullptr;
    std::vector<wkeWebView> views_;
};

}  // namespace bridge_test
