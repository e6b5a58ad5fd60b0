#include "keys/UsKeyboardLayout.h"

#include "keys/KeyCodeTable.h"

namespace halvern {

namespace {

// Unshifted characters of the US punctuation keys, by virtual key.
constexpr struct {
    std::uint32_t virtualKey;
    char16_t character;
} kUsPunctuation[] = {
    {0xBA, u';'}, {0xBB, u'='}, {0xBC, u','},  {0xBD, u'-'}, {0xBE, u'.'},  {0xBF, u'/'},
    {0xC0, u'`'}, {0xDB, u'['}, {0xDC, u'\\'}, {0xDD, u']'}, {0xDE, u'\''},
};

}  // namespace

std::uint32_t UsKeyboardLayout::virtualKeyToScanCode(std::uint32_t virtualKey) const {
    const KeyCodeRow* row = FindByVirtualKey(virtualKey);
    return row ? static_cast<std::uint32_t>(row->scanCode) : 0;
}

std::uint32_t UsKeyboardLayout::scanCodeToVirtualKey(std::uint32_t scanCode) const {
    const KeyCodeRow* row = FindByScanCode(scanCode);
    return row ? static_cast<std::uint32_t>(row->virtualKey) : 0;
}

std::u16string UsKeyboardLayout::characterOf(std::uint32_t virtualKey) const {
    if (virtualKey >= 'A' && virtualKey <= 'Z') return std::u16string(1, static_cast<char16_t>(virtualKey + 32));
    if (virtualKey >= '0' && virtualKey <= '9') return std::u16string(1, static_cast<char16_t>(virtualKey));
    if (virtualKey == 0x20) return u" ";
    for (const auto& p : kUsPunctuation)
        if (p.virtualKey == virtualKey) return std::u16string(1, p.character);
    return {};
}

}  // namespace halvern
