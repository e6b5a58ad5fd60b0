// The button section: what each of the 18 key buttons shows of its entry.
#include "keys/KeyCodeTable.h"
#include "keys/UsKeyboardLayout.h"
#include "records/ButtonFunctions.h"
#include "ui/kit/Button.h"
#include "ui/kit/LanguageFile.h"
#include "ui/kit/Skin.h"
#include "ui/kit/SkinWindow.h"
#include "ui/page/CMS_1_Page.h"

namespace halvern {

namespace {

constexpr const char* kModifierKeys[] = {"keyboard_ctrl_text", "keyboard_shift_text", "keyboard_alt_text",
                                         "keyboard_win_text"};

}  // namespace

void CMS_1_Page::showButtonAssignment(int n) {
    if (n < 0 || n >= static_cast<int>(keyButtons_.size()) || !current_) return;
    kit::Button* button = keyButtons_[static_cast<std::size_t>(n)];
    if (!button) return;
    const ButtonAssignment& entry = current_->buttons[n];
    if (entry.function == ButtonFunction::KeyCombination) {
        QString shown;
        for (int bit = 0; bit < 4; ++bit)
            if (entry.keyModifiers & (1u << bit)) shown += text(kModifierKeys[bit]) + u'+';
        static const UsKeyboardLayout us;
        const KeyboardLayout& layout = parts_.keyboard ? parts_.keyboard() : us;
        shown += QString::fromStdU16String(UsageToKeyName(entry.keyUsage, layout, window_->skin().language()));
        button->setTextKeyMode(false);
        button->setText(shown);
    } else if (entry.function == ButtonFunction::Macro) {
        button->setTextKeyMode(false);
        button->setText(text("assign_macro_text") + QString::fromStdU16String(entry.macroNameText()));
    } else {
        const ButtonFunctionRow* row = FindButtonFunction(entry.function);
        button->setTextKeyMode(true);
        button->setText(row ? QString::fromLatin1(row->textKey.data(), static_cast<qsizetype>(row->textKey.size()))
                            : QString());
    }
}

}  // namespace halvern
