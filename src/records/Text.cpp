#include "records/Text.h"

#include <algorithm>
#include <clocale>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

namespace halvern {

namespace {

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Decodes one code point at text[i], advancing i; unpaired surrogates come back as
// themselves so comparisons stay exact for them.
char32_t NextCodePoint(std::u16string_view text, std::size_t& i) {
    char32_t u = text[i++];
    if (IsHighSurrogate(u) && i < text.size() && IsLowSurrogate(text[i])) {
        char32_t low = text[i++];
        return 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
    }
    return u;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Case mapping needs Unicode tables; glibc's built-in C.UTF-8 locale has them without
// touching the process-wide locale. Without it only ASCII is mapped.
locale_t UnicodeLocale() {
    static const locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return loc;
}

char32_t FoldLower(char32_t cp) {
    if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    if (locale_t loc = UnicodeLocale()) return static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), loc));
    return cp;
}

char32_t FoldUpper(char32_t cp) {
    if (cp < 0x80) return (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
    if (locale_t loc = UnicodeLocale()) return static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), loc));
    return cp;
}

}  // namespace

std::u16string ReadFixedText(std::span<const char16_t> field) {
    auto end = std::find(field.begin(), field.end(), u'\0');
    return std::u16string(field.begin(), end);
}

bool FixedTextIsTerminated(std::span<const char16_t> field) {
    return std::find(field.begin(), field.end(), u'\0') != field.end();
}

std::u16string_view CutToUnits(std::u16string_view text, std::size_t maxUnits) {
    if (text.size() <= maxUnits) return text;
    std::size_t n = maxUnits;
    if (n > 0 && IsHighSurrogate(text[n - 1]) && IsLowSurrogate(text[n])) --n;
    return text.substr(0, n);
}

void WriteFixedText(std::span<char16_t> field, std::u16string_view text) {
    std::fill(field.begin(), field.end(), u'\0');
    if (field.empty()) return;
    std::u16string_view cut = CutToUnits(text, field.size() - 1);
    // A NUL inside the text would end the name early; keep only what precedes it.
    cut = cut.substr(0, std::min(cut.size(), cut.find(u'\0')));
    std::copy(cut.begin(), cut.end(), field.begin());
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        int extra;
        // clang-format off
        if (c < 0x80) { cp = c; extra = 0; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
        else return std::nullopt;
        // clang-format on
        if (i + static_cast<std::size_t>(extra) >= s.size()) return std::nullopt;
        for (int k = 1; k <= extra; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((cc & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr char32_t kMinForLength[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMinForLength[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
        AppendUtf16(out, cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp = NextCodePoint(text, i);
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string AsciiToUtf16(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (FoldLower(NextCodePoint(a, i)) != FoldLower(NextCodePoint(b, j))) return false;
    }
    return i == a.size() && j == b.size();
}

std::u16string ToUpper(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) AppendUtf16(out, FoldUpper(NextCodePoint(text, i)));
    return out;
}

std::u16string FormatUnique(std::u16string_view base, int number, std::size_t maxUnits) {
    std::u16string suffix = u"_" + AsciiToUtf16(std::to_string(number));
    std::size_t room = maxUnits > suffix.size() ? maxUnits - suffix.size() : 0;
    std::u16string out(CutToUnits(base, room));
    return out + suffix;
}

namespace {

// Appends one escape: \n, \t, \r by name, other bytes as \xNN, code points as \uNNNN.
void AppendEscape(std::string& out, char32_t c, bool codePoint) {
    static constexpr char kHex[] = "0123456789abcdef";
    switch (c) {
        case U'\n': out += "\\n"; return;
        case U'\t': out += "\\t"; return;
        case U'\r': out += "\\r"; return;
        default: break;
    }
    if (codePoint) {
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
    } else {
        out += "\\x";
        out += kHex[(c >> 4) & 0xF];
        out += kHex[c & 0xF];
    }
}

// The length of the UTF-8 sequence at s[i] and its code point; 0 when it is not one.
std::size_t Utf8At(std::string_view s, std::size_t i, char32_t& cp) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    std::size_t extra;
    // clang-format off
    if (c < 0x80) { cp = c; return 1; }
    if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
    else return 0;
    // clang-format on
    if (i + extra >= s.size()) return 0;
    for (std::size_t k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    static constexpr char32_t kMinForLength[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinForLength[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return extra + 1;
}

// The escapes of QuoteForLine, the quote and the backslash only when `quoting`.
std::string Escaped(std::string_view s, bool quoting) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp = 0;
        const std::size_t n = Utf8At(s, i, cp);
        if (n == 0) {
            AppendEscape(out, static_cast<unsigned char>(s[i]), false);
            ++i;
            continue;
        }
        if (cp < 0x20 || cp == 0x7F) AppendEscape(out, cp, false);
        else if ((cp >= 0x80 && cp < 0xA0) || cp == 0x2028 || cp == 0x2029) AppendEscape(out, cp, true);
        else if (quoting && (cp == U'\\' || cp == U'\'')) (out += '\\') += static_cast<char>(cp);
        else out.append(s.substr(i, n));
        i += n;
    }
    return out;
}

}  // namespace

std::string QuoteForLine(std::string_view utf8) { return "'" + Escaped(utf8, true) + "'"; }

std::string EscapeControls(std::string_view utf8) { return Escaped(utf8, false); }

}  // namespace halvern
