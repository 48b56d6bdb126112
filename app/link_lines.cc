#include "app/link_lines.h"

#include <unistd.h>

#include <cerrno>

namespace app {
namespace {

// The first bytes of a text, not cut inside a UTF-8 character.
std::string StartOf(const std::string& text, size_t from) {
    size_t cut = from + LineReader::kKeptStartBytes;
    if (cut >= text.size()) return text.substr(from);
    while (cut > from && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(from, cut - from);
}

}  // namespace

std::optional<LineReader::Line> LineReader::Next() {
    for (;;) {
        if (size_t end = buffer_.find('\n', scanned_); end != std::string::npos)
            return TakeLine(end, end + 1);
        scanned_ = buffer_.size();
        if (buffer_.size() - begin_ > kMaxLineBytes) {
            if (!tooLong_) longStart_ = StartOf(buffer_, begin_);
            tooLong_ = true;
            buffer_.clear();  // the rest of a line too long is let go as it comes
            begin_ = scanned_ = 0;
        }
        if (ended_) {
            if (begin_ == buffer_.size() && !tooLong_) return std::nullopt;
            return TakeLine(buffer_.size(), buffer_.size());
        }
        if (!ReadMore()) ended_ = true;
    }
}

std::optional<LineReader::Line> LineReader::TakeLine(size_t end, size_t next) {
    Line line;
    line.tooLong = tooLong_ || end - begin_ > kMaxLineBytes;
    if (tooLong_)
        line.text = std::move(longStart_);
    else if (line.tooLong)
        line.text = StartOf(buffer_, begin_);
    else
        line.text = buffer_.substr(begin_, end - begin_);
    begin_ = scanned_ = next;
    tooLong_ = false;
    longStart_.clear();
    return line;
}

// Lines already handed on make room first, so the buffer holds at most one line and a read.
bool LineReader::ReadMore() {
    buffer_.erase(0, begin_);
    scanned_ -= begin_;
    begin_ = 0;
    char chunk[1 << 16];
    for (;;) {
        if (waitReadable_) waitReadable_(fd_);
        ssize_t n = read(fd_, chunk, sizeof chunk);
        if (n > 0) {
            buffer_.append(chunk, static_cast<size_t>(n));
            return true;
        }
        if (n == 0 || (errno != EINTR && errno != EAGAIN)) return false;
    }
}

}  // namespace app
