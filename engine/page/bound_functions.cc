#include "engine/page/bound_functions.h"

#include <algorithm>

namespace engine {

void BoundFunctions::Bind(Binding binding) {
    std::erase_if(bindings_, [&](const Binding& b) { return b.name == binding.name; });
    bindings_.push_back(std::move(binding));
}

const Binding* BoundFunctions::Find(std::string_view name) const {
    auto it = std::find_if(bindings_.begin(), bindings_.end(),
                           [&](const Binding& b) { return b.name == name; });
    return it == bindings_.end() ? nullptr : &*it;
}

void BoundFunctions::BeginRun(int page) {
    ++runDepth_;
    runPage_ = page;
}

}  // namespace engine
