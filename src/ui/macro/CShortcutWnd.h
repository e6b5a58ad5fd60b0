// The key combination a mouse button sends: four modifier boxes (Ctrl, Shift, Alt,
// Super) and one key. A click on the key box, or Enter or Space on it, starts the
// capture, and the next key pressed is the key, Enter and Tab included (KeyCaptureBox);
// Escape cancels the capture. The key comes from the hook library as UM_HOOK_EVENT
// posted to this window; where the library cannot watch the desktop (a Wayland session,
// no X display, no library), from the keys the box itself receives. OK ends the dialog
// with 1; Cancel, the close button, Escape outside a capture and the window manager
// with 0. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "device/HookLibrary.h"
#include "ui/kit/SkinWindow.h"

namespace halvern {

class KeyboardLayout;
class KeyCaptureBox;

namespace kit {
class Button;
class CheckBox;
class Edit;
}  // namespace kit

struct Shortcut {
    std::uint8_t modifiers = 0;  // bit 0 Ctrl, 1 Shift, 2 Alt, 3 Super
    std::uint8_t keyUsage = 0;   // keyboard usage id, 0 none

    friend bool operator==(const Shortcut&, const Shortcut&) = default;
};

class CShortcutWnd : public kit::SkinWindow {
public:
    struct Parts {
        HookTable hooks{};  // any entry may be missing
        // The desktop's keyboard layout, for key names and keys; empty: the US layout.
        std::function<const KeyboardLayout&()> keyboard{};
    };

    CShortcutWnd(kit::Skin& skin, QWidget* owner, Shortcut start, Parts parts);
    ~CShortcutWnd() override;

    QString windowClassName() const override { return u"ShortcutWnd"_qs; }
    QString skinFile() const override { return u"shortcut.xml"_qs; }

    const Shortcut& shortcut() const { return shortcut_; }
    // Whether the key box sees the whole desktop's keys (the hook library), or only its own.
    bool globalInput() const { return globalInput_; }

    // Opens the dialog modally over `owner`, centred; the combination after OK (it may
    // be empty), nullopt after Cancel.
    static std::optional<Shortcut> Capture(kit::Skin& skin, QWidget* owner, Shortcut start, Parts parts);

protected:
    void onInit() override;
    void notify(const kit::Notification& n) override;
    bool handleMessage(const kit::Message& m) override;
    void onFinalMessage() override;

private:
    bool installHook();
    void removeHook();
    void onKey(std::uintptr_t virtualKey);
    void showKey();
    const KeyboardLayout& keyboard() const;

    Shortcut shortcut_;
    Parts parts_;
    bool hooked_ = false;
    bool globalInput_ = false;
    std::unique_ptr<KeyCaptureBox> capture_;
    kit::Button* okBtn_ = nullptr;
    kit::Button* cancelBtn_ = nullptr;
    kit::Button* exitBtn_ = nullptr;
    std::array<kit::CheckBox*, 4> modifierChecks_{};
    kit::Edit* keyEdit_ = nullptr;
};

}  // namespace halvern
