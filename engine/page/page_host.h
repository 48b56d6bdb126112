#pragma once
// What a page needs of the browser it lives in. The browser implements it; pages see nothing
// else of the browser, and call it only through this.
#include <memory>
#include <string>

#include "engine/capi/wke.h"
#include "engine/protocol/connection.h"

namespace engine {

class BoundFunctions;
class NotificationQueue;
class Page;

class PageHost {
  public:
    virtual Connection& connection() = 0;
    // Whether the browser is gone, or never came: nothing is sent for pages then.
    virtual bool browserDead() const = 0;
    // Waits until the browser answers (starting it when needed), attaching the pages made
    // meanwhile; whether it works.
    virtual bool Ready() = 0;
    virtual Page* Find(wkeWebView handle) = 0;
    virtual NotificationQueue& notifications() = 0;
    virtual BoundFunctions& boundFunctions() = 0;
    // Attached to a browser elsewhere, the engine's pages live in a browser context of their
    // own, which cookie calls must name; empty otherwise.
    virtual const std::string& browserContext() const = 0;
    // How long a script may run before it is stopped (the time spent in bound native
    // functions does not count).
    virtual int scriptTimeoutMs() const = 0;

    // The settings of an attaching page still unanswered, while they are sent together
    // (PageSettings::ApplyAll); null otherwise. Shared: what another page sets meanwhile
    // joins the batch rather than wait on its own.
    std::shared_ptr<int> settingsBatch;

  protected:
    ~PageHost() = default;
};

}  // namespace engine
