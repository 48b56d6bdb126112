#include "automation/engine_binding.h"

#include "automation/script_bridge.h"
#include "platform/codepage.h"
#include "platform/sinks.h"

namespace automation {
namespace {

struct BindingState {
    std::string moduleName;
    engine_loader::EntryPoints api;
};

BindingState& state() {
    static BindingState s;
    return s;
}

}  // namespace

const engine_loader::EntryPoints& Api() {
    return state().api;
}
const std::string& EngineModuleName() {
    return state().moduleName;
}

void InitializeEngineBinding(const char* moduleName) {
    BindingState& s = state();
    s.moduleName = moduleName ? moduleName : kDefaultEngineModuleName;
    platform::ModuleHandle module = engine_loader::Find(s.moduleName);
    if (!module) {
        platform::ShowMessageBox(
            platform::Utf8ToGbk(
                "网页自动化模块初始化失败！\r\n为了保护您的程序，本次初始化被终止！"),
            platform::Utf8ToGbk("温馨提示"), platform::kMbIconError);
        return;
    }
    engine_loader::Resolve(module, s.api);
    BindScriptBridge();
}

void ReleaseEngineBinding() {
    state().moduleName.clear();
}

}  // namespace automation
