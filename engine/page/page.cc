#include "engine/page/page.h"

#include "engine/page/bounds.h"
#include "engine/page/bridge_script.h"
#include "platform/ascii_text.h"

extern "C" const char engine_title_js[];

namespace engine {

bool IsWebAddress(const std::string& url) {
    std::string scheme = platform::AsciiLower(url.substr(0, url.find(':')));
    return url.find(':') != std::string::npos && (scheme == "http" || scheme == "https");
}

Page::Page(PageHost& host, int id, int width, int height)
    : host_(host), id_(id), session_(host.connection()) {
    settings_.width = width;
    settings_.height = height;
}

void Page::Open(const std::string& session) {
    session_.Open(session);
    // Sent together; the frame tree's answer comes after the others.
    session_.Post("Page.enable");
    session_.Post("Runtime.enable");
    // Only to learn where each page came from; no bodies are kept for the protocol.
    session_.Post(
        "Network.enable",
        {{"maxTotalBufferSize", 0}, {"maxResourceBufferSize", 0}, {"maxPostDataSize", 0}});
}

bool Page::Attach() {
    session_.Post("Page.setInterceptFileChooserDialog", {{"enabled", true}});
    scripts_.AddEngineBinding("__qirlenTitle");
    session_.Post("Page.addScriptToEvaluateOnNewDocument",
                  {{"source", "(" + std::string(engine_title_js) + ")(" +
                                  std::to_string(kMaxTitleChars) + ");"},
                   {"worldName", kEngineWorld}});
    CallResult tree = session_.Call("Page.getFrameTree");
    if (!tree.ok) return false;
    frames_.Load(tree.result["frameTree"]);
    attached_ = true;
    settings_.ApplyAll();
    return true;
}

bool Page::EnsureAttached() {
    if (!attached_ && !host_.browserDead()) host_.Ready();  // attaches the waiting pages
    return attached_;
}

void Page::OnSessionGone(const std::string& why) {
    session_.Close();
    frames_.contexts.clear();
    loader_.Finish(WKE_LOADING_FAILED, why);
}

void Page::Close() {
    storage_.SaveNow();
    if (session_.open())
        host_.connection().Post("Target.closeTarget", {{"targetId", targetId_}}, "");
}

void Page::Queue(Notification notification) {
    host_.notifications().Queue(id_, std::move(notification));
}

void Page::OnEvent(const std::string& method, const nlohmann::json& params) {
    if (method.rfind("Runtime.", 0) == 0)
        OnRuntimeEvent(method, params);
    else if (method == "Debugger.paused")
        scripts_.OnDebuggerPaused(params);
    else if (method.rfind("Page.", 0) == 0)
        OnPageEvent(method, params);
    else if (method == "Inspector.targetCrashed")
        loader_.OnCrashed();
}

void Page::OnTitle(const std::string& title) {
    if (title == loader_.title) return;
    loader_.title = title;
    Queue([title](Page& p) {
        const auto& on = p.on().titleChanged;
        if (!on) return;
        EngineString text(title);
        on.fn(p.handle(), on.param, text.handle());
    });
}

void Page::OnRuntimeEvent(const std::string& method, const nlohmann::json& params) {
    if (method == "Runtime.bindingCalled") {
        std::string name = params.value("name", "");
        // Read in place: a payload is as long as the page made it.
        auto field = params.find("payload");
        std::string_view payload = field != params.end() && field->is_string()
                                       ? std::string_view(field->get_ref<const std::string&>())
                                       : std::string_view();
        if (name == kBridgeBinding) {
            scripts_.OnBridgeMessage(payload);
        } else if (name == "__qirlenTitle") {
            // The watcher cuts it already; what comes on the binding is cut all the same.
            OnTitle(CutUtf8(payload, 3 * kMaxTitleChars));
        } else if (name == "__qirlenRestored") {
            storage_.OnRestored(std::string(payload));
        } else if (name == "__qirlenHover") {
            std::string url = CutUtf8(payload, kMaxHoverUrlBytes);
            Queue([url](Page& p) {
                const auto& on = p.on().mouseOverUrl;
                if (!on) return;
                EngineString text(url);
                on.fn(p.handle(), on.param, text.handle());
            });
        }
    } else if (method == "Runtime.consoleAPICalled" || method == "Runtime.exceptionThrown") {
        OnConsole(method, params);
    } else {
        frames_.OnContextEvent(method, params);
    }
}

}  // namespace engine
