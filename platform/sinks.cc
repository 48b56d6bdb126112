#include "platform/sinks.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>

#include "platform/codepage.h"

extern char** environ;

namespace platform {
namespace {

// Without a window the message goes to stderr, where a terminal user sees it.
int MessageToStderr(const std::string& text, const std::string& title, unsigned) {
    std::fprintf(stderr, "[%s] %s\n", GbkToUtf8(title).c_str(), GbkToUtf8(text).c_str());
    return 1;
}

bool NoClipboard(const std::string&) {
    return false;
}

// Hands the target to the desktop's opener and does not wait for it.
bool OpenWithXdg(const std::string& target) {
    std::string utf8 = GbkToUtf8(target);
    char* argv[] = {const_cast<char*>("xdg-open"), utf8.data(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return false;
    return true;
}

void NoPump() {}

MessageBoxSink& messageSink() {
    static MessageBoxSink sink = MessageToStderr;
    return sink;
}
ClipboardSink& clipboardSink() {
    static ClipboardSink sink = NoClipboard;
    return sink;
}
ShellOpenSink& shellSink() {
    static ShellOpenSink sink = OpenWithXdg;
    return sink;
}
MessagePumpSink& pumpSink() {
    static MessagePumpSink sink = NoPump;
    return sink;
}

template <typename Sink>
Sink Replace(Sink& slot, Sink sink, Sink fallback) {
    Sink previous = std::move(slot);
    slot = sink ? std::move(sink) : std::move(fallback);
    return previous;
}

}  // namespace

MessageBoxSink SetMessageBoxSink(MessageBoxSink sink) {
    return Replace(messageSink(), std::move(sink), MessageBoxSink(MessageToStderr));
}
ClipboardSink SetClipboardSink(ClipboardSink sink) {
    return Replace(clipboardSink(), std::move(sink), ClipboardSink(NoClipboard));
}
ShellOpenSink SetShellOpenSink(ShellOpenSink sink) {
    return Replace(shellSink(), std::move(sink), ShellOpenSink(OpenWithXdg));
}
MessagePumpSink SetMessagePumpSink(MessagePumpSink sink) {
    return Replace(pumpSink(), std::move(sink), MessagePumpSink(NoPump));
}

int ShowMessageBox(const std::string& text, const std::string& title, unsigned style) {
    return messageSink()(text, title, style);
}
bool CopyToClipboard(const std::string& text) {
    return clipboardSink()(text);
}
bool ShellOpen(const std::string& target) {
    return shellSink()(target);
}

void ProcessPendingMessages() {
    pumpSink()();
}

}  // namespace platform
