// Frame handles: 1 (and 0, no frame named) is the main frame; the others follow in pre-order of the
// frame tree.
#include "engine/browser/engine.h"

namespace engine {

std::vector<std::string> Engine::FramesInOrder(const View& view) const {
    std::vector<std::string> order;
    if (view.mainFrame.empty()) return order;
    std::vector<std::string> stack{view.mainFrame};
    while (!stack.empty()) {
        std::string id = stack.back();
        stack.pop_back();
        order.push_back(id);
        auto it = view.frames.find(id);
        if (it == view.frames.end()) continue;
        for (auto child = it->second.children.rbegin(); child != it->second.children.rend();
             ++child)
            stack.push_back(*child);
    }
    return order;
}

std::string Engine::FrameOfHandle(const View& view, wkeWebFrameHandle handle) const {
    if (handle == 1 || handle == 0) return view.mainFrame;  // 0: the caller named no frame
    if (handle < 1) return {};
    auto order = FramesInOrder(view);
    return static_cast<size_t>(handle) <= order.size() ? order[handle - 1] : std::string();
}

wkeWebFrameHandle Engine::HandleOfFrame(const View& view, const std::string& frame) const {
    auto order = FramesInOrder(view);
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i] == frame) return static_cast<wkeWebFrameHandle>(i + 1);
    return 0;
}

void Engine::RemoveDescendants(View& view, const std::string& frame) {
    auto it = view.frames.find(frame);
    if (it == view.frames.end()) return;
    std::vector<std::string> doomed = it->second.children;
    it->second.children.clear();
    for (size_t i = 0; i < doomed.size(); ++i) {
        auto child = view.frames.find(doomed[i]);
        if (child == view.frames.end()) continue;
        for (auto& grandchild : child->second.children) doomed.push_back(grandchild);
        view.frames.erase(child);
        view.contexts.erase(doomed[i]);
    }
}

void Engine::OnFrameEvent(View& view, const std::string& method, const nlohmann::json& params) {
    if (method == "Page.frameAttached") {
        std::string id = params.value("frameId", "");
        std::string parent = params.value("parentFrameId", "");
        Frame& frame = view.frames[id];
        frame.parent = parent;
        auto& siblings = view.frames[parent].children;
        if (std::find(siblings.begin(), siblings.end(), id) == siblings.end())
            siblings.push_back(id);
    } else if (method == "Page.frameDetached") {
        std::string id = params.value("frameId", "");
        if (params.value("reason", "") == "swap") return;  // the same frame, in another process
        RemoveDescendants(view, id);
        if (auto it = view.frames.find(id); it != view.frames.end()) {
            auto parent = view.frames.find(it->second.parent);
            if (parent != view.frames.end()) std::erase(parent->second.children, id);
        }
        view.frames.erase(id);
        view.contexts.erase(id);
    } else if (method == "Page.frameNavigated") {
        const auto& f = params["frame"];
        std::string id = f.value("id", "");
        std::string parent = f.value("parentId", "");
        if (parent.empty() && id != view.mainFrame) {
            view.frames.clear();
            view.mainFrame = id;
        }
        if (parent.empty() && !view.load.finished) NoteTopDocument(view, f.value("loaderId", ""));
        // A new document in a frame: the frames of its old document are gone.
        RemoveDescendants(view, id);
        Frame& frame = view.frames[id];
        frame.parent = parent;
        frame.url = f.value("url", "");
        frame.failed = f.contains("unreachableUrl");
        if (parent.empty()) view.url = frame.failed ? f.value("unreachableUrl", "") : frame.url;
        if (parent.empty()) OnTopDocument(view, f.value("loaderId", ""), frame.url);
        frame.origin = f.value("securityOrigin", "");
        NoteStoragePartition(view, id);
        std::string url = frame.url;
        Queue(view, [this, id, url](View& v) {
            if (!v.on.urlChanged) return;
            EngineString text(url);
            v.on.urlChanged.fn(HandleOf(v), v.on.urlChanged.param, HandleOfFrame(v, id),
                               text.handle());
        });
    } else if (method == "Page.navigatedWithinDocument") {
        std::string id = params.value("frameId", "");
        std::string url = params.value("url", "");
        if (id == view.mainFrame) view.url = url;
        Queue(view, [this, id, url](View& v) {
            if (!v.on.urlChanged) return;
            EngineString text(url);
            v.on.urlChanged.fn(HandleOf(v), v.on.urlChanged.param, HandleOfFrame(v, id),
                               text.handle());
        });
    }
}

}  // namespace engine
