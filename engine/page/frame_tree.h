#pragma once
// A page's frames as the protocol names them, their script contexts, and the handles the host
// knows them by: 1 (and 0, no frame named) is the main frame; the others follow in pre-order
// of the frame tree.
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/capi/wke.h"

namespace engine {

struct Frame {
    std::string parent;                 // empty for the main frame
    std::vector<std::string> children;  // in the order they were attached
    std::string url;
    std::string origin;   // of its document, as Chromium reports it
    bool failed = false;  // shows an error page instead of its address
};

struct FrameTree {
    std::string main;
    std::map<std::string, Frame> frames;                  // by protocol frame id
    std::map<std::string, int> contexts;                  // frame -> default script context
    std::map<std::string, std::string> navigationReason;  // frame -> last requested reason

    // The tree as Page.getFrameTree answers it.
    void Load(const nlohmann::json& frameTree);
    void OnAttached(const std::string& id, const std::string& parent);
    void OnDetached(const std::string& id);
    // A new document in a frame: the frames of its old document are gone.
    void RemoveDescendants(const std::string& frame);
    // Runtime events about script contexts.
    void OnContextEvent(const std::string& method, const nlohmann::json& params);

    std::vector<std::string> InOrder() const;
    std::string OfHandle(wkeWebFrameHandle handle) const;
    wkeWebFrameHandle HandleOf(const std::string& frame) const;
};

}  // namespace engine
