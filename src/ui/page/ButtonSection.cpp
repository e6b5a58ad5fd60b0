#include "ui/page/ButtonSection.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>
#include <QStringList>

#include <algorithm>

#include "device/HookLibrary.h"
#include "keys/KeyCodeTable.h"
#include "records/ButtonFunctions.h"
#include "storage/ProfileRules.h"
#include "ui/dialogs/CMS_1_SelectMacro.h"
#include "ui/kit/Button.h"
#include "ui/kit/LanguageFile.h"
#include "ui/kit/Skin.h"
#include "ui/kit/SkinWindow.h"
#include "ui/macro/CMS_1_Macro.h"
#include "ui/macro/CShortcutWnd.h"

Q_DECLARE_LOGGING_CATEGORY(lcPage)

namespace halvern {

namespace {

constexpr const char* kModifierKeys[] = {"keyboard_ctrl_text", "keyboard_shift_text", "keyboard_alt_text",
                                         "keyboard_win_text"};

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

// The buttons that can play a macro, as the user numbers them: "1, 2, 3, 4, 5, 9, 10".
QString MacroButtonNumbers() {
    QStringList numbers;
    for (std::size_t n = 0; n < kButtonPositions; ++n)
        if (CanPlayMacro(n)) numbers << QString::number(n + 1);
    return numbers.join(u", "_qs);
}

PageEdit Assigned() {
    PageEdit edit = PageEdit::Apply();
    edit.keep = PageEdit::Keep::Soon;
    return edit;
}

}  // namespace

ButtonSection::ButtonSection(PageContext& context) : context_(context) {}
ButtonSection::~ButtonSection() = default;

QPoint ButtonSection::AssignMenuOrigin(const QRect& button, const QSize& menu, const QRect& screen) {
    QPoint at(button.left() + button.width(), button.top());
    if (at.y() + menu.height() > screen.bottom()) at.setY(button.top() + kMenuOverlap - menu.height());
    // Beyond what the rule covers: a menu taller than the screen starts at its top, and
    // one that would leave it on the right opens to the left of the button instead.
    at.setY(std::max(at.y(), screen.top()));
    if (at.x() + menu.width() > screen.right() + 1) at.setX(std::max(screen.left(), button.left() - menu.width()));
    return at;
}

void ButtonSection::bind(SectionBinder& controls) {
    controls.findNumbered(keys_, "ms_1_btn_key_%d");
    macroEditor_ = controls.find<kit::Button>(u"ms_1_btn_macro"_qs);
}

void ButtonSection::refresh(const MouseProfile& profile) {
    for (int n = 0; n < static_cast<int>(keys_.size()); ++n) showAssignment(n, profile);
}

void ButtonSection::showAssignment(int n, const MouseProfile& profile) {
    kit::Button* button = keys_[static_cast<std::size_t>(n)];
    if (!button || !context_.window()) return;
    showFunction(button, static_cast<std::size_t>(n), profile.buttons[n]);
    nameKeyButton(button, n);
}

void ButtonSection::nameKeyButton(kit::Button* button, int n) {
    // The number beside the button is a label of its own, which screen readers do not
    // tie to the button: "Button 4: Forward".
    button->setSpokenName(context_.text("key_button_name_text").arg(n + 1).arg(button->shownText()));
}

void ButtonSection::showFunction(kit::Button* button, std::size_t n, const ButtonAssignment& entry) {
    if (entry.function == ButtonFunction::KeyCombination) {
        QString shown;
        for (int bit = 0; bit < 4; ++bit)
            if (entry.keyModifiers & (1u << bit)) shown += context_.text(kModifierKeys[bit]) + u'+';
        shown += QString::fromStdU16String(
            UsageToKeyName(entry.keyUsage, context_.keyboard(), context_.window()->skin().language()));
        button->setTextKeyMode(false);
        button->setText(shown);
    } else if (entry.function == ButtonFunction::Macro) {
        // A macro on a button without blocks stays as the profile has it (a file may
        // rely on its bytes), but the mouse never gets it: the label says so first, so
        // that it is read even where the name is cut short.
        const QString name = QString::fromStdU16String(entry.macroNameText());
        button->setTextKeyMode(false);
        // A copy from a store older than the bound plays only its beginning: said on the button.
        const bool tooLong = CheckMacro(entry).kind == MacroProblem::Kind::TooLong;
        button->setText((CanPlayMacro(n) ? context_.text("assign_macro_text") + name
                                         : context_.text("assign_macro_unplayed_text").arg(name)) +
                        (tooLong ? u' ' + context_.text("macro_too_long_mark_text") : QString()));
    } else {
        const ButtonFunctionRow* row = FindButtonFunction(entry.function);
        button->setTextKeyMode(true);
        button->setText(row ? QString::fromLatin1(row->textKey.data(), static_cast<qsizetype>(row->textKey.size()))
                            : QString());
    }
}

PageEdit ButtonSection::handle(const kit::Notification& n, MouseProfile& profile) {
    if (n.type != kit::notify::kClick) return {};
    if (n.sender == macroEditor_) return openMacroEditor(profile);
    for (std::size_t b = 0; b < kAssignableButtons; ++b)
        if (keys_[b] && n.sender == keys_[b]) openAssignMenu(static_cast<int>(b));
    return {};
}

void ButtonSection::openAssignMenu(int n) {
    kit::SkinWindow* window = context_.window();
    if (!window) return;
    assigningButton_ = n;
    // There is never more than one: the menu of an earlier click goes first.
    assignMenu_.reset();
    QString error;
    assignMenu_ = kit::MenuWindow::Create(window->skin(), u"MS/MS_1/ms_1_menu.xml"_qs, window, &error);
    if (!assignMenu_) {
        qCWarning(lcPage).noquote() << "no assignment menu:" << error;
        return;
    }
    // "Macro…" only where the mouse has blocks to keep the macro in.
    assignMenu_->setItemEnabled(u"ms_1_select_macro"_qs, CanPlayMacro(static_cast<std::size_t>(n)),
                                context_.text("macro_no_blocks_tip_text").arg(MacroButtonNumbers()));
    const QWidget* button = keys_[static_cast<std::size_t>(n)]->widget();
    const QRect onScreen(button->mapToGlobal(QPoint(0, 0)), button->size());
    const QScreen* screen = QGuiApplication::screenAt(onScreen.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(onScreen.topLeft(), QSize(1 << 15, 1 << 15));
    assignMenu_->popupAt(AssignMenuOrigin(onScreen, assignMenu_->sizeHint(), area));
}

PageEdit ButtonSection::onMenuItem(const QString& item, MouseProfile& profile) {
    if (assigningButton_ < 0 || assigningButton_ >= static_cast<int>(kAssignableButtons)) return {};
    ButtonAssignment& entry = profile.buttons[assigningButton_];
    const std::uint8_t code = CodeOfMenuItem(item);
    if (code == ButtonFunction::Macro && !CanPlayMacro(static_cast<std::size_t>(assigningButton_))) return {};
    if (!LeavesALeftClick(profile, static_cast<std::size_t>(assigningButton_), code)) {
        context_.askUser("one_click_text");
        return {};
    }
    if (code == ButtonFunction::KeyCombination) {
        if (!assignKey(entry)) return {};
    } else if (code == ButtonFunction::Macro) {
        if (!assignMacro(entry)) return {};
    } else {
        entry.function = code;
    }
    showAssignment(assigningButton_, profile);
    return Assigned();
}

bool ButtonSection::assignKey(ButtonAssignment& entry) {
    kit::SkinWindow* window = context_.window();
    const bool wasKey = entry.function == ButtonFunction::KeyCombination;
    // The modifiers of an earlier combination are offered again; its key only while the
    // button still sends it.
    const Shortcut start{entry.keyModifiers, wasKey ? entry.keyUsage : std::uint8_t{0}};
    CShortcutWnd::Parts parts;
    const HookLibrary* hooks = context_.parts().hooks;
    if (hooks && hooks->loaded()) parts.hooks = hooks->table();
    parts.keyboard = context_.parts().keyboard;
    const std::optional<Shortcut> chosen = CShortcutWnd::Capture(window->skin(), window, start, std::move(parts));
    // Neither a key nor a modifier is no combination: the button stays as it was.
    if (!chosen || (chosen->keyUsage == 0 && chosen->modifiers == 0)) return false;
    entry.assignKey(chosen->keyUsage, chosen->modifiers);
    return true;
}

bool ButtonSection::assignMacro(ButtonAssignment& entry) {
    kit::SkinWindow* window = context_.window();
    MacroStore& macros = context_.macros();
    QStringList names;
    for (const auto& macro : macros.macros()) names << QString::fromStdU16String(macro->nameText());
    MacroChoice start;
    if (entry.function == ButtonFunction::Macro) {
        // The list may have changed since the macro was chosen: its row is found by its
        // name, as the copy is linked to it.
        start.index = macros.findByName(entry.macroNameText()).position;
        start.repeatMode = entry.macroMode;
        start.loopCount = entry.macroLoopCount;
    }
    const std::optional<MacroChoice> chosen = CMS_1_SelectMacro::Choose(window->skin(), window, names, start);
    if (!chosen || chosen->index < 0 || static_cast<std::size_t>(chosen->index) >= macros.size()) return false;
    entry.assignMacro(macros.at(static_cast<std::size_t>(chosen->index)), chosen->repeatMode, chosen->loopCount,
                      chosen->index);
    return true;
}

PageEdit ButtonSection::openMacroEditor(const MouseProfile& profile) {
    kit::SkinWindow* window = context_.window();
    if (!window) return {};
    CMS_1_Macro::Parts parts{context_.macros()};
    const HookLibrary* hooks = context_.parts().hooks;
    if (hooks && hooks->loaded()) parts.hooks = hooks->table();
    parts.keyboard = context_.parts().keyboard;
    parts.dataFolder = context_.parts().dataFolder;
    const std::vector<MacroRename> renames = CMS_1_Macro::Run(window->skin(), window, std::move(parts));
    return reconcileMacroCopies(renames, profile);
}

PageEdit ButtonSection::reconcileMacroCopies(const std::vector<MacroRename>& renames, const MouseProfile& current) {
    // Button entries hold copies of their macros, linked by name: the edited list is
    // what they play from now on, and a macro gone under its name frees its buttons.
    ProfileStore& profiles = context_.profiles();
    const std::vector<std::size_t> touched = ResynchroniseProfiles(profiles.profiles(), context_.macros(), renames);
    if (touched.empty()) return {};
    // Profiles other than the current one are never applied: kept now, so none still
    // bears a name the macro list no longer has.
    PageEdit edit;
    edit.keep = PageEdit::Keep::Now;
    const bool currentTouched = std::any_of(touched.begin(), touched.end(),
                                            [&](std::size_t p) { return profiles.profiles()[p].get() == &current; });
    if (currentTouched) {
        refresh(current);
        edit.send = PageEdit::Send::AtOnce;
    }
    return edit;
}

}  // namespace halvern
