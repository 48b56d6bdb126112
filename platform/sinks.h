#pragma once
// Where the program's message boxes, clipboard text and shell opens go. The window installs
// Qt-backed sinks, the command line writes to stderr, tests install recorders.
#include <functional>
#include <string>

namespace platform {

// Message box styles, with the Windows values the program passes.
constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbIconError = 0x10;
constexpr unsigned kMbTaskModal = 0x2000;

// text and title are GBK; the result is the pressed button (1 = OK).
using MessageBoxSink =
    std::function<int(const std::string& text, const std::string& title, unsigned style)>;
// text is GBK; true when the clipboard took it.
using ClipboardSink = std::function<bool(const std::string& text)>;
// target is GBK (an address or a path); true when the shell accepted it.
using ShellOpenSink = std::function<bool(const std::string& target)>;

// Lets the program's event loop dispatch what is pending, once, without waiting (the
// window's Qt loop); by default nothing runs.
using MessagePumpSink = std::function<void()>;

// Each setter returns the sink it replaced; an empty function restores the default.
MessageBoxSink SetMessageBoxSink(MessageBoxSink sink);
ClipboardSink SetClipboardSink(ClipboardSink sink);
ShellOpenSink SetShellOpenSink(ShellOpenSink sink);
MessagePumpSink SetMessagePumpSink(MessagePumpSink sink);

int ShowMessageBox(const std::string& text, const std::string& title, unsigned style);
bool CopyToClipboard(const std::string& text);
bool ShellOpen(const std::string& target);
void ProcessPendingMessages();

}  // namespace platform
