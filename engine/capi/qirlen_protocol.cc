// The protocol entries of qirlen_protocol.h: a view's page session, spoken to directly.
#include "engine/capi/qirlen_protocol.h"

#include "engine/capi/api_guard.h"
#include "engine/capi/event_loop.h"
#include "engine/transport/json_text.h"

namespace engine {
namespace {

int OutcomeOf(const Browser& browser, const Page* page, const CallResult& r,
              const std::string& method) {
    if (r.ok) return QIRLEN_PROTOCOL_OK;
    if (browser.browserDead()) return QIRLEN_PROTOCOL_GONE;
    if (!page || !page->session().open()) return QIRLEN_PROTOCOL_NO_PAGE;
    if (page->loader().crashed) return QIRLEN_PROTOCOL_CRASHED;
    if (r.error == method + " got no answer in time" || r.error == "the page does not answer")
        return QIRLEN_PROTOCOL_TIMEOUT;
    return QIRLEN_PROTOCOL_REFUSED;
}

void Answer(qirlenProtocolAnswer answer, void* param, int outcome, const std::string& text) {
    if (answer) answer(param, outcome, text.data(), text.size());
}

}  // namespace
}  // namespace engine

using engine::Answer;
using engine::Browser;
using engine::CallResult;
using engine::OutcomeOf;
using engine::Page;

extern "C" int qirlenProtocolCall(wkeWebView handle, const char* method, const char* params,
                                  int timeoutMs, qirlenProtocolAnswer answer, void* param) {
    return engine::Guard(static_cast<int>(QIRLEN_PROTOCOL_NO_PAGE), [&]() -> int {
        Browser& browser = Browser::Get();
        Page* page = browser.Find(handle);
        if (!page || !method || !page->EnsureAttached()) {
            bool dead = browser.browserDead();
            int outcome = dead ? QIRLEN_PROTOCOL_GONE : QIRLEN_PROTOCOL_NO_PAGE;
            Answer(answer, param, outcome, dead ? browser.failure() : "the view has no page");
            return outcome;
        }
        nlohmann::json args =
            params && *params ? engine::ParseLenient(params) : nlohmann::json::object();
        if (!args.is_object()) {
            Answer(answer, param, QIRLEN_PROTOCOL_REFUSED, "the params are not a JSON object");
            return QIRLEN_PROTOCOL_REFUSED;
        }
        if (timeoutMs <= 0) {
            page->session().Post(method, args);
            return QIRLEN_PROTOCOL_OK;
        }
        // The page is held while the call waits: a listener may destroy its view meanwhile.
        std::shared_ptr<Page> held = page->shared_from_this();
        CallResult r = held->session().Call(method, args, timeoutMs);
        page = browser.Find(handle);
        int outcome = OutcomeOf(browser, page == held.get() ? page : nullptr, r, method);
        Answer(answer, param, outcome,
               r.ok ? r.result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                    : r.error);
        return outcome;
    });
}

extern "C" void qirlenProtocolListen(wkeWebView handle, qirlenProtocolEvent listener, void* param,
                                     int answersDialogs) {
    engine::WithPage(handle, [&](Page& page) {
        page.on().protocolEvent = {listener, param};
        page.on().protocolAnswersDialogs = listener && answersDialogs != 0;
    });
}

extern "C" int qirlenProtocolPump(int timeoutMs) {
    return engine::Guard(0, [&] {
        Browser& browser = Browser::Get();
        if (browser.browserDead()) return 0;
        browser.connection().Pump(timeoutMs);
        engine::EventLoop::Get().Wake(0);
        return browser.browserDead() ? 0 : 1;
    });
}
