#include "engine/page/frame_tree.h"

#include <algorithm>
#include <functional>

namespace engine {

void FrameTree::Load(const nlohmann::json& frameTree) {
    std::function<void(const nlohmann::json&, const std::string&)> add =
        [&](const nlohmann::json& node, const std::string& parent) {
            std::string id = node["frame"].value("id", "");
            frames[id].parent = parent;
            frames[id].url = node["frame"].value("url", "");
            if (parent.empty())
                main = id;
            else
                frames[parent].children.push_back(id);
            for (const auto& child : node.value("childFrames", nlohmann::json::array()))
                add(child, id);
        };
    add(frameTree, "");
}

void FrameTree::OnAttached(const std::string& id, const std::string& parent) {
    Frame& frame = frames[id];
    frame.parent = parent;
    auto& siblings = frames[parent].children;
    if (std::find(siblings.begin(), siblings.end(), id) == siblings.end()) siblings.push_back(id);
}

void FrameTree::OnDetached(const std::string& id) {
    RemoveDescendants(id);
    if (auto it = frames.find(id); it != frames.end()) {
        auto parent = frames.find(it->second.parent);
        if (parent != frames.end()) std::erase(parent->second.children, id);
    }
    frames.erase(id);
    contexts.erase(id);
}

void FrameTree::RemoveDescendants(const std::string& frame) {
    auto it = frames.find(frame);
    if (it == frames.end()) return;
    std::vector<std::string> doomed = it->second.children;
    it->second.children.clear();
    for (size_t i = 0; i < doomed.size(); ++i) {
        auto child = frames.find(doomed[i]);
        if (child == frames.end()) continue;
        for (auto& grandchild : child->second.children) doomed.push_back(grandchild);
        frames.erase(child);
        contexts.erase(doomed[i]);
    }
}

void FrameTree::OnContextEvent(const std::string& method, const nlohmann::json& params) {
    if (method == "Runtime.executionContextCreated") {
        const auto& context = params["context"];
        const auto& aux = context.value("auxData", nlohmann::json::object());
        if (aux.value("isDefault", false))
            contexts[aux.value("frameId", "")] = context.value("id", 0);
    } else if (method == "Runtime.executionContextDestroyed") {
        int id = params.value("executionContextId", 0);
        std::erase_if(contexts, [id](const auto& entry) { return entry.second == id; });
    } else if (method == "Runtime.executionContextsCleared") {
        contexts.clear();
    }
}

std::vector<std::string> FrameTree::InOrder() const {
    std::vector<std::string> order;
    if (main.empty()) return order;
    std::vector<std::string> stack{main};
    while (!stack.empty()) {
        std::string id = stack.back();
        stack.pop_back();
        order.push_back(id);
        auto it = frames.find(id);
        if (it == frames.end()) continue;
        for (auto child = it->second.children.rbegin(); child != it->second.children.rend();
             ++child)
            stack.push_back(*child);
    }
    return order;
}

std::string FrameTree::OfHandle(wkeWebFrameHandle handle) const {
    if (handle == 1 || handle == 0) return main;  // 0: the caller named no frame
    if (handle < 1) return {};
    auto order = InOrder();
    return static_cast<size_t>(handle) <= order.size() ? order[handle - 1] : std::string();
}

wkeWebFrameHandle FrameTree::HandleOf(const std::string& frame) const {
    auto order = InOrder();
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i] == frame) return static_cast<wkeWebFrameHandle>(i + 1);
    return 0;
}

}  // namespace engine
