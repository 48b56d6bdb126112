#include "engine/transport/message_intake.h"

namespace engine {

size_t LongestStringTaken(std::string_view method) {
    if (method == "Runtime.consoleAPICalled" || method == "Runtime.exceptionThrown")
        return kMaxConsoleTextWritten;
    return std::string_view::npos;
}

std::string TakeIn(std::string message) {
    size_t longest = LongestStringTaken(MethodAtHead(message));
    return longest == std::string_view::npos ? message : CutLongStrings(message, longest);
}

namespace {
// Enough of a message to read the method it names at its head.
constexpr size_t kHeadBytes = 160;
}  // namespace

void MessageIntake::Add(std::string_view piece) {
    if (cutter_) return cutter_->Add(piece, text_);
    text_.append(piece);
    if (!headRead_ && text_.size() >= kHeadBytes) ReadHead();
}

void MessageIntake::ReadHead() {
    headRead_ = true;
    size_t longest = LongestStringTaken(MethodAtHead(text_));
    if (longest == std::string_view::npos) return;
    std::string head = std::move(text_);
    text_.clear();
    cutter_.emplace(longest);
    cutter_->Add(head, text_);
}

std::string MessageIntake::Take() {
    std::string message = std::move(text_);
    *this = MessageIntake();
    return message;
}

}  // namespace engine
