#include "engine/process/browser_process.h"

namespace engine {
namespace {

// The usual start-up bound of a browser of our own covers connecting to one elsewhere too.
constexpr int kAttachTimeoutMs = 20000;

}  // namespace

bool BrowserProcess::Start(const EngineOptions& options, std::string* why) {
    attached_ = !options.browserUrl.empty();
    if (!attached_) return own_.Start(LaunchOptionsFrom(options), why);
    return remote_.Connect(options.browserUrl, kAttachTimeoutMs, why, options.maxMessageBytes);
}

void BrowserProcess::Stop() {
    if (attached_)
        remote_.Close();
    else
        own_.Stop();
}

// Only what the process objects fixed at their start is touched: the engine's thread may be
// anywhere, in a call that waits for the browser.
void BrowserProcess::Terminate() {
    own_.Terminate();
    remote_.Terminate();
}

std::string BrowserProcess::ExitReason() {
    return attached_ ? remote_.ExitReason() : own_.ExitReason();
}

}  // namespace engine
