#include "engine/capi/js_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace engine {
namespace {

// jsValue layout: tag in bits 48..55; for table entries the generation in bits 32..47
// and the index in bits 0..31.
enum Tag : uint64_t { kUndefined = 1, kNull = 2, kTrue = 3, kFalse = 4, kInt = 5, kTable = 6 };
constexpr int kTagShift = 48;
constexpr size_t kRecycleAt = 8192;
constexpr size_t kRecycleAtBytes = size_t{64} << 20;

jsValue Make(Tag tag, uint64_t payload = 0) {
    return static_cast<jsValue>((static_cast<uint64_t>(tag) << kTagShift) | payload);
}
Tag TagOf(jsValue v) {
    return static_cast<Tag>((static_cast<uint64_t>(v) >> kTagShift) & 0xFF);
}

jsType TypeFromName(const std::string& name) {
    if (name == "number" || name == "bigint") return JSTYPE_NUMBER;
    if (name == "string") return JSTYPE_STRING;
    if (name == "boolean") return JSTYPE_BOOLEAN;
    if (name == "function") return JSTYPE_FUNCTION;
    if (name == "array") return JSTYPE_ARRAY;
    if (name == "null") return JSTYPE_NULL;
    if (name == "object" || name == "symbol") return JSTYPE_OBJECT;
    return JSTYPE_UNDEFINED;
}

// String(value) for a value returned by value: arrays join their items, objects say so.
std::string StringForm(const nlohmann::json& v) {
    if (v.is_string()) return v.get<std::string>();
    if (v.is_null()) return "";
    if (v.is_boolean()) return v.get<bool>() ? "true" : "false";
    if (v.is_number()) return NumberToString(v.get<double>());
    if (v.is_array()) {
        std::string out;
        for (size_t i = 0; i < v.size(); ++i) out += (i ? "," : "") + StringForm(v[i]);
        return out;
    }
    return "[object Object]";
}

}  // namespace

// As JavaScript's String(x) writes a number: the shortest digits that read back as x, in
// plain notation from 1e-7 up to 1e21 and in exponent notation ("1e-7", "1.5e+21") outside.
std::string NumberToString(double d) {
    if (std::isnan(d)) return "NaN";
    if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
    if (d == 0) return "0";
    if (d < 0) return "-" + NumberToString(-d);
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
    if (ec != std::errc()) return "NaN";
    std::string text(buf, end);
    size_t e = text.find('e');
    std::string digits = text.substr(0, e);
    digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
    int k = static_cast<int>(digits.size());
    int n = std::atoi(text.c_str() + e + 1) + 1;  // x = 0.digits * 10^n
    if (k <= n && n <= 21) return digits + std::string(n - k, '0');
    if (0 < n && n <= 21) return digits.substr(0, n) + "." + digits.substr(n);
    if (-6 < n && n <= 0) return "0." + std::string(-n, '0') + digits;
    std::string exponent = (n - 1 < 0 ? "-" : "+") + std::to_string(std::abs(n - 1));
    return digits.substr(0, 1) + (k > 1 ? "." + digits.substr(1) : "") + "e" + exponent;
}

jsValue ValueTable::Undefined() const {
    return Make(kUndefined);
}
jsValue ValueTable::Null() const {
    return Make(kNull);
}
jsValue ValueTable::Bool(bool b) const {
    return Make(b ? kTrue : kFalse);
}
jsValue ValueTable::Int(int n) const {
    return Make(kInt, static_cast<uint32_t>(n));
}

jsValue ValueTable::Number(double d) {
    if (d == std::floor(d) && d >= INT32_MIN && d <= INT32_MAX && !(d == 0 && std::signbit(d)))
        return Int(static_cast<int>(d));
    Add(ScriptValue{JSTYPE_NUMBER, NumberToString(d), d, false});
    return Make(kTable, (static_cast<uint64_t>(generation_ & 0xFFFF) << 32) | (table_.size() - 1));
}

jsValue ValueTable::String(std::string utf8) {
    return Other(JSTYPE_STRING, std::move(utf8));
}

jsValue ValueTable::Other(jsType type, std::string text) {
    Add(ScriptValue{type, std::move(text), 0, false});
    return Make(kTable, (static_cast<uint64_t>(generation_ & 0xFFFF) << 32) | (table_.size() - 1));
}

