#pragma once
// Script values and calls as the C interface hands them out: every value a run answers or a
// page's call carries becomes a jsValue in the value table, and every call into a bound
// function runs under a jsExecState of its own, which reads its arguments.
#include <cstdint>
#include <deque>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "engine/capi/js_values.h"
#include "engine/capi/wke.h"
#include "engine/page/bound_functions.h"

namespace engine {

class Page;

// The context of one call from page script into a bound function, or a view's global
// context. Handed out as jsExecState.
struct ExecState {
    int view = 0;
    std::vector<jsValue> args;
};

class ScriptCalls {
  public:
    // Made on first use, when it has the browser's runs recycle its values.
    static ScriptCalls& Get();

    ValueTable& values() { return values_; }
    // A run's answer as a value; undefined for a run that failed.
    jsValue ValueOf(const std::optional<nlohmann::json>& remote);

    // The host's native function as the bridge calls it: its arguments become values, it runs
    // under an exec state of its own, and its answer goes back unless it is undefined. The
    // values of the call end with it.
    BoundCall Adapt(jsNativeFunction fn, void* param);
    jsExecState GlobalExec(const Page& page);
    ExecState* State(jsExecState es);

    // The engine shut down: calls are over, and the values too unless `keepValues`.
    void Reset(bool keepValues);

  private:
    ScriptCalls();

    ValueTable values_;
    std::deque<ExecState> callStack_;
};

}  // namespace engine
