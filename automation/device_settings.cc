// What navigator and screen report to pages, and the engine's two debug switches.
#include "automation/engine_binding.h"
#include "automation/web_automation.h"

namespace automation {

bool WebAutomation::SetDeviceParameter(const std::string& name, const char* text, int32_t intValue,
                                       float realValue) {
    if (!view_) return false;
    auto set = LookupEntry<decltype(&::wkeSetDeviceParameter)>("wkeSetDeviceParameter");
    if (!set) return false;  // an engine without it is treated like no view
    set(view_, name.c_str(), text, intValue, realValue);
    return true;
}

bool WebAutomation::ConfigureJsEnable(int) {
    if (!view_) return false;
    auto config = LookupEntry<decltype(&::wkeSetDebugConfig)>("wkeSetDebugConfig");
    if (!config) return false;
    config(view_, "jsEnable", nullptr);
    return true;
}

bool WebAutomation::DisableImages(int) {
    if (!view_) return false;
    auto config = LookupEntry<decltype(&::wkeSetDebugConfig)>("wkeSetDebugConfig");
    if (!config) return false;
    config(view_, "imageEnable", "0");
    return true;
}

bool WebAutomation::SetPlatform(const std::string& platform) {
    return SetDeviceParameter("navigator.platform", platform.c_str());
}

bool WebAutomation::SetMaxTouchPoints(int32_t count) {
    return SetDeviceParameter("navigator.maxTouchPoints", nullptr, count);
}

bool WebAutomation::SetHardwareConcurrency(int32_t count) {
    return SetDeviceParameter("navigator.hardwareConcurrency", nullptr, count);
}

bool WebAutomation::SetScreenSize(int32_t width, int32_t height) {
    SetDeviceParameter("screen.width", nullptr, width);
    return SetDeviceParameter("screen.height", nullptr, height);
}

bool WebAutomation::SetScreenAvailSize(int32_t width, int32_t height) {
    SetDeviceParameter("screen.availWidth", nullptr, width);
    return SetDeviceParameter("screen.availHeight", nullptr, height);
}

}  // namespace automation
