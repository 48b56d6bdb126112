#pragma once
// The program's main job, without widgets: check the share link, load it, and when the page
// has loaded, cut the stream address out of it.
#include <cstdint>
#include <optional>
#include <string>

namespace app {

class StreamWorkflow {
  public:
    // Where the workflow loads pages: the window's browser control, or the command line's view.
    class Page {
      public:
        virtual ~Page() = default;
        virtual void Load(const std::string& address) = 0;  // GBK
        virtual intptr_t View() = 0;                        // 0: no web view
    };

    explicit StreamWorkflow(Page& page) : page_(page) {}

    // False (after the wrong-link message box) when the text holds no share link;
    // otherwise the load has started.
    bool StartFetch(const std::string& linkBoxText);

    // A loading-finished notification. For result 0 the message for the result box (the
    // clipboard and the player address updated on success); nothing for 1 and 2.
    std::optional<std::string> FinishFetch(int result);

    // Whether the last message was the success form.
    bool lastSucceeded() const { return lastSucceeded_; }
    const std::string& playerAddress() const { return playerAddress_; }

  private:
    Page& page_;
    std::string playerAddress_;
    bool lastSucceeded_ = false;
};

}  // namespace app
