// Text helpers for the records' fixed UTF-16 fields and for the names the user sees.
//
// Records keep names as NUL-terminated UTF-16LE in fixed arrays. Everything here is
// pure and Qt-free: the stores, the protocol and halvernctl share it.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace halvern {

// Reads a fixed UTF-16 field up to its first NUL. A field without a terminator yields
// all of its units; callers that need a terminator use FixedTextIsTerminated().
std::u16string ReadFixedText(std::span<const char16_t> field);

// True when the field holds a NUL.
bool FixedTextIsTerminated(std::span<const char16_t> field);

// Writes text into a fixed field: the field is cleared first, then at most
// field.size() - 1 units are copied (cut at a code point boundary) so the terminator
// always fits.
void WriteFixedText(std::span<char16_t> field, std::u16string_view text);

// Cuts text to at most maxUnits UTF-16 units without splitting a surrogate pair.
std::u16string_view CutToUnits(std::u16string_view text, std::size_t maxUnits);

// UTF-8 <-> UTF-16. Invalid input gives nullopt from the strict forms; the lossy form
// replaces unpaired surrogates with U+FFFD (for printing names read from files).
std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

std::u16string AsciiToUtf16(std::string_view ascii);

// A user's text inside a one-line message: in single quotes, with everything that could
// end the line or forge another escaped (C0 and C1 controls, DEL, the line and paragraph
// separators, as \n, \t, \r, \xNN or \u2028), and the quote and the backslash too.
// Bytes that are not UTF-8 show as \xNN.
std::string QuoteForLine(std::string_view utf8);
// Only the controls and the bytes that are not UTF-8 escaped: what keeps a message made
// of quoted parts one line without escaping the parts again.
std::string EscapeControls(std::string_view utf8);

// Case-insensitive equality of names, by Unicode simple case folding of each code
// point (so "PROFILE1" equals "profile1" and "ÉTÉ" equals "été").
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

// Upper-cases text by simple case mapping of each code point.
std::u16string ToUpper(std::u16string_view text);

// The unique-name rule of both lists: when base is free it is returned unchanged
// (cut to maxUnits); otherwise "base_d" with the first d from 1 that is free. The base
// is cut (at a code point boundary) so that base plus suffix fits maxUnits, so the
// result always fits its field and is still unique. `taken` answers whether a name is
// already used (compared without regard to case by the caller's list).
template <typename Taken>
std::u16string MakeUniqueName(std::u16string_view base, std::size_t maxUnits, Taken&& taken);

std::u16string FormatUnique(std::u16string_view base, int number, std::size_t maxUnits);

template <typename Taken>
std::u16string MakeUniqueName(std::u16string_view base, std::size_t maxUnits, Taken&& taken) {
    std::u16string plain(CutToUnits(base, maxUnits));
    if (!taken(std::u16string_view(plain))) return plain;
    for (int d = 1;; ++d) {
        std::u16string candidate = FormatUnique(base, d, maxUnits);
        if (!taken(std::u16string_view(candidate))) return candidate;
    }
}

}  // namespace halvern
