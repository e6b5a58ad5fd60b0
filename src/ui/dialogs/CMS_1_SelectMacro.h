// Chooses the macro a mouse button plays and how it repeats: a list of the macro names,
// three repeat options and, for the first of them, how many times (1..255). OK ends it
// with 1; Cancel, the close button, Escape and the window manager with 0 and nothing
// chosen.
#pragma once

#include <QStringList>

#include <array>
#include <optional>

#include "ui/kit/SkinWindow.h"

namespace halvern::kit {
class Button;
class Control;
class Edit;
class List;
class Option;
}  // namespace halvern::kit

namespace halvern {

struct MacroChoice {
    int index = -1;      // row in the macro list, -1 none
    int repeatMode = 0;  // 0: loopCount times; 1 and 2: the mouse's other repeat modes
    int loopCount = 1;   // 1..255

    friend bool operator==(const MacroChoice&, const MacroChoice&) = default;
};

class CMS_1_SelectMacro : public kit::SkinWindow {
public:
    static constexpr int kMinLoopCount = 1;
    static constexpr int kMaxLoopCount = 255;

    // names: the macro list in its order. start: what the button holds now.
    CMS_1_SelectMacro(kit::Skin& skin, QWidget* owner, QStringList names, MacroChoice start);

    QString windowClassName() const override { return u"MS_1_SelectMacro"_qs; }
    QString skinFile() const override { return u"MS/MS_1/selectmacro.xml"_qs; }

    const MacroChoice& choice() const { return choice_; }

    // Opens the dialog modally over `owner`, centred; the choice after OK (its index
    // may still be -1 when no row was chosen), nullopt after Cancel.
    static std::optional<MacroChoice> Choose(kit::Skin& skin, QWidget* owner, const QStringList& names,
                                             MacroChoice start);

    // The count a box's text stands for, within 1..255 (an empty box gives 1).
    static int LoopCountOf(const QString& text);

protected:
    void onInit() override;
    void notify(const kit::Notification& n) override;

private:
    void keepDigits();
    void commitLoopCount();
    void selectRepeatMode(int mode);

    QStringList names_;
    MacroChoice choice_;
    kit::Button* okBtn_ = nullptr;
    kit::Button* cancelBtn_ = nullptr;
    kit::Button* exitBtn_ = nullptr;
    kit::List* list_ = nullptr;
    kit::Control* loopRow_ = nullptr;
    kit::Edit* loopEdit_ = nullptr;
    std::array<kit::Option*, 3> repeatOptions_{};
};

}  // namespace halvern
