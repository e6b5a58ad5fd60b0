#include "ui/macro/KeyCodeTable.h"

#include <algorithm>
#include <cstdio>

#include "platform/KeyboardLayout.h"
#include "storage/Text.h"
#include "ui/macro/LanguageTexts.h"

namespace halvern {

// Virtual key, usage id, scan code; one row per key, in the table's fixed order.
const std::array<KeyCodeRow, kKeyCodeRows> KeyCodeTable = {{
    // rows 0-12: letters A-M
    {0x41, 0x04, 0x1E},
    {0x42, 0x05, 0x30},
    {0x43, 0x06, 0x2E},
    {0x44, 0x07, 0x20},
    {0x45, 0x08, 0x12},
    {0x46, 0x09, 0x21},
    {0x47, 0x0A, 0x22},
    {0x48, 0x0B, 0x23},
    {0x49, 0x0C, 0x17},
    {0x4A, 0x0D, 0x24},
    {0x4B, 0x0E, 0x25},
    {0x4C, 0x0F, 0x26},
    {0x4D, 0x10, 0x32},
    // rows 13-25: letters N-Z
    {0x4E, 0x11, 0x31},
    {0x4F, 0x12, 0x18},
    {0x50, 0x13, 0x19},
    {0x51, 0x14, 0x10},
    {0x52, 0x15, 0x13},
    {0x53, 0x16, 0x1F},
    {0x54, 0x17, 0x14},
    {0x55, 0x18, 0x16},
    {0x56, 0x19, 0x2F},
    {0x57, 0x1A, 0x11},
    {0x58, 0x1B, 0x2D},
    {0x59, 0x1C, 0x15},
    {0x5A, 0x1D, 0x2C},
    // rows 26-35: digits 1-9, 0
    {0x31, 0x1E, 0x02},
    {0x32, 0x1F, 0x03},
    {0x33, 0x20, 0x04},
    {0x34, 0x21, 0x05},
    {0x35, 0x22, 0x06},
    {0x36, 0x23, 0x07},
    {0x37, 0x24, 0x08},
    {0x38, 0x25, 0x09},
    {0x39, 0x26, 0x0A},
    {0x30, 0x27, 0x0B},
    // rows 36-45: Enter Esc Backspace Tab Space - = [ ] backslash
    {0x0D, 0x28, 0x1C},
    {0x1B, 0x29, 0x01},
    {0x08, 0x2A, 0x0E},
    {0x09, 0x2B, 0x0F},
    {0x20, 0x2C, 0x39},
    {0xBD, 0x2D, 0x0C},
    {0xBB, 0x2E, 0x0D},
    {0xDB, 0x2F, 0x1A},
    {0xDD, 0x30, 0x1B},
    {0xDC, 0x31, 0x2B},
    // rows 46-53: ; ' ` , . / (DF) CapsLock
    {0xBA, 0x33, 0x27},
    {0xDE, 0x34, 0x28},
    {0xC0, 0x35, 0x29},
    {0xBC, 0x36, 0x33},
    {0xBE, 0x37, 0x34},
    {0xBF, 0x38, 0x35},
    {0xDF, 0x38, 0x35},
    {0x14, 0x39, 0x3A},
    // rows 54-65: F1-F12
    {0x70, 0x3A, 0x3B},
    {0x71, 0x3B, 0x3C},
    {0x72, 0x3C, 0x3D},
    {0x73, 0x3D, 0x3E},
    {0x74, 0x3E, 0x3F},
    {0x75, 0x3F, 0x40},
    {0x76, 0x40, 0x41},
    {0x77, 0x41, 0x42},
    {0x78, 0x42, 0x43},
    {0x79, 0x43, 0x44},
    {0x7A, 0x44, 0x57},
    {0x7B, 0x45, 0x58},
    // rows 66-78: PrintScr ScrollLock Pause Insert Home PgUp Delete End PgDn Right Left Down Up
    {0x2C, 0x46, 0x00},
    {0x91, 0x47, 0x00},
    {0x13, 0x48, 0x00},
    {0x2D, 0x49, 0x00},
    {0x24, 0x4A, 0x00},
    {0x21, 0x4B, 0x00},
    {0x2E, 0x4C, 0x00},
    {0x23, 0x4D, 0x00},
    {0x22, 0x4E, 0x00},
    {0x27, 0x4F, 0x00},
    {0x25, 0x50, 0x00},
    {0x28, 0x51, 0x00},
    {0x26, 0x52, 0x00},
    // rows 79-96: keypad, Application
    {0x90, 0x53, 0x00},
    {0x6F, 0x54, 0x00},
    {0x6A, 0x55, 0x00},
    {0x6D, 0x56, 0x00},
    {0x6B, 0x57, 0x00},
    {0x6C, 0x58, 0x00},
    {0x61, 0x59, 0x00},
    {0x62, 0x5A, 0x00},
    {0x63, 0x5B, 0x00},
    {0x64, 0x5C, 0x00},
    {0x65, 0x5D, 0x00},
    {0x67, 0x5F, 0x00},
    {0x66, 0x5E, 0x00},
    {0x68, 0x60, 0x00},
    {0x69, 0x61, 0x00},
    {0x60, 0x62, 0x00},
    {0x6E, 0x63, 0x00},
    {0x5D, 0x65, 0x00},
    // rows 97-104: LCtrl LShift LAlt LWin RCtrl RShift RAlt RWin
    {0xA2, 0xE0, 0x00},
    {0xA0, 0xE1, 0x00},
    {0xA4, 0xE2, 0x00},
    {0x5B, 0xE3, 0x00},
    {0xA3, 0xE4, 0x00},
    {0xA1, 0xE5, 0x00},
    {0xA5, 0xE6, 0x00},
    {0x5C, 0xE7, 0x00},
    // rows 105-111: input-mode keys; F1..F4 double as mouse button codes
    {0xF0, 0xF0, 0x00},
    {0xF1, 0xF1, 0x00},
    {0xF2, 0xF2, 0x00},
    {0xF3, 0xF3, 0x00},
    {0xF4, 0xF4, 0x00},
    {0xF7, 0xF7, 0x00},
    {0xF8, 0xF8, 0x00},
}};

namespace {

constexpr bool InTypingBlockOrFunctionRow(std::uint32_t usage) { return usage >= 0x04 && usage <= 0x45; }

const KeyCodeRow* FindByVirtualKey(std::uint32_t vk) {
    for (const KeyCodeRow& row : KeyCodeTable)
        if (static_cast<std::uint32_t>(row.virtualKey) == vk) return &row;
    return nullptr;
}

const KeyCodeRow* FindByUsage(std::uint32_t usage) {
    for (const KeyCodeRow& row : KeyCodeTable)
        if (static_cast<std::uint32_t>(row.usageId) == usage) return &row;
    return nullptr;
}

// Scan code 0 means "no physical key"; it must not match the rows that carry 0.
const KeyCodeRow* FindByScanCode(std::uint32_t scanCode) {
    if (scanCode == 0) return nullptr;
    for (const KeyCodeRow& row : KeyCodeTable)
        if (static_cast<std::uint32_t>(row.scanCode) == scanCode) return &row;
    return nullptr;
}

struct NamedKey {
    std::uint32_t code;
    const char* textKey;
};

// Usages whose names do not depend on the layout.
constexpr NamedKey kUsageNames[] = {
    {0x3A, "key_F1"}, {0x3B, "key_F2"}, {0x3C, "key_F3"}, {0x3D, "key_F4"}, {0x3E, "key_F5"},
    {0x3F, "key_F6"}, {0x40, "key_F7"}, {0x41, "key_F8"}, {0x42, "key_F9"}, {0x43, "key_F10"},
    {0x44, "key_F11"}, {0x45, "key_F12"},
    {0x46, "key_Print Scr"}, {0x47, "key_Scroll Lock"}, {0x48, "key_Pause"}, {0x49, "key_Insert"},
    {0x4A, "key_Home"}, {0x4B, "key_Page Up"}, {0x4C, "key_Delete"}, {0x4D, "key_End"},
    {0x4E, "key_Page Down"}, {0x4F, "key_Right"}, {0x50, "key_Left"}, {0x51, "key_Down"}, {0x52, "key_Up"},
    {0x53, "key_Num Lock"}, {0x54, "key_Num_/"}, {0x55, "key_Num_*"}, {0x56, "key_Num_-"}, {0x57, "key_Num_+"},
    {0x58, "key_Num_Enter"},
    {0x59, "key_Num_1"}, {0x5A, "key_Num_2"}, {0x5B, "key_Num_3"}, {0x5C, "key_Num_4"}, {0x5D, "key_Num_5"},
    {0x5E, "key_Num_6"}, {0x5F, "key_Num_7"}, {0x60, "key_Num_8"}, {0x61, "key_Num_9"},
    {0x62, "key_Num_0"}, {0x63, "key_Num_."}, {0x64, "key_\\"}, {0x65, "key_APP"},
    {0x82, "Sleep"}, {0x88, "Kana/Roma"}, {0xDD, "`"},
    {0xE0, "key_LCtrl"}, {0xE1, "key_LShift"}, {0xE2, "key_LAlt"}, {0xE3, "key_LWin"},
    {0xE4, "key_RCtrl"}, {0xE5, "key_RShift"}, {0xE6, "key_RAlt"}, {0xE7, "key_RWin"},
    {0xF1, "L_Button"}, {0xF2, "R_Button"}, {0xF3, "M_Button"}, {0xF4, "Backward_Button"}, {0xF5, "Forward_Button"},
};

// Virtual keys whose names do not depend on the layout.
constexpr NamedKey kVirtualKeyNames[] = {
    {0x08, "key_BackSpace"}, {0x09, "key_Tab"}, {0x0D, "key_Enter"},
    {0x10, "key_LShift"}, {0xA0, "key_LShift"}, {0xA1, "key_RShift"},
    {0x11, "key_LCtrl"}, {0xA2, "key_LCtrl"}, {0xA3, "key_RCtrl"},
    {0x12, "key_LAlt"}, {0xA4, "key_LAlt"}, {0xA5, "key_RAlt"},
    {0x13, "key_Pause"}, {0x14, "key_Caplk"}, {0xF0, "key_Caplk"}, {0x1B, "key_Esc"}, {0x20, "key_Space"},
    {0x21, "key_Page Up"}, {0x22, "key_Page Down"}, {0x23, "key_End"}, {0x24, "key_Home"},
    {0x25, "key_Left"}, {0x26, "key_Up"}, {0x27, "key_Right"}, {0x28, "key_Down"},
    {0x2A, "key_Print Scr"}, {0x2C, "key_Print Scr"}, {0x2D, "key_Insert"}, {0x2E, "key_Delete"},
    {0x5B, "key_LWin"}, {0x5C, "key_RWin"}, {0x5D, "key_APP"},
    {0x60, "key_Num_0"}, {0x61, "key_Num_1"}, {0x62, "key_Num_2"}, {0x63, "key_Num_3"}, {0x64, "key_Num_4"},
    {0x65, "key_Num_5"}, {0x66, "key_Num_6"}, {0x67, "key_Num_7"}, {0x68, "key_Num_8"}, {0x69, "key_Num_9"},
    {0x6A, "key_Num_*"}, {0x6B, "key_Num_+"}, {0x6C, "key_Num_Enter"}, {0x6D, "key_Num_-"}, {0x6E, "key_Num_."},
    {0x6F, "key_Num_/"},
    {0x70, "key_F1"}, {0x71, "key_F2"}, {0x72, "key_F3"}, {0x73, "key_F4"}, {0x74, "key_F5"}, {0x75, "key_F6"},
    {0x76, "key_F7"}, {0x77, "key_F8"}, {0x78, "key_F9"}, {0x79, "key_F10"}, {0x7A, "key_F11"}, {0x7B, "key_F12"},
    {0x90, "key_Num Lock"}, {0x91, "key_Scroll Lock"},
};

template <std::size_t N>
const char* FindTextKey(const NamedKey (&list)[N], std::uint32_t code) {
    for (const NamedKey& k : list)
        if (k.code == code) return k.textKey;
    return nullptr;
}

bool NamedByLayout(std::uint32_t usage) { return (usage >= 0x04 && usage <= 0x39) || (usage >= 0xE8 && usage <= 0xEF); }

}  // namespace

UsageLookup VirtualKeyToUsage(std::int32_t virtualKey, const KeyboardLayout& layout) {
    const KeyCodeRow* row = FindByVirtualKey(static_cast<std::uint32_t>(virtualKey));
    if (!row) return {};
    auto usage = static_cast<std::uint32_t>(row->usageId);
    if (!InTypingBlockOrFunctionRow(usage)) return {true, usage};
    // The stored usage is that of the physical key the layout puts this virtual key on.
    const KeyCodeRow* physical = FindByScanCode(layout.virtualKeyToScanCode(static_cast<std::uint32_t>(virtualKey)));
    return {true, physical ? static_cast<std::uint32_t>(physical->usageId) : usage};
}

std::u16string UsageToKeyName(std::uint32_t usage, const KeyboardLayout& layout, const LanguageTexts& texts) {
    std::u16string name;
    if (NamedByLayout(usage)) {
        std::uint32_t vk = 0;
        if (const KeyCodeRow* row = FindByUsage(usage)) {
            vk = InTypingBlockOrFunctionRow(usage) ? layout.scanCodeToVirtualKey(static_cast<std::uint32_t>(row->scanCode))
                                                   : static_cast<std::uint32_t>(row->virtualKey);
        }
        name = VirtualKeyToKeyName(vk, layout, texts);
    } else if (const char* key = FindTextKey(kUsageNames, usage)) {
        name = texts.text(key);
    }
    return name;
}

std::u16string VirtualKeyToKeyName(std::uint32_t virtualKey, const KeyboardLayout& layout, const LanguageTexts& texts) {
    if (const char* key = FindTextKey(kVirtualKeyNames, virtualKey)) return texts.text(key);
    if (virtualKey == 0) return {};
    return ToUpper(layout.characterOf(virtualKey));
}

DigitsOnly KeepDigitsOnly(std::u16string_view text) {
    DigitsOnly out;
    out.text.reserve(text.size());
    for (char16_t c : text) {
        if (c >= u'0' && c <= u'9') out.text.push_back(c);
        else out.changed = true;
    }
    out.caret = out.text.size();
    return out;
}

}  // namespace halvern
