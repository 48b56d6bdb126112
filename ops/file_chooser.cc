// File inputs filled without a dialog: the answer is prepared, the open-file dialog is
// diverted for one call, and the input is clicked.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <utility>

#include "ops/api_hook.h"
#include "ops/element_call.h"
#include "ops/element_operations.h"
#include "platform/codepage.h"
#include "platform/text_encoding.h"

namespace ops {

bool ApiHook::Install(const std::string&, const std::string& functionName,
                      OpenFileDialogFunction replacement) {
    if (original_) return true;
    if (functionName != "GetOpenFileNameW" || !replacement) return false;
    if (!platform::EngineReachesOpenFileDialog()) return false;
    replacement_ = replacement;
    original_ = platform::SetOpenFileDialog(replacement);
    return true;
}

// Someone who replaced the slot since keeps it.
bool ApiHook::Remove() {
    if (!original_) return false;
    if (platform::CurrentOpenFileDialog() == replacement_) platform::SetOpenFileDialog(original_);
    original_ = replacement_ = nullptr;
    return true;
}

ApiHook& FileDialogHook() {
    static ApiHook hook;
    return hook;
}

std::u16string& PendingFileAnswer() {
    static std::u16string answer;
    return answer;
}

// An answer that does not fit the dialog's buffer is not cut (the page would get other
// files than the caller named): the call fails as if cancelled, and the answer is dropped
// so that no later dialog takes it.
int AnswerFileDialog(OPENFILENAMEW* ofn) {
    std::u16string& answer = PendingFileAnswer();
    if (answer.empty() || answer == std::u16string(1, u'\0'))
        return FileDialogHook().Trampoline() ? FileDialogHook().Trampoline()(ofn) : 0;
    bool fits = ofn->lpstrFile && answer.size() <= ofn->nMaxFile;
    if (fits) std::copy(answer.begin(), answer.end(), ofn->lpstrFile);
    if (!fits)
        std::fprintf(stderr,
                     "qirlen: the prepared file answer (%zu characters) does not fit the "
                     "dialog's buffer (%u); nothing was chosen\n",
                     answer.size(), ofn->nMaxFile);
    answer.clear();
    FileDialogHook().Remove();
    return fits ? 1 : 0;
}

namespace {

// The absolute path of a readable file (UTF-16), or nothing: the page must never receive a
// file that is not there.
std::optional<std::u16string> ReadableFile(const std::string& programPath) {
    std::error_code error;
    std::filesystem::path path =
        std::filesystem::absolute(platform::TextToUtf8(programPath), error);
    struct stat info;
    if (error || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        access(path.c_str(), R_OK) != 0)
        return std::nullopt;
    return platform::Utf8ToUtf16(path.string());
}

// When the click did not happen the answer is taken back and the diversion is left as it
// was found: otherwise the next file input anyone opens would silently receive the file.
bool ClickWithAnswer(ElementOperations& web, const locate::Locator& locator,
                     std::u16string answer) {
    const bool wasDiverted = FileDialogHook().Installed();
    std::u16string previous = std::exchange(PendingFileAnswer(), std::move(answer));
    if (!FileDialogHook().Install("comdlg32.dll", "GetOpenFileNameW", AnswerFileDialog)) {
        // Clicking would open a chooser nobody answers, and the call would look done.
        std::fprintf(stderr,
                     "qirlen: file inputs cannot be filled: the engine does not reach the "
                     "library's open-file dialog (link libqirlen-automation.so, or export the "
                     "program's symbols when it links the library statically)\n");
        PendingFileAnswer() = std::move(previous);
        return false;
    }
    if (Act(web, locator, "\r\nl_Object.click();")) return true;
    PendingFileAnswer() = std::move(previous);
    if (!wasDiverted) FileDialogHook().Remove();
    return false;
}

}  // namespace

// The empty path stands for "ask": a lone NUL, with which the ordinary dialog shows.
bool ElementOperations::SetFileInputPath(const locate::Locator& locator, const std::string& path) {
    if (!GetView()) return false;
    std::u16string answer;
    if (!path.empty()) {
        std::optional<std::u16string> file = ReadableFile(path);
        if (!file) return false;
        answer = *file;
    }
    return ClickWithAnswer(*this, locator, answer + u'\0');
}

bool ElementOperations::SetFileInputPaths(const locate::Locator& locator,
                                          const std::vector<std::string>& paths) {
    if (!GetView() || paths.empty()) return false;
    std::vector<std::u16string> files;
    for (const std::string& path : paths) {
        std::optional<std::u16string> file = ReadableFile(path);
        if (!file) return false;
        files.push_back(*file);
    }
    return ClickWithAnswer(*this, locator, platform::FileListAnswer(files));
}

}  // namespace ops
