// What every section of the page may use: the window and its skin once bound, the
// stores, the parts the page was given, and the few dialogs any section may open. It
// holds no state of its own beyond the window.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

#include "storage/MacroStore.h"
#include "storage/ProfileStore.h"
#include "ui/page/PageParts.h"

namespace halvern {

namespace kit {
class Button;
class SkinWindow;
}  // namespace kit

class KeyboardLayout;

class PageContext {
public:
    PageContext(PageParts& parts, ProfileStore& profiles, MacroStore& macros)
        : parts_(parts), profiles_(profiles), macros_(macros) {}

    void setWindow(kit::SkinWindow* window) { window_ = window; }
    kit::SkinWindow* window() const { return window_; }
    const PageParts& parts() const { return parts_; }
    ProfileStore& profiles() const { return profiles_; }
    MacroStore& macros() const { return macros_; }

    // The text of a language key in the language shown.
    QString text(const char* key) const;
    // A number as the language shown writes it, with `decimals` places.
    QString number(double value, int decimals = 0) const;
    // The message box with the warning title, `args` filling the message's %1 and %2;
    // its result (1: OK), 0 without a window.
    int askUser(const char* messageKey, const QStringList& args = {}) const;
    // The colour picker under `button` (its top-left corner 200 pixels to the left of
    // the button's, just below it), started from `argb`; nullopt when cancelled.
    std::optional<std::uint32_t> pickColorUnder(kit::Button* button, std::uint32_t argb) const;
    // The desktop's keyboard layout, else the US layout.
    const KeyboardLayout& keyboard() const;

private:
    PageParts& parts_;
    ProfileStore& profiles_;
    MacroStore& macros_;
    kit::SkinWindow* window_ = nullptr;
};

}  // namespace halvern
