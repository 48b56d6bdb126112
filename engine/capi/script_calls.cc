#include "engine/capi/script_calls.h"

#include "engine/browser/browser.h"

namespace engine {
namespace {

constexpr intptr_t kCallStateBase = 1 << 20;

}  // namespace

ScriptCalls& ScriptCalls::Get() {
    static ScriptCalls* calls = new ScriptCalls();  // lives until the process ends
    return *calls;
}

ScriptCalls::ScriptCalls() {
    Browser::Get().boundFunctions().SetRunStartHandler([this] { values_.Recycle(); });
}

jsValue ScriptCalls::ValueOf(const std::optional<nlohmann::json>& remote) {
    return remote ? values_.FromRemote(*remote) : values_.Undefined();
}

BoundCall ScriptCalls::Adapt(jsNativeFunction fn, void* param) {
    return [this, fn, param](int page, const nlohmann::json& args) {
        size_t mark = values_.Mark();
        ExecState state{page, {}};
        for (const auto& arg : args) state.args.push_back(values_.FromBridge(arg));
        callStack_.push_back(std::move(state));
        auto es = reinterpret_cast<jsExecState>(kCallStateBase +
                                                static_cast<intptr_t>(callStack_.size() - 1));
        jsValue answer = fn(es, param);
        callStack_.pop_back();
        std::optional<nlohmann::json> argument;
        if (values_.Get(answer).type != JSTYPE_UNDEFINED) argument = values_.ToArgument(answer);
        values_.Release(mark);
        return argument;
    };
}

jsExecState ScriptCalls::GlobalExec(const Page& page) {
    return reinterpret_cast<jsExecState>(static_cast<intptr_t>(page.id()));
}

ExecState* ScriptCalls::State(jsExecState es) {
    static ExecState global;
    intptr_t raw = reinterpret_cast<intptr_t>(es);
    if (raw >= kCallStateBase) {
        size_t index = static_cast<size_t>(raw - kCallStateBase);
        return index < callStack_.size() ? &callStack_[index] : nullptr;
    }
    if (raw > 0 && Browser::Get().FindById(static_cast<int>(raw))) {
        global = ExecState{static_cast<int>(raw), {}};
        return &global;
    }
    return nullptr;
}

void ScriptCalls::Reset(bool keepValues) {
    callStack_.clear();
    if (!keepValues) values_.Clear();
}

}  // namespace engine
