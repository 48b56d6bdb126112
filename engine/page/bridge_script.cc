#include "engine/page/bridge_script.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>

#include "engine/page/bounds.h"

extern "C" const char engine_bridge_js[];

namespace engine {
namespace {

std::string RandomHex() {
    static std::mt19937_64 random = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    char text[40];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(random()),
                  static_cast<unsigned long long>(random()));
    return text;
}

// What reconfigures a document's bridge when functions are bound later; pages never see it.
const std::string& BridgeSecret() {
    static const std::string secret = RandomHex();
    return secret;
}

}  // namespace

// The bridge's own script carries this name; every other script, the page's and the host's
// alike, is skipped by the debugger, so that only the bridge's pause ever stops a page. A
// page that stops itself (anti-debugging loops of `debugger;`) would otherwise run our
// scripts inside its own pause, where no second pause can happen and answers are lost.
// The name carries a number of this process, so that a page cannot take it on.
const std::string& BridgeUrl() {
    static const std::string url = [] {
        std::random_device random;
        char text[48];
        std::snprintf(text, sizeof text, "qirlen-bridge-%08x%08x", random(), random());
        return std::string(text);
    }();
    return url;
}

const std::string& RunScriptSuffix() {
    static const std::string suffix = "\n//# sourceURL=" + BridgeUrl() + "\n";
    return suffix;
}

std::string NewRunToken() {
    return RandomHex();
}

std::string BridgeScript(const std::vector<Binding>& bindings) {
    nlohmann::json names = nlohmann::json::array(), replyOnly = nlohmann::json::array(),
                   runOnly = nlohmann::json::array();
    for (const auto& b : bindings) {
        names.push_back(b.name);
        if (b.replyOnly) replyOnly.push_back(b.name);
        if (b.runOnly) runOnly.push_back(b.name);
    }
    auto text = [](const nlohmann::json& j) {
        return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    };
    return std::string("(") + engine_bridge_js + ")(" + text(names) + "," + text(replyOnly) + "," +
           text(runOnly) + "," + text(BridgeSecret()) + "," + std::to_string(kMaxBoundCallChars) +
           ");" + RunScriptSuffix();
}

std::string RunPrefix(const std::string& token) {
    std::string call = ".__qirlenBridge.run('" + BridgeSecret() + "','" + token + "')}catch(e){}";
    return "try{window" + call + "try{window.top" + call;
}

}  // namespace engine
