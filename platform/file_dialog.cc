#include "platform/file_dialog.h"

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
