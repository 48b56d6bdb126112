// Stands in for Chromium on the protocol pipe (fd 3 in, fd 4 out) and answers with
// well-formed answers mixed with malformed and unexpected messages, to show that the
// engine survives whatever comes down the pipe.
#include <unistd.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

using json = nlohmann::json;

namespace {

void Send(const std::string& text) {
    std::string framed = text + '\0';
    (void)!write(4, framed.data(), framed.size());
}

void Garbage(const std::string& session) {
    for (const char* junk : {"[1,2,3]", "{\"id\":\"seven\"}", "{\"method\":5}",
                             "{\"id\":99999,\"result\":{}}", "{\"id\":1.5}", "{}", "\"text\"", "7"})
        Send(junk);
    auto event = [&](const char* method, json params) {
        Send(json{{"method", method}, {"sessionId", session}, {"params", params}}.dump());
    };
    event("Page.frameNavigated", {{"frame", 7}});
    event("Page.frameAttached", {{"frameId", json::array()}});
    event("Runtime.executionContextCreated", {{"context", "x"}});
    event("Page.javascriptDialogOpening", {{"type", 3}});
    event("Fetch.requestPaused", {{"request", nullptr}});
    event("Page.fileChooserOpened", {{"backendNodeId", "x"}});
    event("Runtime.consoleAPICalled", {{"args", "x"}});
    event("Page.frameStoppedLoading", {{"frameId", "F"}});
    Send(json{{"method", "Target.detachedFromTarget"}, {"params", {{"sessionId", 5}}}}.dump());
}

// A call into a bound function (no run token: the function takes calls at any time) whose
// arguments arrive in shapes the page never sends.
void OddBridgeCall(const std::string& session) {
    auto event = [&](const char* method, json params) {
        Send(json{{"method", method}, {"sessionId", session}, {"params", params}}.dump());
    };
    event("Runtime.bindingCalled",
          {{"name", "__qirlenCall"},
           {"payload", "[\"\", \"Probe\", 5, {\"a\":1}, [\"number\"], [1,2]]"}});
    event("Debugger.paused",
          {{"callFrames", {{{"functionName", "__qirlenBridgeCall"}, {"callFrameId", "c1"}}}}});
    event("Runtime.bindingCalled", {{"name", "__qirlenCall"}, {"payload", "[[[["}});
    event("Debugger.paused",
          {{"callFrames", {{{"functionName", "__qirlenBridgeCall"}, {"callFrameId", "c"}}}}});
    event("Debugger.paused", {{"callFrames", "none"}});
}

}  // namespace

int main() {
    std::string buffer;
    char chunk[65536];
    const std::string session = "S";
    for (;;) {
        ssize_t n = read(3, chunk, sizeof chunk);
        if (n <= 0) {
            // A real browser's orderly quit on a closed pipe takes a while.
            if (const char* quitMs = std::getenv("FAKE_CHROMIUM_QUIT_MS"))
                usleep(static_cast<useconds_t>(std::atoi(quitMs)) * 1000);
            return 0;
        }
        buffer.append(chunk, static_cast<size_t>(n));
        for (size_t nul; (nul = buffer.find('\0')) != std::string::npos; buffer.erase(0, nul + 1)) {
            json m = json::parse(buffer.substr(0, nul), nullptr, false);
            if (!m.is_object()) continue;
            int id = m.value("id", 0);
            std::string method = m.value("method", "");
            json result = json::object();
            if (method == "Target.createTarget")
                result = {{"targetId", "T"}};
            else if (method == "Target.attachToTarget")
                result = {{"sessionId", session}};
            else if (method == "Page.getFrameTree")
                result = {{"frameTree", {{"frame", {{"id", "F"}, {"url", "about:blank"}}}}}};
            else if (method == "Page.addScriptToEvaluateOnNewDocument")
                result = {{"identifier", "3"}};
            else if (method == "Network.getCookies")
                result = {{"cookies", "many"}};
            else if (method == "Storage.getCookies")
                result = {{"cookies", {1, {{"name", 2}}}}};
            else if (method == "Runtime.evaluate") {
                OddBridgeCall(session);
                result = {{"result", {{"type", "number"}, {"value", "not a number"}}}};
            }
            if (method == "Runtime.enable")
                Send(json{{"method", "Runtime.executionContextCreated"},
                          {"sessionId", session},
                          {"params",
                           {{"context",
                             {{"id", 1}, {"auxData", {{"frameId", "F"}, {"isDefault", true}}}}}}}}
                         .dump());
            std::string url = m.contains("params") ? m["params"].value("url", "") : "";
            if (method == "Page.navigate" && url.find("abort-after-stop") != std::string::npos) {
                // A refused navigation: the frame stops before the answer says it was aborted.
                for (const char* e : {"Page.frameStartedLoading", "Page.frameStoppedLoading"})
                    Send(json{{"method", e}, {"sessionId", session}, {"params", {{"frameId", "F"}}}}
                             .dump());
                result = {{"frameId", "F"}, {"loaderId", "L"}, {"errorText", "net::ERR_ABORTED"}};
            } else if (method == "Page.navigate" && url.find("not-json") != std::string::npos) {
                Send("not json at all");
            } else if (method == "Page.navigate" && url.find("endless") != std::string::npos) {
                std::string block(1 << 20, 'x');  // one message that never ends
                for (;;)
                    if (write(4, block.data(), block.size()) < 0) return 0;
            } else if (method == "Page.navigate") {
                Garbage(session);
            }
            if (method == "Input.dispatchMouseEvent") {
                Send(json{{"id", id}, {"result", "wrong type"}, {"sessionId", session}}.dump());
                continue;
            }
            Send(json{{"id", id}, {"result", result}, {"sessionId", session}}.dump());
        }
    }
}
