#pragma once
// What the engine keeps for one web view: its page session, its frames, its load, the
// settings it applies to pages, and the host's callbacks.
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "engine/capi/wke.h"

namespace engine {

struct Callbacks {
    template <typename Fn>
    struct Slot {
        Fn fn = nullptr;
        void* param = nullptr;
        explicit operator bool() const { return fn != nullptr; }
    };
    Slot<wkeLoadingFinishCallback> loadingFinish;
    Slot<wkeDocumentReady2Callback> documentReady;
    Slot<wkeTitleChangedCallback> titleChanged;
    Slot<wkeURLChangedCallback2> urlChanged;
    Slot<wkeNavigationCallback> navigation;
    Slot<wkeCreateViewCallback> createView;
    Slot<wkeConsoleCallback> console;
    Slot<wkeAlertBoxCallback> alert;
    Slot<wkeConfirmBoxCallback> confirm;
    Slot<wkePromptBoxCallback> prompt;
    Slot<wkeDownloadCallback> download;
    Slot<wkeDownloadFinishedCallback> downloadFinished;
    Slot<wkeLoadUrlBeginCallback> loadUrlBegin;
    Slot<wkeLoadUrlEndCallback> loadUrlEnd;
    Slot<wkeMouseOverUrlChangedCallback> mouseOverUrl;
    Slot<wkePaintUpdatedCallback> paint;
    Slot<wkeWindowClosingCallback> closing;
    Slot<wkeWindowDestroyCallback> destroy;
};

// The seven values pages see in navigator and screen; unset ones keep the browser's own.
struct DeviceProfile {
    std::optional<std::string> platform;
    std::optional<int> maxTouchPoints, hardwareConcurrency;
    std::optional<int> screenWidth, screenHeight, availWidth, availHeight;
};

struct Frame {
    std::string parent;                 // empty for the main frame
    std::vector<std::string> children;  // in the order they were attached
    std::string url;
    std::string origin;   // of its document, as Chromium reports it
    bool failed = false;  // shows an error page instead of its address
};

// Local storage of one origin as it is seen under one top-level page: browsers keep a framed
// origin's storage apart per top-level site, and so does what the engine keeps across runs.
struct StoragePartition {
    std::string top, origin;
    std::string storageKey;  // Chromium's name for it, once known
};

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

struct View {
    char16_t pendingHighSurrogate = 0;  // the first half of a typed character
    int id = 0;
    std::string targetId;
    std::string session;    // empty: the view has no page (not yet, or the browser is gone)
    bool attached = false;  // has had its page session
    bool reloadWhenAttached = false;
    int width = 0, height = 0;
    bool shown = false;
    bool transparent = false;
    bool screencasting = false;
    std::u16string windowTitle;

    // frames, by protocol frame id
    std::string mainFrame;
    std::map<std::string, Frame> frames;
    std::map<std::string, int> contexts;                  // frame -> default script context
    std::map<std::string, std::string> navigationReason;  // frame -> last requested reason

    // loading
    Load load;
    int loadSerial = 0;
    bool loaded = false, loadComplete = false, loadFailed = false;
    // The page's renderer died; nothing is sent to it until the next load brings a new one.
    bool crashed = false;
    std::string url, title;

    // Whether the top-level page came from the public internet: its requests to loopback and
    // the local network are refused. Raised as soon as such a page's answer arrives, lowered
    // only when a page from elsewhere has replaced it.
    bool topPublic = false;
    std::map<std::string, bool> documentsPublic;  // loader id -> came from the internet

    // settings
    std::string userAgent;
    bool touch = false;
    DeviceProfile device;
    std::string deviceScriptId;
    bool scriptDisabled = false, imagesBlocked = false;
    bool cspBypassed = false, newWindowNavigation = false, cookiesEnabled = true;
    bool debuggerOn = false, hoverWatched = false, lifecycleOn = false;
    std::string bridgeScriptId, hoverScriptId;
    std::u16string localStoragePath, cookieJarPath;
    // The kept cookies as this view last read or wrote them: what it changes or removes
    // itself, against what other programs sharing the directory wrote.
    std::map<std::string, std::string> knownCookies;
    std::vector<StoragePartition> storagePartitions;  // seen in this view, most recent last
    // "top origin" -> [[key, value]...]
    nlohmann::json storageToRestore = nlohmann::json::object();
    std::string restoreScriptId;

    Callbacks on;
    std::map<std::string, void*> userKeys;

    // bound calls: the arguments the page sent just before it paused
    std::string pendingBridgePayload;
    // the token of the script run in progress in this view (empty between runs); run-only
    // functions accept calls made under it
    std::string runToken;
    bool acceptBetweenRuns = false;
    int64_t droppedCalls = 0;  // calls into run-only functions refused
    // bridge messages held back while another view's script ran; later ones queue behind
    int deferredBridgeMessages = 0;

    bool lastRunFailed = false;

    // texts handed out by pointer
    std::string urlText, titleText, cookieText;
};

}  // namespace engine