jsValue ValueTable::FromRemote(const nlohmann::json& remote) {
    if (!remote.is_object()) return Undefined();
    std::string type = remote.value("type", "undefined");
    std::string subtype = remote.value("subtype", "");
    auto value = remote.find("value");
    if (type == "number") {
        if (value != remote.end() && value->is_number()) return Number(value->get<double>());
        std::string special = remote.value("unserializableValue", "NaN");
        return Other(JSTYPE_NUMBER, special == "-0" ? "0" : special);
    }
    if (type == "bigint") {
        std::string text = remote.value("unserializableValue", "0n");  // 10n: String gives 10
        if (!text.empty() && text.back() == 'n') text.pop_back();
        return Other(JSTYPE_NUMBER, text);
    }
    if (type == "string")
        return String(value != remote.end() && value->is_string() ? value->get<std::string>() : "");
    if (type == "boolean")
        return Bool(value != remote.end() && value->is_boolean() && value->get<bool>());
    if (type == "object" && (subtype == "null" || (value != remote.end() && value->is_null())))
        return Null();
    if (type == "function") return Other(JSTYPE_FUNCTION, remote.value("description", "function"));
    if (type == "object") {
        bool isArray = subtype == "array" || (value != remote.end() && value->is_array());
        std::string text = value != remote.end() ? StringForm(*value) : "[object Object]";
        return Other(isArray ? JSTYPE_ARRAY : JSTYPE_OBJECT, text);
    }
    return Undefined();
}

jsValue ValueTable::FromBridge(const nlohmann::json& pair) {
    if (!pair.is_array() || pair.size() != 2 || !pair[0].is_string() || !pair[1].is_string())
        return Undefined();
    std::string type = pair[0].get<std::string>();
    std::string text = pair[1].get<std::string>();
    switch (TypeFromName(type)) {
        case JSTYPE_UNDEFINED:
            return Undefined();
        case JSTYPE_NULL:
            return Null();
        case JSTYPE_BOOLEAN:
            return Bool(text == "true");
        case JSTYPE_NUMBER: {
            char* end = nullptr;
            double d = std::strtod(text.c_str(), &end);
            if (end && *end == '\0' && !text.empty() && type == "number") return Number(d);
            return Other(JSTYPE_NUMBER, text);
        }
        case JSTYPE_STRING:
            return String(text);
        default:
            return Other(TypeFromName(type), text);
    }
}

ScriptValue ValueTable::Get(jsValue v) const {
    switch (TagOf(v)) {
        case kNull:
            return {JSTYPE_NULL, "null"};
        case kTrue:
            return {JSTYPE_BOOLEAN, "true", 0, true};
        case kFalse:
            return {JSTYPE_BOOLEAN, "false", 0, false};
        case kInt: {
            int n = static_cast<int32_t>(static_cast<uint64_t>(v) & 0xFFFFFFFF);
            return {JSTYPE_NUMBER, std::to_string(n), static_cast<double>(n)};
        }
        case kTable: {
            uint64_t raw = static_cast<uint64_t>(v);
            size_t index = raw & 0xFFFFFFFF;
            if (((raw >> 32) & 0xFFFF) != (generation_ & 0xFFFF) || index >= table_.size()) break;
            return table_[index];
        }
        default:
            break;
    }
    return {JSTYPE_UNDEFINED, "undefined"};
}

nlohmann::json ValueTable::ToArgument(jsValue v) const {
    ScriptValue value = Get(v);
    switch (value.type) {
        case JSTYPE_NULL:
            return {{"value", nullptr}};
        case JSTYPE_BOOLEAN:
            return {{"value", value.boolean}};
        case JSTYPE_NUMBER: {
            char* end = nullptr;
            double d = std::strtod(value.text.c_str(), &end);
            bool plain = !value.text.empty() && end && *end == '\0' && std::isfinite(d);
            if (plain) return {{"value", d}};
            return {{"unserializableValue",
                     value.text == "NaN" || value.text == "Infinity" || value.text == "-Infinity"
                         ? value.text
                         : "NaN"}};
        }
        case JSTYPE_UNDEFINED:
            return nlohmann::json::object();
        default:
            return {{"value", value.text}};  // strings; objects cross as their text form
    }
}

void ValueTable::Add(ScriptValue v) {
    bytes_ += v.text.size();
    table_.push_back(std::move(v));
}

void ValueTable::Recycle() {
    if (table_.size() < kRecycleAt && bytes_ < kRecycleAtBytes) return;
    Clear();
}

void ValueTable::Release(size_t mark) {
    while (table_.size() > mark) {
        bytes_ -= table_.back().text.size();
        table_.pop_back();
    }
}

void ValueTable::Clear() {
    table_.clear();
    table_.shrink_to_fit();
    bytes_ = 0;
    ++generation_;
}

}  // namespace engine
