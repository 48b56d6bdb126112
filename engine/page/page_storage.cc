#include "engine/page/page_storage.h"

#include <chrono>
#include <ctime>

#include "engine/page/page.h"
#include "platform/codepage.h"

namespace engine {

std::string KeptFilePath(const std::u16string& dir, const char* file) {
    std::string d = platform::Utf16ToUtf8(dir);
    if (d.empty()) return {};
    if (d.back() != '/') d.push_back('/');
    return d + file;
}

// Chromium's own profile lives only as long as the engine; what the view keeps across runs
// is written to the two directories the host names, and read back when they are named. Other
// programs may keep theirs in the same directories: each save merges into what is there.
// The page's answers are handled as they come, so that a busy or stopped renderer holds up
// only its own save, never the host; `unanswered` counts the answers still owed.
void PageStorage::Save(const std::shared_ptr<int>& unanswered) {
    if (!page_.session().open()) return;
    double now = static_cast<double>(std::time(nullptr));
    SaveCookies(now, unanswered);
    SaveLocalStorage(now, unanswered);
}

void PageStorage::SaveNow() {
    auto unanswered = std::make_shared<int>(0);
    Save(unanswered);
    WaitForSaves(page_.host(), unanswered);
}

// Those who go on as if it were on disk (a cookie set, the engine ending) wait a while for
// the answers; a page that does not answer by then is saved whenever it does.
void WaitForSaves(PageHost& host, const std::shared_ptr<int>& unanswered) {
    constexpr auto kLongest = std::chrono::milliseconds(5000);
    auto deadline = std::chrono::steady_clock::now() + kLongest;
    while (*unanswered > 0 && !host.browserDead()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0 || !host.connection().Pump(static_cast<int>(left))) break;
    }
}

}  // namespace engine
