#pragma once
// Loads of a page's main frame, each with its one loading-finished notification.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/capi/wke.h"

namespace engine {

class Page;

// One load of the main frame, from its start to its one loading-finished notification.
struct Load {
    int serial = 0;
    std::string url;
    bool started = false;  // the main frame began loading it
    bool finished = true;
    bool navigateAnswered = false;
    bool committed = false;  // a document of this load replaced the old one
    bool stopped = false;    // the main frame stopped loading
    // A host's navigation names its document only in its answer: documents that came before
    // it (the blank page's own reload, still on its way) are judged once it is known.
    std::string loaderId;
    std::vector<std::string> documentsBeforeAnswer;
    std::string failure;  // set when the navigation itself failed
    bool byHost = false;  // the host asked for it (not the page)
};

class PageLoader {
  public:
    explicit PageLoader(Page& page) : page_(page) {}

    void Navigate(const std::string& url);
    // A page that has loaded nothing yet reloads its blank document to take up its settings.
    void Reload();
    void Stop();

    void Begin(const std::string& url);
    void Finish(wkeLoadingResult result, const std::string& reason);
    // A renderer's death also ends its navigation and stops its frame, and the browser tells
    // of the crash only a moment later: such an ending is reported once a round trip through
    // the browser has come back without a crash.
    void FinishUnlessCrashed(wkeLoadingResult result, const std::string& reason);
    void OnCrashed();
    // A document of the main frame during a load.
    void NoteTopDocument(const std::string& loaderId);
    void OnLoadEvent(const std::string& method, const nlohmann::json& params);
    // A load still in progress that the host asked for.
    bool hostLoadInProgress() const { return load.byHost && !load.finished; }

    Load load;
    int serial = 0;  // of the last load begun
    bool loaded = false, complete = false, failed = false;
    // The page's renderer died; nothing is sent to it until the next load brings a new one.
    bool crashed = false;
    std::string url, title;
    // A blank page reloads once it is attached, to take up what was set before (Reload).
    bool reloadWhenAttached = false;

  private:
    Page& page_;
};

}  // namespace engine
