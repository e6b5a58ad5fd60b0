// A small JSON value, printer and reader for halvernctl: objects keep the order their
// keys were added or read in, and arrays of plain values print on one line.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace halvern::cli {

class Json {
public:
    using Object = std::vector<std::pair<std::string, Json>>;
    using Array = std::vector<Json>;

    Json() : value_(nullptr) {}
    Json(std::int64_t v) : value_(v) {}
    Json(int v) : value_(std::int64_t{v}) {}
    Json(unsigned v) : value_(std::int64_t{v}) {}
    Json(bool v) : value_(v) {}
    Json(std::string v) : value_(std::move(v)) {}
    Json(const char* v) : value_(std::string(v)) {}
    Json(Array v) : value_(std::move(v)) {}
    Json(Object v) : value_(std::move(v)) {}

    // Text of a value; strings must be UTF-8 and are escaped as JSON requires.
    std::string dump(int indent = 2) const;

    // Reads one JSON document (RFC 8259). The text comes from outside: nesting is
    // limited, and a malformed document gives nullopt with `error` naming the byte
    // offset. A number may take any form JSON has (400, 4e2, 400.0) but its value must
    // be a whole number that fits 64 bits.
    static std::optional<Json> Parse(std::string_view text, std::string& error);

    // The value as that kind, or null when it is another kind.
    const Object* object() const { return std::get_if<Object>(&value_); }
    const Array* array() const { return std::get_if<Array>(&value_); }
    const std::string* string() const { return std::get_if<std::string>(&value_); }
    const std::int64_t* integer() const { return std::get_if<std::int64_t>(&value_); }
    const bool* boolean() const { return std::get_if<bool>(&value_); }
    // The member of an object with that key, or null.
    const Json* find(std::string_view key) const;

private:
    void write(std::string& out, int indent, int depth) const;

    std::variant<std::nullptr_t, bool, std::int64_t, std::string, Array, Object> value_;
};

}  // namespace halvern::cli
