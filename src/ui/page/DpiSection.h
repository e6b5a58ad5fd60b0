// The DPI section: eight levels, each a slider, a label, an option (the active level), a
// colour button and a number box. Dragged and typed values wait for an apply ("Apply
// DPI", "Apply" or any change that applies at once); choosing the active level, a colour
// or the reset apply at once. A typed value is taken on Enter and when the box loses the
// focus (the skin layer makes that happen before any other control acts), and the
// slider, the box and the label then show the level the mouse will get.
#pragma once

#include <array>

#include "ui/page/PageContext.h"
#include "ui/page/PageSection.h"

namespace halvern {

namespace kit {
class Button;
class Label;
class Option;
class RichEdit;
class Slider;
}  // namespace kit

class DpiSection final : public PageSection {
public:
    explicit DpiSection(PageContext& context) : context_(context) {}

    void bind(SectionBinder& controls) override;
    void refresh(const MouseProfile& profile) override;
    PageEdit handle(const kit::Notification& n, MouseProfile& profile) override;

    // The option of level 1..8 selected, nothing else (the mouse changed its level).
    void selectLevel(int level);

    // "%d" of a stored level value's DPI.
    static QString DpiText(std::int32_t value);
    // The leading decimal digits of a box's text as a number: an empty box is 0, and a
    // number too long for any DPI saturates instead of overflowing.
    static std::int32_t LeadingNumber(const QString& text);
    // Every level back to the factory table, the second level active.
    static void ResetLevels(MouseProfile& profile);

private:
    struct Level {
        kit::Slider* slider = nullptr;
        kit::Label* label = nullptr;
        kit::Option* option = nullptr;
        kit::Button* color = nullptr;
        kit::RichEdit* edit = nullptr;
        bool unset = false;  // the level has no value (0): the mouse skips it
    };

    // "DPI level 3" and the like, in the language shown.
    void nameControls();
    // The level whose control sent `n`, or -1.
    int levelOf(const kit::Control* sender) const;
    PageEdit handleLevel(const kit::Notification& n, int level, MouseProfile& profile);
    // The level's value everywhere it shows, the sender's own control aside.
    void showValue(int level, std::int32_t value, const kit::Control* except = nullptr);
    void keepDigitsOnly(kit::RichEdit* edit);

    PageContext& context_;
    std::array<Level, kDpiLevels> levels_{};
    kit::Button* apply_ = nullptr;
    kit::Button* reset_ = nullptr;
};

}  // namespace halvern
