#pragma once
// Lines of links from a descriptor, each handed on as soon as it has arrived, in bounded
// memory whatever arrives: a line longer than a link can be is passed over to its end, and
// only its start is kept, for the message that refuses it.
#include <functional>
#include <optional>
#include <string>

namespace app {

class LineReader {
  public:
    // Longer than any link a person shares, far shorter than what a browser refuses to load.
    static constexpr size_t kMaxLineBytes = 8192;
    // What is kept of a line that is too long: enough to recognise it by.
    static constexpr size_t kKeptStartBytes = 48;

    struct Line {
        std::string text;  // without its line end; for one too long, its start only
        bool tooLong = false;
    };

    // `waitReadable(fd)` returns once the descriptor can be read (or has hung up): the
    // caller's own work goes on meanwhile.
    LineReader(int fd, std::function<void(int)> waitReadable)
        : fd_(fd), waitReadable_(std::move(waitReadable)) {}

    // The next line, the last one also without a line end; nothing at the end of the input.
    std::optional<Line> Next();

  private:
    // The line from begin_ to `end`; the next one starts at `next`.
    std::optional<Line> TakeLine(size_t end, size_t next);
    bool ReadMore();

    int fd_;
    std::function<void(int)> waitReadable_;
    std::string buffer_;     // what arrived and has not been handed on, from begin_
    size_t begin_ = 0;       // where the current line starts in buffer_
    size_t scanned_ = 0;     // buffer_ holds no line end from begin_ up to here
    std::string longStart_;  // the start of the current line, once it is too long
    bool tooLong_ = false;
    bool ended_ = false;
};

}  // namespace app
