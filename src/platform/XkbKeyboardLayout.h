// The active keyboard layout through xkbcommon. Virtual keys are derived from the
// keymap the way Windows assigns them: a key that types a Latin letter gets that
// letter's code, a key with a digit on its first two levels gets the digit's code, the
// other character keys get the punctuation codes, and keys that type no character
// (Enter, the function row) keep their fixed codes.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "keys/KeyboardLayout.h"

namespace halvern {

class XkbKeyboardLayout final : public KeyboardLayout {
public:
    // Compiles the keymap of the named layout ("fr", "de", variant optional). When it
    // cannot be compiled the layout behaves as US; ok() tells which.
    XkbKeyboardLayout(const std::string& layout, const std::string& variant = {});
    ~XkbKeyboardLayout() override;

    // The active layout: XKB_DEFAULT_LAYOUT (and _VARIANT), else XKBLAYOUT of
    // /etc/default/keyboard, else "us". Only the first of several layouts is used.
    static std::unique_ptr<XkbKeyboardLayout> FromEnvironment();

    bool ok() const { return ok_; }
    const std::string& layoutName() const { return layout_; }

    std::uint32_t virtualKeyToScanCode(std::uint32_t virtualKey) const override;
    std::uint32_t scanCodeToVirtualKey(std::uint32_t scanCode) const override;
    std::u16string characterOf(std::uint32_t virtualKey) const override;

private:
    void buildVirtualKeyMap();

    struct Keymap;
    std::unique_ptr<Keymap> keymap_;
    std::string layout_;
    bool ok_ = false;
    std::array<std::uint8_t, 256> vkOfScan_{};  // scan code -> virtual key
    std::array<std::uint8_t, 256> scanOfVk_{};  // virtual key -> scan code
};

}  // namespace halvern
