#include "automation/engine_binding.h"

#include "automation/script_bridge.h"
#include "platform/codepage.h"
#include "platform/sinks.h"

namespace automation {
namespace {

struct BindingState {
    std::string moduleName;
    EngineApi api;
};

BindingState& state() {
    static BindingState s;
    return s;
}

}  // namespace

const EngineApi& Api() {
    return state().api;
}
const std::string& EngineModuleName() {
    return state().moduleName;
}

void InitializeEngineBinding(const char* moduleName) {
    BindingState& s = state();
    s.moduleName = moduleName ? moduleName : kDefaultEngineModuleName;
    platform::ModuleHandle module = platform::FindLoadedModule(s.moduleName);
    if (!module) {
        platform::ShowMessageBox(
            platform::Utf8ToGbk(
                "网页自动化模块初始化失败！\r\n为了保护您的程序，本次初始化被终止！"),
            platform::Utf8ToGbk("温馨提示"), platform::kMbIconError);
        return;
    }
    auto resolve = [&](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
            platform::ResolveEntry(module, name));
    };
    resolve(s.api.wkeRunJsByFrame, "wkeRunJsByFrame");
    resolve(s.api.wkeGlobalExec, "wkeGlobalExec");
    resolve(s.api.jsToTempStringW, "jsToTempStringW");
    resolve(s.api.jsArg, "jsArg");
    resolve(s.api.jsUndefined, "jsUndefined");
    resolve(s.api.jsStringW, "jsStringW");
    resolve(s.api.wkeSetDebugConfig, "wkeSetDebugConfig");
    BindScriptBridge();
}

void ReleaseEngineBinding() {
    state().moduleName.clear();
}

}  // namespace automation
