#include "bench/engine/transport_burst.h"

#include <sys/resource.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <vector>

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;

double CpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

class RawSession {
  public:
    explicit RawSession(engine::Transport& t) : t_(t) {}

    // Sends a command and waits for its answer; null when none came in time. Every message
    // that is not the answer goes to `onOther`.
    template <typename F>
    json Call(const std::string& method, const json& params, F&& onOther, int timeoutMs = 30000) {
        int id = nextId_++;
        json m = {{"id", id}, {"method", method}, {"params", params}};
        if (!session_.empty()) m["sessionId"] = session_;
        if (!t_.Send(m.dump())) return nullptr;
        const std::string answerStart = "{\"id\":" + std::to_string(id) + ",";
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < deadline) {
            std::vector<std::string> in;
            if (!t_.ReadAvailable(in)) return nullptr;
            json answer;
            for (auto& text : in) {
                if (text.rfind(answerStart, 0) == 0)
                    answer = json::parse(text, nullptr, false);
                else
                    onOther(text);
            }
            if (!answer.is_null()) return answer.value("result", json::object());
            if (in.empty()) t_.WaitReadable(50);
        }
        return nullptr;
    }
    json Call(const std::string& method, const json& params) {
        return Call(method, params, [](const std::string&) {});
    }
    void Use(const std::string& session) { session_ = session; }

  private:
    engine::Transport& t_;
    std::string session_;
    int nextId_ = 1;
};

}  // namespace

BurstTiming TimeBurst(engine::Transport& transport, int count, int megabytes) {
    BurstTiming timing;
    RawSession s(transport);
    json target = s.Call("Target.createTarget", {{"url", "about:blank"}});
    if (target.is_null()) return timing;
    std::string targetId = target.value("targetId", "");
    json attached = s.Call("Target.attachToTarget", {{"targetId", targetId}, {"flatten", true}});
    if (attached.is_null()) return timing;
    s.Use(attached.value("sessionId", ""));
    s.Call("Runtime.enable", json::object());
    s.Call("Runtime.addBinding", {{"name", "sink"}});
    int seen = 0;
    auto countBig = [&](const std::string& text) {
        if (text.size() < (size_t{1} << 20) || text.find("Runtime.bindingCalled") == text.npos)
            return;
        ++seen;
        timing.bytes += text.size();
    };
    std::string script = "var big = 'x'.repeat(" + std::to_string(megabytes) +
                         " << 20); for (var i = 0; i < " + std::to_string(count) +
                         "; i++) sink(big); 1";
    auto t0 = Clock::now();
    double cpu0 = CpuMs();
    s.Call("Runtime.evaluate", {{"expression", script}}, countBig);
    // The texts the script sent before its answer are in; the rest follow it.
    while (seen < count && Clock::now() - t0 < std::chrono::seconds(60)) {
        std::vector<std::string> in;
        if (!transport.ReadAvailable(in)) break;
        for (auto& text : in) countBig(text);
        if (in.empty()) transport.WaitReadable(50);
    }
    if (seen == count) {
        timing.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        timing.hostCpuMs = CpuMs() - cpu0;
    }
    s.Use("");
    s.Call("Target.closeTarget", {{"targetId", targetId}});
    return timing;
}

}  // namespace bench
