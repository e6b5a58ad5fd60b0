#include "Json.h"

#include <algorithm>
#include <charconv>
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

const Json* Json::find(std::string_view key) const {
    if (const Object* o = object())
        for (const auto& [k, v] : *o)
            if (k == key) return &v;
    return nullptr;
}

namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<Json> document(std::string& error) {
        std::optional<Json> v = value(0);
        skipSpace();
        if (v && pos_ != text_.size()) fail("text after the document");
        if (!error_.empty()) {
            error = error_;
            return std::nullopt;
        }
        return v;
    }

private:
    static constexpr int kMaxDepth = 64;

    std::optional<Json> fail(const std::string& what) {
        if (error_.empty()) error_ = what + " at byte " + std::to_string(pos_);
        return std::nullopt;
    }
    void skipSpace() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\n' || text_[pos_] == '\r' || text_[pos_] == '\t'))
            ++pos_;
    }
    bool take(char c) {
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool takeWord(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    std::optional<Json> value(int depth) {
        if (depth > kMaxDepth) return fail("nesting too deep");
        skipSpace();
        if (pos_ >= text_.size()) return fail("unexpected end");
        const char c = text_[pos_];
        if (c == '{') return object(depth);
        if (c == '[') return array(depth);
        if (c == '"') {
            std::optional<std::string> s = string();
            return s ? std::optional<Json>(Json(std::move(*s))) : std::nullopt;
        }
        if (takeWord("true")) return Json(true);
        if (takeWord("false")) return Json(false);
        if (takeWord("null")) return Json();
        return number();
    }

    std::optional<Json> object(int depth) {
        ++pos_;
        Json::Object members;
        if (take('}')) return Json(std::move(members));
        do {
            skipSpace();
            if (pos_ >= text_.size() || text_[pos_] != '"') return fail("expected a key");
            std::optional<std::string> key = string();
            if (!key) return std::nullopt;
            if (!take(':')) return fail("expected ':'");
            std::optional<Json> v = value(depth + 1);
            if (!v) return std::nullopt;
            members.emplace_back(std::move(*key), std::move(*v));
        } while (take(','));
        if (!take('}')) return fail("expected ',' or '}'");
        return Json(std::move(members));
    }

    std::optional<Json> array(int depth) {
        ++pos_;
        Json::Array items;
        if (take(']')) return Json(std::move(items));
        do {
            std::optional<Json> v = value(depth + 1);
            if (!v) return std::nullopt;
            items.push_back(std::move(*v));
        } while (take(','));
        if (!take(']')) return fail("expected ',' or ']'");
        return Json(std::move(items));
    }

    bool digitAt(std::size_t at) const { return at < text_.size() && text_[at] >= '0' && text_[at] <= '9'; }

    std::size_t skipDigits() {
        const std::size_t start = pos_;
        while (digitAt(pos_)) ++pos_;
        return pos_ - start;
    }

    // A number as RFC 8259 writes it: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)? .
    // Whatever its form, its value must be a whole number of 64 bits: 1e3 is 1000,
    // 1000.0 is too, 1.5 is refused.
    std::optional<Json> number() {
        const std::size_t start = pos_;
        const bool negative = pos_ < text_.size() && text_[pos_] == '-';
        if (negative) ++pos_;
        const std::size_t intStart = pos_;
        const std::size_t intDigits = skipDigits();
        if (intDigits == 0) {
            pos_ = start;
            return fail("expected a value");
        }
        if (text_[intStart] == '0' && intDigits > 1) {
            pos_ = intStart;
            return fail("a number with a leading zero");
        }
        std::string digits(text_.substr(intStart, intDigits));
        long long exponent = 0;
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            const std::size_t fracStart = pos_;
            const std::size_t fracDigits = skipDigits();
            if (fracDigits == 0) return fail("expected a digit after '.'");
            digits += text_.substr(fracStart, fracDigits);
            exponent -= static_cast<long long>(fracDigits);
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            const bool down = pos_ < text_.size() && text_[pos_] == '-';
            if (pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '+')) ++pos_;
            long long e = 0;
            if (!digitAt(pos_)) return fail("expected a digit in the exponent");
            // Beyond a million the value is zero or far beyond 64 bits either way.
            for (; digitAt(pos_); ++pos_) e = std::min(e * 10 + (text_[pos_] - '0'), 1000000LL);
            exponent += down ? -e : e;
        }
        // digits x 10^exponent, as a whole number.
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
        if (digits.empty()) return Json(std::int64_t{0});
        if (exponent < 0) {
            const std::size_t cut = static_cast<std::size_t>(-exponent);
            if (cut >= digits.size() || digits.find_first_not_of('0', digits.size() - cut) != std::string::npos)
                return failAt(start, "numbers must be whole");
            digits.resize(digits.size() - cut);
        } else if (exponent > 0) {
            if (exponent > 19) return failAt(start, "numbers must be whole and fit 64 bits");
            digits.append(static_cast<std::size_t>(exponent), '0');
        }
        if (negative) digits.insert(digits.begin(), '-');
        std::int64_t v = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
        if (ec != std::errc() || end != digits.data() + digits.size())
            return failAt(start, "numbers must be whole and fit 64 bits");
        return Json(v);
    }

    std::optional<Json> failAt(std::size_t at, const std::string& what) {
        pos_ = at;
        return fail(what);
    }

    bool hex4(std::uint32_t& out) {
        if (pos_ + 4 > text_.size()) return false;
        auto [end, ec] = std::from_chars(text_.data() + pos_, text_.data() + pos_ + 4, out, 16);
        if (ec != std::errc() || end != text_.data() + pos_ + 4) return false;
        pos_ += 4;
        return true;
    }

    static void appendUtf8(std::string& s, std::uint32_t cp) {
        if (cp < 0x80) {
            s += static_cast<char>(cp);
        } else if (cp < 0x800) {
            s += static_cast<char>(0xC0 | (cp >> 6));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            s += static_cast<char>(0xE0 | (cp >> 12));
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | (cp >> 18));
            s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    std::optional<std::string> string() {
        ++pos_;
        std::string s;
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') return s;
            if (static_cast<unsigned char>(c) < 0x20) {
                --pos_;
                fail("a control character in a string");
                return std::nullopt;
            }
            if (c != '\\') {
                s += c;
                continue;
            }
            if (pos_ >= text_.size()) break;
            const char e = text_[pos_++];
            switch (e) {
                case '"': s += '"'; break;
                case '\\': s += '\\'; break;
                case '/': s += '/'; break;
                case 'b': s += '\b'; break;
                case 'f': s += '\f'; break;
                case 'n': s += '\n'; break;
                case 'r': s += '\r'; break;
                case 't': s += '\t'; break;
                case 'u': {
                    std::uint32_t cp = 0;
                    if (!hex4(cp)) {
                        fail("a bad \\u escape");
                        return std::nullopt;
                    }
                    if (cp >= 0xD800 && cp < 0xDC00) {
                        std::uint32_t low = 0;
                        if (!takeWord("\\u") || !hex4(low) || low < 0xDC00 || low > 0xDFFF) {
                            fail("an unpaired surrogate");
                            return std::nullopt;
                        }
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                        fail("an unpaired surrogate");
                        return std::nullopt;
                    }
                    appendUtf8(s, cp);
                    break;
                }
                default:
                    --pos_;
                    fail("a bad escape");
                    return std::nullopt;
            }
        }
        fail("an unterminated string");
        return std::nullopt;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string error_;
};

}  // namespace

std::optional<Json> Json::Parse(std::string_view text, std::string& error) { return Reader(text).document(error); }

}  // namespace halvern::cli
