// The button section: what each of the 18 key buttons shows of its entry, the menu that
// reassigns buttons 1..12, and the two dialogs behind its "key" and "macro" items.
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>

#include <algorithm>

#include "keys/KeyCodeTable.h"
#include "keys/UsKeyboardLayout.h"
#include "records/ButtonFunctions.h"
#include "ui/dialogs/CMS_1_SelectMacro.h"
#include "ui/kit/Button.h"
#include "ui/kit/LanguageFile.h"
#include "ui/kit/MenuWindow.h"
#include "ui/kit/Skin.h"
#include "ui/kit/SkinWindow.h"
#include "ui/macro/CShortcutWnd.h"
#include "ui/page/CMS_1_Page.h"

Q_DECLARE_LOGGING_CATEGORY(lcPage)

namespace halvern {

namespace {

constexpr const char* kModifierKeys[] = {"keyboard_ctrl_text", "keyboard_shift_text", "keyboard_alt_text",
                                         "keyboard_win_text"};

// Buttons 1..12 can be reassigned; 13..18 only show what they do.
constexpr int kAssignableButtons = 12;
// Buttons 1..16 count when at least one of them must stay a left click.
constexpr int kLeftClickGuardButtons = 16;
// A menu that would reach below the screen opens upwards, ending this far below the
// top of its key button.
constexpr int kMenuOverlap = 25;

// The code a menu item chooses, ignoring case; left click for a name in no row.
std::uint8_t CodeOfMenuItem(const QString& item) {
    for (const ButtonFunctionRow& row : kButtonFunctions) {
        if (row.menuItem.empty()) continue;
        const auto name = QLatin1String(row.menuItem.data(), static_cast<qsizetype>(row.menuItem.size()));
        if (item.compare(name, Qt::CaseInsensitive) == 0) return row.code;
    }
    return ButtonFunction::LeftClick;
}

}  // namespace

QPoint CMS_1_Page::AssignMenuOrigin(const QRect& button, const QSize& menu, const QRect& screen) {
    QPoint at(button.left() + button.width(), button.top());
    if (at.y() + menu.height() > screen.bottom()) at.setY(button.top() + kMenuOverlap - menu.height());
    // Beyond what the rule covers: a menu taller than the screen starts at its top, and
    // one that would leave it on the right opens to the left of the button instead.
    at.setY(std::max(at.y(), screen.top()));
    if (at.x() + menu.width() > screen.right() + 1) at.setX(std::max(screen.left(), button.left() - menu.width()));
    return at;
}

void CMS_1_Page::showButtonAssignment(int n) {
    if (n < 0 || n >= static_cast<int>(keyButtons_.size()) || !current_) return;
    kit::Button* button = keyButtons_[static_cast<std::size_t>(n)];
    if (!button) return;
    const ButtonAssignment& entry = current_->buttons[n];
    if (entry.function == ButtonFunction::KeyCombination) {
        QString shown;
        for (int bit = 0; bit < 4; ++bit)
            if (entry.keyModifiers & (1u << bit)) shown += text(kModifierKeys[bit]) + u'+';
        shown += QString::fromStdU16String(UsageToKeyName(entry.keyUsage, keyboard(), window_->skin().language()));
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

const KeyboardLayout& CMS_1_Page::keyboard() const {
    static const UsKeyboardLayout us;
    return parts_.keyboard ? parts_.keyboard() : us;
}

bool CMS_1_Page::onKeyButtonClick(kit::Control* sender) {
    for (int n = 0; n < static_cast<int>(keyButtons_.size()); ++n) {
        if (!keyButtons_[static_cast<std::size_t>(n)] || sender != keyButtons_[static_cast<std::size_t>(n)]) continue;
        if (n < kAssignableButtons) openAssignMenu(n);
        return true;
    }
    return false;
}

void CMS_1_Page::openAssignMenu(int n) {
    assigningButton_ = n;
    // There is never more than one: the menu of an earlier click goes first.
    assignMenu_.reset();
    QString error;
    assignMenu_ = kit::MenuWindow::Create(window_->skin(), u"MS/MS_1/ms_1_menu.xml"_qs, window_, &error);
    if (!assignMenu_) {
        qCWarning(lcPage).noquote() << "no assignment menu:" << error;
        return;
    }
    const QWidget* button = keyButtons_[static_cast<std::size_t>(n)]->widget();
    const QRect onScreen(button->mapToGlobal(QPoint(0, 0)), button->size());
    const QScreen* screen = QGuiApplication::screenAt(onScreen.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(onScreen.topLeft(), QSize(1 << 15, 1 << 15));
    assignMenu_->popupAt(AssignMenuOrigin(onScreen, assignMenu_->sizeHint(), area));
}

void CMS_1_Page::onMenuItem(const QString& item) {
    if (!current_ || assigningButton_ < 0 || assigningButton_ >= kAssignableButtons) return;
    ButtonAssignment& entry = current_->buttons[assigningButton_];
    const std::uint8_t code = CodeOfMenuItem(item);

    bool leftClickLeft = false;
    for (int b = 0; b < kLeftClickGuardButtons; ++b) {
        const std::uint8_t function = b == assigningButton_ ? code : current_->buttons[b].function;
        leftClickLeft = leftClickLeft || function == ButtonFunction::LeftClick;
    }
    if (!leftClickLeft) {
        askUser("one_click_text");
        return;
    }

    if (code == ButtonFunction::KeyCombination) {
        if (!assignKey(entry)) return;
    } else if (code == ButtonFunction::Macro) {
        if (!assignMacro(entry)) return;
    } else {
        entry.function = code;
    }
    applyNow();
    showButtonAssignment(assigningButton_);
}

bool CMS_1_Page::assignKey(ButtonAssignment& entry) {
    const bool wasKey = entry.function == ButtonFunction::KeyCombination;
    // The modifiers of an earlier combination are offered again; its key only while
    // the button still sends it.
    const Shortcut start{entry.keyModifiers, wasKey ? entry.keyUsage : std::uint8_t{0}};
    CShortcutWnd::Parts parts;
    if (parts_.hooks && parts_.hooks->loaded()) parts.hooks = parts_.hooks->table();
    parts.keyboard = parts_.keyboard;
    const std::optional<Shortcut> chosen = CShortcutWnd::Capture(window_->skin(), window_, start, std::move(parts));
    // Neither a key nor a modifier is no combination: the button stays as it was.
    if (!chosen || (chosen->keyUsage == 0 && chosen->modifiers == 0)) return false;
    entry.assignKey(chosen->keyUsage, chosen->modifiers);
    return true;
}

bool CMS_1_Page::assignMacro(ButtonAssignment& entry) {
    QStringList names;
    for (const auto& macro : macros_.macros()) names << QString::fromStdU16String(macro->nameText());
    MacroChoice start;
    if (entry.function == ButtonFunction::Macro) {
        // The list may have changed since the macro was chosen: its row is found by
        // its name, as the copy is linked to it.
        start.index = macros_.findByName(entry.macroNameText()).position;
        start.repeatMode = entry.macroMode;
        start.loopCount = entry.macroLoopCount;
    }
    const std::optional<MacroChoice> chosen = CMS_1_SelectMacro::Choose(window_->skin(), window_, names, start);
    if (!chosen || chosen->index < 0 || static_cast<std::size_t>(chosen->index) >= macros_.size()) return false;
    entry.assignMacro(macros_.at(static_cast<std::size_t>(chosen->index)), chosen->repeatMode, chosen->loopCount,
                      chosen->index);
    return true;
}

}  // namespace halvern
