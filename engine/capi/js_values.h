#pragma once
// Script values handed across the interface. Small values are encoded in the 64-bit
// jsValue itself; texts, numbers and objects live in a table that is recycled between
// top-level runs, so a value stays readable long after the call that produced it.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/capi/wke.h"

namespace engine {

struct ScriptValue {
    jsType type = JSTYPE_UNDEFINED;
    std::string text;  // the value as String(value) gives it, UTF-8
    double number = 0;
    bool boolean = false;
};

class ValueTable {
  public:
    jsValue Undefined() const;
    jsValue Null() const;
    jsValue Bool(bool b) const;
    jsValue Int(int n) const;
    jsValue Number(double d);
    jsValue String(std::string utf8);
    jsValue Other(jsType type, std::string text);  // objects, arrays, functions

    // A value from the protocol's RemoteObject (returned by value).
    jsValue FromRemote(const nlohmann::json& remote);
    // A value from the page bridge's [type, text] pair.
    jsValue FromBridge(const nlohmann::json& pair);

    // Unknown handles read as undefined.
    ScriptValue Get(jsValue v) const;

    // The value as the protocol's CallArgument.
    nlohmann::json ToArgument(jsValue v) const;

    // Forgets table entries when the table has grown large, in count or in bytes; call
    // between top-level runs.
    void Recycle();
    // Values made after Mark() are forgotten by Release(mark): those of one bound call, whose
    // life ends with the call.
    size_t Mark() const { return table_.size(); }
    void Release(size_t mark);
    void Clear();

  private:
    void Add(ScriptValue v);
    std::vector<ScriptValue> table_;
    size_t bytes_ = 0;
    uint32_t generation_ = 1;
};

std::string NumberToString(double d);

}  // namespace engine
