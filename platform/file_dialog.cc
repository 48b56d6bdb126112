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

}  // namespace platform
