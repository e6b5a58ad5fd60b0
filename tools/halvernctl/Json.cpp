#include "Json.h"

#include <algorithm>
#include <cstdio>

namespace halvern::cli {

namespace {

void WriteString(std::string& out, const std::string& s) {
    out += '"';
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

}  // namespace

std::string Json::dump(int indent) const {
    std::string out;
    write(out, indent, 0);
    out += '\n';
    return out;
}

void Json::write(std::string& out, int indent, int depth) const {
    auto newline = [&](int d) {
        out += '\n';
        out.append(static_cast<std::size_t>(indent * d), ' ');
    };
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::nullptr_t>) {
                out += "null";
            } else if constexpr (std::is_same_v<T, bool>) {
                out += v ? "true" : "false";
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                out += std::to_string(v);
            } else if constexpr (std::is_same_v<T, std::string>) {
                WriteString(out, v);
            } else if constexpr (std::is_same_v<T, Array>) {
                // Short runs of numbers read best on one line ([4, 1, 10]); arrays of
                // arrays of numbers put each inner array on its own line.
                bool inline_ = std::all_of(v.begin(), v.end(), [](const Json& e) {
                    return !std::holds_alternative<Array>(e.value_) && !std::holds_alternative<Object>(e.value_);
                });
                out += '[';
                for (std::size_t i = 0; i < v.size(); ++i) {
                    if (i) out += inline_ ? ", " : ",";
                    if (!inline_) newline(depth + 1);
                    v[i].write(out, indent, depth + 1);
                }
                if (!inline_ && !v.empty()) newline(depth);
                out += ']';
            } else {
                out += '{';
                for (std::size_t i = 0; i < v.size(); ++i) {
                    if (i) out += ',';
                    newline(depth + 1);
                    WriteString(out, v[i].first);
                    out += ": ";
                    v[i].second.write(out, indent, depth + 1);
                }
                if (!v.empty()) newline(depth);
                out += '}';
            }
        },
        value_);
}

}  // namespace halvern::cli
