// A small JSON value and printer for halvernctl's output: objects keep the order their
// keys were added in, and arrays of plain values print on one line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
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

private:
    void write(std::string& out, int indent, int depth) const;

    std::variant<std::nullptr_t, bool, std::int64_t, std::string, Array, Object> value_;
};

}  // namespace halvern::cli
