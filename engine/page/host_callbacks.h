#pragma once
// What the host gave a view: its callbacks, which the page's notifications and questions go
// to, and the values it keeps on the view.
#include <map>
#include <string>

#include "engine/capi/qirlen_protocol.h"
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
    // Every event of the page's session, as the modern face's pages follow them; with
    // protocolAnswersDialogs, the listener answers dialogs instead of the engine.
    Slot<qirlenProtocolEvent> protocolEvent;
    bool protocolAnswersDialogs = false;
};

// What the host keeps on a view, and the texts handed to it by pointer, which stay valid until
// it asks for the same kind of text again.
struct HostData {
    std::map<std::string, void*> userKeys;
    std::string urlText, titleText, cookieText;
};

}  // namespace engine
