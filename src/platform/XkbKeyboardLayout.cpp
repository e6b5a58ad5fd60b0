#include "platform/XkbKeyboardLayout.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <vector>

#include "keys/UsKeyboardLayout.h"
#include "keys/KeyCodeTable.h"

namespace halvern {

struct XkbKeyboardLayout::Keymap {
    xkb_context* context = nullptr;
    xkb_keymap* keymap = nullptr;
    ~Keymap() {
        if (keymap) xkb_keymap_unref(keymap);
        if (context) xkb_context_unref(context);
    }
};

namespace {

// evdev key codes equal set-1 make codes for the keys of the table; xkb adds 8.
constexpr xkb_keycode_t kEvdevOffset = 8;

bool IsCharacterVirtualKey(std::uint32_t vk) {
    return (vk >= 0x30 && vk <= 0x39) || (vk >= 0x41 && vk <= 0x5A) || (vk >= 0xBA && vk <= 0xC0) ||
           (vk >= 0xDB && vk <= 0xDF);
}

// The punctuation virtual keys, in the order they are handed to keys that type
// something the US layout has no key for.
constexpr std::uint8_t kPunctuationPool[] = {0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0,
                                             0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xE2};

std::uint32_t PunctuationVirtualKey(char32_t c) {
    switch (c) {
        case ';': return 0xBA;
        case '=': return 0xBB;
        case ',': return 0xBC;
        case '-': return 0xBD;
        case '.': return 0xBE;
        case '/': return 0xBF;
        case '`': return 0xC0;
        case '[': return 0xDB;
        case '\\': return 0xDC;
        case ']': return 0xDD;
        case '\'': return 0xDE;
        default: return 0;
    }
}

// Dead keys type nothing on their own; their name is the spacing form of the accent.
char32_t SpacingFormOfDeadKey(xkb_keysym_t sym) {
    switch (sym) {
        case XKB_KEY_dead_grave: return U'`';
        case XKB_KEY_dead_acute: return U'\u00B4';
        case XKB_KEY_dead_circumflex: return U'^';
        case XKB_KEY_dead_tilde: return U'~';
        case XKB_KEY_dead_macron: return U'\u00AF';
        case XKB_KEY_dead_breve: return U'\u02D8';
        case XKB_KEY_dead_abovedot: return U'\u02D9';
        case XKB_KEY_dead_diaeresis: return U'\u00A8';
        case XKB_KEY_dead_abovering: return U'\u02DA';
        case XKB_KEY_dead_doubleacute: return U'\u02DD';
        case XKB_KEY_dead_caron: return U'\u02C7';
        case XKB_KEY_dead_cedilla: return U'\u00B8';
        case XKB_KEY_dead_ogonek: return U'\u02DB';
        default: return 0;
    }
}

std::string FirstOf(const std::string& list) { return list.substr(0, list.find(',')); }

// XKBLAYOUT and XKBVARIANT of the system keyboard settings.
void ReadSystemKeyboard(std::string& layout, std::string& variant) {
    std::ifstream in("/etc/default/keyboard");
    std::string line;
    auto valueOf = [](const std::string& l, const std::string& key) -> std::optional<std::string> {
        if (l.rfind(key + "=", 0) != 0) return std::nullopt;
        std::string v = l.substr(key.size() + 1);
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        return v;
    };
    while (std::getline(in, line)) {
        if (auto v = valueOf(line, "XKBLAYOUT")) layout = *v;
        if (auto v = valueOf(line, "XKBVARIANT")) variant = *v;
    }
}

}  // namespace

XkbKeyboardLayout::XkbKeyboardLayout(const std::string& layout, const std::string& variant)
    : keymap_(std::make_unique<Keymap>()), layout_(layout) {
    keymap_->context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (keymap_->context) {
        xkb_rule_names names{};
        names.rules = "evdev";
        names.model = "pc105";
        names.layout = layout.c_str();
        names.variant = variant.empty() ? nullptr : variant.c_str();
        keymap_->keymap = xkb_keymap_new_from_names(keymap_->context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    ok_ = keymap_->keymap != nullptr;
    buildVirtualKeyMap();
}

XkbKeyboardLayout::~XkbKeyboardLayout() = default;

std::unique_ptr<XkbKeyboardLayout> XkbKeyboardLayout::FromEnvironment() {
    std::string layout, variant;
    if (const char* env = std::getenv("XKB_DEFAULT_LAYOUT"); env && *env) {
        layout = env;
        if (const char* v = std::getenv("XKB_DEFAULT_VARIANT")) variant = v;
    } else {
        ReadSystemKeyboard(layout, variant);
    }
    layout = FirstOf(layout);
    variant = FirstOf(variant);
    if (layout.empty()) layout = "us";
    auto result = std::make_unique<XkbKeyboardLayout>(layout, variant);
    if (!result->ok() && layout != "us") result = std::make_unique<XkbKeyboardLayout>("us");
    return result;
}

void XkbKeyboardLayout::buildVirtualKeyMap() {
    UsKeyboardLayout us;
    std::vector<std::uint32_t> characterKeys;
    std::array<bool, 256> taken{};
    auto assign = [&](std::uint32_t scan, std::uint32_t vk) {
        vkOfScan_[scan] = static_cast<std::uint8_t>(vk);
        if (!scanOfVk_[vk]) scanOfVk_[vk] = static_cast<std::uint8_t>(scan);
        taken[vk] = true;
    };
    for (const KeyCodeRow& row : KeyCodeTable) {
        auto scan = static_cast<std::uint32_t>(row.scanCode);
        if (scan == 0 || vkOfScan_[scan] ||
            std::find(characterKeys.begin(), characterKeys.end(), scan) != characterKeys.end())
            continue;
        std::uint32_t usVk = us.scanCodeToVirtualKey(scan);
        if (!ok_ || !IsCharacterVirtualKey(usVk)) assign(scan, usVk);
        else characterKeys.push_back(scan);
    }
    if (!ok_) return;

    auto symAt = [&](std::uint32_t scan, xkb_level_index_t level) -> xkb_keysym_t {
        const xkb_keysym_t* syms = nullptr;
        int n = xkb_keymap_key_get_syms_by_level(keymap_->keymap, scan + kEvdevOffset, 0, level, &syms);
        return n > 0 ? syms[0] : XKB_KEY_NoSymbol;
    };
    auto letterOf = [](xkb_keysym_t s) -> std::uint32_t {
        if (s >= XKB_KEY_a && s <= XKB_KEY_z) return s - XKB_KEY_a + 'A';
        if (s >= XKB_KEY_A && s <= XKB_KEY_Z) return s - XKB_KEY_A + 'A';
        return 0;
    };
    auto digitOf = [](xkb_keysym_t s) -> std::uint32_t { return s >= XKB_KEY_0 && s <= XKB_KEY_9 ? s : 0; };

    // Letters first, then digits, then punctuation, so a key is named by what matters
    // most on it and every virtual key lands on one key only.
    auto pass = [&](auto&& pick) {
        for (std::uint32_t scan : characterKeys) {
            if (vkOfScan_[scan]) continue;
            std::uint32_t vk = pick(scan);
            if (vk && !taken[vk]) assign(scan, vk);
        }
    };
    pass([&](std::uint32_t s) { return letterOf(symAt(s, 0)) ? letterOf(symAt(s, 0)) : letterOf(symAt(s, 1)); });
    pass([&](std::uint32_t s) { return digitOf(symAt(s, 0)) ? digitOf(symAt(s, 0)) : digitOf(symAt(s, 1)); });
    pass([&](std::uint32_t s) { return PunctuationVirtualKey(xkb_keysym_to_utf32(symAt(s, 0))); });
    pass([&](std::uint32_t s) {
        // Keys of non-Latin scripts keep their US codes, as they do on Windows.
        std::uint32_t usVk = us.scanCodeToVirtualKey(s);
        if (!taken[usVk]) return usVk;
        for (std::uint8_t vk : kPunctuationPool)
            if (!taken[vk]) return std::uint32_t{vk};
        return std::uint32_t{0};
    });
}

std::uint32_t XkbKeyboardLayout::virtualKeyToScanCode(std::uint32_t virtualKey) const {
    return virtualKey < scanOfVk_.size() ? scanOfVk_[virtualKey] : 0;
}

std::uint32_t XkbKeyboardLayout::scanCodeToVirtualKey(std::uint32_t scanCode) const {
    return scanCode < vkOfScan_.size() ? vkOfScan_[scanCode] : 0;
}

std::u16string XkbKeyboardLayout::characterOf(std::uint32_t virtualKey) const {
    std::uint32_t scan = virtualKeyToScanCode(virtualKey);
    if (scan == 0) return {};
    if (!ok_) return UsKeyboardLayout().characterOf(virtualKey);
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap_->keymap, scan + kEvdevOffset, 0, 0, &syms) < 1) return {};
    char32_t c = xkb_keysym_to_utf32(syms[0]);
    if (c == 0) c = SpacingFormOfDeadKey(syms[0]);
    if (c < 0x20 || c == 0x7F) return {};
    std::u16string out;
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
    return out;
}

}  // namespace halvern
