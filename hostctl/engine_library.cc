#include "hostctl/engine_library.h"

#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/sinks.h"

namespace hostctl {
namespace {

struct State {
    bool tried = false;
    bool loaded = false;
    std::string path;  // GBK
    EngineEntries entries;
};

State& state() {
    static State s;
    return s;
}

std::string Gbk(const char* utf8) {
    return platform::Utf8ToGbk(utf8);
}

// Finds the engine file; when it is not beside the program, says where it belongs and
// falls back to the bare name, which the system's search may still find.
std::string LocateEngineFile() {
    std::string full = engine_loader::BesideProgram();
    if (platform::FileExists(full)) return platform::Utf8ToGbk(full);
    std::string text = Gbk("请把") + EngineLibrary::kFileName + Gbk("放在[") +
                       platform::Utf8ToGbk(full) + "]" + Gbk("位置");
    platform::ShowMessageBox(text, Gbk("错误"), platform::kMbOk);
    return EngineLibrary::kFileName;
}

void ReportMissingEntry(const char* name) {
    std::string text = "\"" + std::string(name) + "\"" +
                       Gbk("命令未找到,请使用发布时配套或更高版本的") + EngineLibrary::kFileName;
    platform::ShowMessageBox(text, Gbk("请使用配套的") + EngineLibrary::kFileName, platform::kMbOk);
}

void ReportMissingEntries(const EngineEntries& e) {
#define QIRLEN_REPORT(name) \
    if (!e.name) ReportMissingEntry(#name);
    QIRLEN_ENGINE_ENTRIES(QIRLEN_REPORT)
#undef QIRLEN_REPORT
}

}  // namespace

bool EngineLibrary::Load() {
    State& s = state();
    if (s.tried) return s.loaded;
    s.tried = true;
    s.path = LocateEngineFile();
    // Any node.so the process has loaded already is used as it is, never loaded twice.
    platform::ModuleHandle module = engine_loader::Open(platform::GbkToUtf8(s.path), kFileName);
    if (!module) return false;
    engine_loader::Resolve(module, s.entries);
    Initialize();
    ReportMissingEntries(s.entries);
    s.loaded = true;
    return true;
}

void EngineLibrary::Initialize() {
    if (!state().entries.wkeInitializeEx) return;
    wkeSettings settings{};
    settings.mask = 4;
    state().entries.wkeInitializeEx(&settings);
}

bool EngineLibrary::Restart() {
    State& s = state();
    if (!s.loaded || !s.entries.wkeShutdown) return false;
    s.entries.wkeShutdown();
    Initialize();
    return true;
}

bool EngineLibrary::loaded() {
    return state().loaded;
}
const EngineEntries& EngineLibrary::entries() {
    return state().entries;
}
const std::string& EngineLibrary::path() {
    return state().path;
}

}  // namespace hostctl
