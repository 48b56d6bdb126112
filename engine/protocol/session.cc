#include "engine/protocol/session.h"

namespace engine {

CallResult Session::Call(const std::string& method, const nlohmann::json& params,
                         int timeoutMs) const {
    if (id_.empty()) return {false, {}, "the view has no page"};
    return connection_->Call(method, params.is_null() ? nlohmann::json::object() : params, id_,
                             timeoutMs);
}

int Session::Post(const std::string& method, const nlohmann::json& params,
                  Connection::ReplyHandler onReply) const {
    if (id_.empty()) return -1;
    return connection_->Post(method, params.is_null() ? nlohmann::json::object() : params, id_,
                             std::move(onReply));
}

}  // namespace engine
