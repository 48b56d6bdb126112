// The protocol entries of qirlen_protocol.h: a view's page session, spoken to directly.
#include "engine/qirlen_protocol.h"

#include <map>

#include "engine/api_guard.h"
#include "engine/json_text.h"
#include "engine/protocol_listeners.h"

namespace engine {
namespace {

struct Listener {
    qirlenProtocolEvent fn = nullptr;
    void* param = nullptr;
    bool answersDialogs = false;
};

// By view id: ids are never given out twice, so a destroyed view's entry is only left over.
std::map<int, Listener>& Listeners() {
    static auto* listeners = new std::map<int, Listener>();
    return *listeners;
}

}  // namespace

static int OutcomeOf(const Engine& e, const View* view, const CallResult& r,
                     const std::string& method) {
    if (r.ok) return QIRLEN_PROTOCOL_OK;
    if (e.dead()) return QIRLEN_PROTOCOL_GONE;
    if (!view || view->session.empty()) return QIRLEN_PROTOCOL_NO_PAGE;
    if (view->crashed) return QIRLEN_PROTOCOL_CRASHED;
    if (r.error == method + " got no answer in time" || r.error == "the page does not answer")
        return QIRLEN_PROTOCOL_TIMEOUT;
    return QIRLEN_PROTOCOL_REFUSED;
}

static void Answer(qirlenProtocolAnswer answer, void* param, int outcome, const std::string& text) {
    if (answer) answer(param, outcome, text.data(), text.size());
}

bool ForwardToProtocolListener(const View& view, const std::string& method,
                               const nlohmann::json& params) {
    auto it = Listeners().find(view.id);
    if (it == Listeners().end()) return false;
    Listener listener = it->second;  // the listener may replace itself
    std::string text = params.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    listener.fn(listener.param, method.c_str(), text.data(), text.size());
    return listener.answersDialogs && method == "Page.javascriptDialogOpening";
}

}  // namespace engine

using engine::Answer;
using engine::CallResult;
using engine::Engine;
using engine::OutcomeOf;
using engine::View;

extern "C" int qirlenProtocolCall(wkeWebView handle, const char* method, const char* params,
                                  int timeoutMs, qirlenProtocolAnswer answer, void* param) {
    return engine::Guard(static_cast<int>(QIRLEN_PROTOCOL_NO_PAGE), [&]() -> int {
        Engine& e = Engine::Get();
        View* view = e.Find(handle);
        if (!view || !method || !e.EnsureAttached(*view)) {
            int outcome = e.dead() ? QIRLEN_PROTOCOL_GONE : QIRLEN_PROTOCOL_NO_PAGE;
            Answer(answer, param, outcome, e.dead() ? e.failure() : "the view has no page");
            return outcome;
        }
        nlohmann::json args =
            params && *params ? engine::ParseLenient(params) : nlohmann::json::object();
        if (!args.is_object()) {
            Answer(answer, param, QIRLEN_PROTOCOL_REFUSED, "the params are not a JSON object");
            return QIRLEN_PROTOCOL_REFUSED;
        }
        if (timeoutMs <= 0) {
            e.Post(*view, method, args);
            return QIRLEN_PROTOCOL_OK;
        }
        int id = view->id;
        CallResult r = e.Call(*view, method, args, timeoutMs);
        view = e.Find(handle);  // a listener may have destroyed it meanwhile
        int outcome = OutcomeOf(e, view && view->id == id ? view : nullptr, r, method);
        Answer(answer, param, outcome,
               r.ok ? r.result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                    : r.error);
        return outcome;
    });
}

extern "C" void qirlenProtocolListen(wkeWebView handle, qirlenProtocolEvent listener, void* param,
                                     int answersDialogs) {
    engine::Guard([&] {
        int id = static_cast<int>(reinterpret_cast<intptr_t>(handle));
        if (listener)
            engine::Listeners()[id] = {listener, param, answersDialogs != 0};
        else
            engine::Listeners().erase(id);
    });
}

extern "C" int qirlenProtocolPump(int timeoutMs) {
    return engine::Guard(0, [&] {
        Engine& e = Engine::Get();
        if (e.dead()) return 0;
        e.connection().Pump(timeoutMs);
        e.Wake(0);
        return e.dead() ? 0 : 1;
    });
}
