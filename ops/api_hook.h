#pragma once
// Diverts a platform function for a while. The open-file dialog is reached through one
// dispatch slot; a diversion puts a replacement in the slot, keeps the function that was
// there (the trampoline reaches it) and puts it back on removal.
#include <string>

#include "platform/file_dialog.h"

namespace ops {

class ApiHook {
  public:
    // Puts `replacement` in the place of `functionName`; true when the diversion is in place,
    // also when it already was (then nothing changes). False for a function the process
    // lacks or that cannot be diverted. Every platform function lives in the program itself
    // here, so `libraryName` names nothing to load.
    bool Install(const std::string& libraryName, const std::string& functionName,
                 OpenFileDialogFunction replacement);
    // The diverted function's own code; null while nothing is diverted.
    OpenFileDialogFunction Trampoline() const { return original_; }
    // Restores the function; false when nothing was diverted.
    bool Remove();
    bool Installed() const { return original_ != nullptr; }

  private:
    OpenFileDialogFunction original_ = nullptr;
    OpenFileDialogFunction replacement_ = nullptr;
};

// The process's one diversion, and the next answer of the open-file dialog: UTF-16 text,
// a path or a directory and file names, each NUL-ended (empty: none).
ApiHook& FileDialogHook();
std::u16string& PendingFileAnswer();

// The replacement for the open-file dialog: hands over the pending answer once, then
// removes the diversion. Without an answer (or with a lone NUL) the original asks.
int AnswerFileDialog(OPENFILENAMEW* ofn);

}  // namespace ops
