#pragma once
// The protocol commands the engine sends, as its log tells them (QIRLEN_PROTOCOL_LOG): standard
// error goes through a pipe that a thread reads; the log's lines are kept, all others go on to
// the real standard error. Started before the engine, which reads the switch once.
#include <fcntl.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class SentCommands {
  public:
    static SentCommands& Start() {
        static auto* sent = new SentCommands();  // reads until the process ends
        return *sent;
    }

    // The methods sent to pages since the last call, in order: the browser's own (Target.*,
    // Browser.*), which the engine sends as loads end, aside.
    std::vector<std::string> Take() {
        int mark = ++marksWritten_;  // the pipe is read in order: past the mark, all is read
        std::fprintf(stderr, "sent-commands-mark %d\n", mark);
        std::unique_lock guard(lock_);
        changed_.wait(guard, [&] { return marksRead_ == mark; });
        return std::exchange(methods_, {});
    }

  private:
    SentCommands() {
        setenv("QIRLEN_PROTOCOL_LOG", "1", 1);
        int ends[2];
        if (pipe(ends) != 0) std::abort();
        realStderr_ = dup(STDERR_FILENO);
        dup2(ends[1], STDERR_FILENO);
        close(ends[1]);
        std::thread([this, from = ends[0]] { Read(from); }).detach();
    }

    void Read(int from) {
        static const std::regex sent(R"(^[0-9.]+ >> .*?"method":"([^"]+)\")");
        static const std::regex logged(R"(^[0-9.]+ (<<|>>) )");
        FILE* in = fdopen(from, "r");
        char* line = nullptr;
        size_t size = 0;
        ssize_t length;
        while ((length = getline(&line, &size, in)) > 0) {
            std::string text(line, length);
            std::smatch m;
            std::lock_guard guard(lock_);
            if (std::regex_search(text, m, sent)) {
                std::string method = m[1];
                if (method.rfind("Target.", 0) != 0 && method.rfind("Browser.", 0) != 0)
                    methods_.push_back(method);
            } else if (text.rfind("sent-commands-mark ", 0) == 0) {
                marksRead_ = std::atoi(text.c_str() + 19);
                changed_.notify_all();
            } else if (!std::regex_search(text, logged)) {
                (void)!write(realStderr_, text.data(), text.size());
            }
        }
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> methods_;
    int marksWritten_ = 0;  // by the test's thread only
    int marksRead_ = 0;
    int realStderr_ = -1;
};

}  // namespace testsupport
