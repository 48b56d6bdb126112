#include "platform/file_dialog.h"

#include <dlfcn.h>
#include <link.h>

#include <atomic>

namespace {

int CancelDialog(OPENFILENAMEW*) {
    return 0;
}

std::atomic<OpenFileDialogFunction> dialogSlot{CancelDialog};

}  // namespace

extern "C" int GetOpenFileNameW(OPENFILENAMEW* ofn) {
    if (!ofn) return 0;
    return dialogSlot.load()(ofn);
}

namespace platform {

OpenFileDialogFunction SetOpenFileDialog(OpenFileDialogFunction fn) {
    return dialogSlot.exchange(fn ? fn : CancelDialog);
}

OpenFileDialogFunction CurrentOpenFileDialog() {
    return dialogSlot.load();
}

namespace {

void* GlobalOpenFileDialog() {
    return dlsym(RTLD_DEFAULT, "GetOpenFileNameW");
}

// Loads nothing: only a shared object that is already in the process is made global.
void MakeOwnModuleGlobal() {
    Dl_info info{};
    link_map* module = nullptr;
    if (!dladdr1(reinterpret_cast<void*>(&GetOpenFileNameW), &info,
                 reinterpret_cast<void**>(&module), RTLD_DL_LINKMAP))
        return;
    // The program itself has an empty name here: it cannot be opened again.
    if (!module || !module->l_name || !*module->l_name) return;
    dlopen(module->l_name, RTLD_NOW | RTLD_NOLOAD | RTLD_GLOBAL);
}

}  // namespace

bool EngineReachesOpenFileDialog() {
    void* ours = reinterpret_cast<void*>(&GetOpenFileNameW);
    if (GlobalOpenFileDialog() == ours) return true;
    MakeOwnModuleGlobal();
    return GlobalOpenFileDialog() == ours;
}

std::u16string FileListAnswer(const std::vector<std::u16string>& paths) {
    if (paths.empty()) return {};
    auto directoryOf = [](const std::u16string& path) {
        size_t slash = path.rfind(u'/');
        return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
    };
    std::u16string common = directoryOf(paths[0]);
    for (const std::u16string& path : paths) {
        std::u16string dir = directoryOf(path);
        size_t same = 0;
        while (same < common.size() && same < dir.size() && common[same] == dir[same]) ++same;
        common = common.substr(0, same);
        size_t slash = common.rfind(u'/');
        common = slash == std::u16string::npos ? std::u16string() : common.substr(0, slash + 1);
    }
    std::u16string answer = common + u'\0';
    for (const std::u16string& path : paths) answer += path.substr(common.size()) + u'\0';
    return answer + u'\0';
}

}  // namespace platform
