// What navigator and screen report to pages, and the engine's two debug switches.
#include "automation/engine_binding.h"
#include "automation/view_automation.h"
#include "platform/text_encoding.h"

namespace automation {

bool ViewAutomation::SetDeviceParameter(const std::string& name, const char* text, int32_t intValue,
                                        float realValue) {
    if (!view_) return false;
    auto set = LookupEntry<decltype(&::wkeSetDeviceParameter)>("wkeSetDeviceParameter");
    if (!set) return false;  // an engine without it is treated like no view
    std::string engineText = text ? platform::TextToGbk(text) : std::string();
    set(view_, name.c_str(), text ? engineText.c_str() : nullptr, intValue, realValue);
    return true;
}

bool ViewAutomation::ConfigureJsEnable(int) {
    if (!view_) return false;
    auto config = LookupEntry<decltype(&::wkeSetDebugConfig)>("wkeSetDebugConfig");
    if (!config) return false;
    config(view_, "jsEnable", nullptr);
    return true;
}

bool ViewAutomation::DisableImages(int) {
    if (!view_) return false;
    auto config = LookupEntry<decltype(&::wkeSetDebugConfig)>("wkeSetDebugConfig");
    if (!config) return false;
    config(view_, "imageEnable", "0");
    return true;
}

bool ViewAutomation::SetPlatform(const std::string& platform) {
    return SetDeviceParameter("navigator.platform", platform.c_str());
}

bool ViewAutomation::SetMaxTouchPoints(int32_t count) {
    return SetDeviceParameter("navigator.maxTouchPoints", nullptr, count);
}

bool ViewAutomation::SetHardwareConcurrency(int32_t count) {
    return SetDeviceParameter("navigator.hardwareConcurrency", nullptr, count);
}

bool ViewAutomation::SetScreenSize(int32_t width, int32_t height) {
    SetDeviceParameter("screen.width", nullptr, width);
    return SetDeviceParameter("screen.height", nullptr, height);
}

bool ViewAutomation::SetScreenAvailSize(int32_t width, int32_t height) {
    SetDeviceParameter("screen.availWidth", nullptr, width);
    return SetDeviceParameter("screen.availHeight", nullptr, height);
}

}  // namespace automation
