#pragma once
// The functions the host binds into page script, for every page of the browser, and the state
// of the script run in progress, which decides where a page's call into them may go.
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// A call from page script as the host's side takes it: the page it came from and its
// arguments as the bridge sends them ([type, text] pairs). The answer goes back as a protocol
// argument, or not at all for undefined.
using BoundCall =
    std::function<std::optional<nlohmann::json>(int page, const nlohmann::json& args)>;

struct Binding {
    std::string name;
    BoundCall call;
    bool replyOnly = false;  // always answers undefined: calls need not wait for it
    bool runOnly = false;    // only the page's run in progress may call it
};

class BoundFunctions {
  public:
    // Binds `binding`, in place of one of the same name.
    void Bind(Binding binding);
    const Binding* Find(std::string_view name) const;
    const std::vector<Binding>& all() const { return bindings_; }
    bool empty() const { return bindings_.empty(); }

    // While a script runs (a host's run, or a host's read in its own world: page 0), the
    // bridge messages of other pages wait, and no other script runs.
    void BeginRun(int page);
    void EndRun() { --runDepth_; }
    bool running() const { return runDepth_ > 0; }
    int runningPage() const { return runPage_; }
    // Called as each run starts, before any value of it is made (the C interface recycles
    // its values then).
    void SetRunStartHandler(std::function<void()> handler) { onRunStart_ = std::move(handler); }
    void RunStarts() const {
        if (onRunStart_) onRunStart_();
    }

    // Calls that reached no function, of every page (destroyed ones included).
    void CountDropped() { ++dropped_; }
    int64_t dropped() const { return dropped_; }

  private:
    std::vector<Binding> bindings_;
    int runDepth_ = 0;
    int runPage_ = 0;
    int64_t dropped_ = 0;
    std::function<void()> onRunStart_;
};

}  // namespace engine
