// Byte buffers as lowercase hex, the way halvernctl and the virtual mouse's log print
// them, so that tests can state expected reports as readable literals.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace halvern::test {

inline std::string Hex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    for (std::uint8_t b : bytes) {
        s += kDigits[b >> 4];
        s += kDigits[b & 0xF];
    }
    return s;
}

// Spaces in the literal are for the reader and are skipped.
inline std::vector<std::uint8_t> FromHex(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    auto digit = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        bytes.push_back(static_cast<std::uint8_t>(digit(text[i]) * 16 + digit(text[i + 1])));
        i += 2;
    }
    return bytes;
}

// A hex literal written with spaces for the reader, as one line without them.
inline std::string Unspaced(std::string_view spacedHex) {
    std::string s;
    for (char c : spacedHex)
        if (c != ' ') s += c;
    return s;
}

}  // namespace halvern::test
