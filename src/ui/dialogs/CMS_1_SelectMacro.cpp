#include "ui/dialogs/CMS_1_SelectMacro.h"

#include <algorithm>
#include <utility>

#include "ui/kit/Button.h"
#include "ui/kit/DigitsOnly.h"
#include "ui/kit/Edit.h"
#include "ui/kit/List.h"

namespace halvern {

namespace {

constexpr int kRowHeight = 22;

}  // namespace

CMS_1_SelectMacro::CMS_1_SelectMacro(kit::Skin& skin, QWidget* owner, QStringList names, MacroChoice start)
    : kit::SkinWindow(skin, owner), names_(std::move(names)), choice_(start) {
    setCloseOnEscape(true);
}

std::optional<MacroChoice> CMS_1_SelectMacro::Choose(kit::Skin& skin, QWidget* owner, const QStringList& names,
                                                     MacroChoice start) {
    CMS_1_SelectMacro dialog(skin, owner, names, start);
    dialog.setTitleKey(u"select_macro_title_text"_qs);
    dialog.create(kit::WindowKind::Dialog);
    dialog.centerWindow();
    if (dialog.showModal() != 1) return std::nullopt;
    return dialog.choice();
}

int CMS_1_SelectMacro::LoopCountOf(const QString& text) {
    // Digits only by now; more of them than fit an int is more than the maximum too.
    qsizetype digits = 0;
    while (digits < text.size() && text[digits].isDigit()) ++digits;
    const QStringView number = QStringView(text).left(digits);
    if (number.isEmpty()) return kMinLoopCount;
    bool ok = false;
    const long long n = number.toLongLong(&ok);
    if (!ok) return kMaxLoopCount;
    return static_cast<int>(std::clamp<long long>(n, kMinLoopCount, kMaxLoopCount));
}

void CMS_1_SelectMacro::onInit() {
    okBtn_ = find<kit::Button>(u"btn_ok"_qs);
    cancelBtn_ = find<kit::Button>(u"btn_cancel"_qs);
    exitBtn_ = find<kit::Button>(u"btn_exit"_qs);
    list_ = find<kit::List>(u"list_macro"_qs);
    loopRow_ = findControl(u"hor_loop_time"_qs);
    loopEdit_ = find<kit::Edit>(u"edit_loop_time"_qs);
    for (std::size_t i = 0; i < repeatOptions_.size(); ++i)
        repeatOptions_[i] = find<kit::Option>(u"repeat_%1"_qs.arg(i + 1));

    // A count the button held outside the range is shown, and returned, within it.
    choice_.loopCount = std::clamp(choice_.loopCount, kMinLoopCount, kMaxLoopCount);
    if (choice_.index >= static_cast<int>(names_.size())) choice_.index = -1;
    if (list_) {
        for (const QString& name : names_) list_->addLabelRow(name, kRowHeight);
        list_->selectRow(choice_.index, kit::Notify::No);
    }
    selectRepeatMode(std::clamp(choice_.repeatMode, 0, static_cast<int>(repeatOptions_.size()) - 1));
    if (loopEdit_) loopEdit_->setText(QString::number(choice_.loopCount), kit::Notify::No);
    if (loopRow_) loopRow_->widget()->setVisible(choice_.repeatMode == 0);
}

void CMS_1_SelectMacro::selectRepeatMode(int mode) {
    kit::Option* option = repeatOptions_[static_cast<std::size_t>(mode)];
    if (option) option->setSelected(true, kit::Notify::Yes);
    else choice_.repeatMode = mode;
}

void CMS_1_SelectMacro::keepDigits() {
    const DigitsOnly digits = KeepDigitsOnly(loopEdit_->QLineEdit::text().toStdU16String());
    QString text = QString::fromStdU16String(digits.text);
    // Past the maximum the box says so at once instead of when it is left.
    const bool over = !text.isEmpty() && LoopCountOf(text) == kMaxLoopCount && text != QString::number(kMaxLoopCount);
    if (over) text = QString::number(kMaxLoopCount);
    if (!digits.changed && !over) return;
    loopEdit_->setText(text, kit::Notify::No);
    loopEdit_->setCursorPosition(over ? static_cast<int>(text.size()) : static_cast<int>(digits.caret));
}

void CMS_1_SelectMacro::commitLoopCount() {
    if (!loopEdit_) return;
    choice_.loopCount = LoopCountOf(loopEdit_->QLineEdit::text());
    loopEdit_->setText(QString::number(choice_.loopCount), kit::Notify::No);
}

void CMS_1_SelectMacro::notify(const kit::Notification& n) {
    using namespace kit::notify;
    if (!n.sender) return;
    if (n.type == kClick) {
        if (n.sender == okBtn_) {
            // OK pressed while the box still has the focus takes what it shows.
            commitLoopCount();
            closeWindow(1);
        } else if (n.sender == cancelBtn_ || n.sender == exitBtn_) {
            closeWindow(0);
        }
    } else if (n.type == kItemSelect && n.sender == list_) {
        choice_.index = static_cast<int>(n.wParam);
    } else if (n.type == kSelectChanged && n.wParam != 0) {
        for (std::size_t i = 0; i < repeatOptions_.size(); ++i) {
            if (!repeatOptions_[i] || n.sender != repeatOptions_[i]) continue;
            choice_.repeatMode = static_cast<int>(i);
            if (loopRow_) loopRow_->widget()->setVisible(i == 0);
        }
    } else if (n.type == kTextChanged && n.sender == loopEdit_) {
        keepDigits();
    } else if ((n.type == kKillFocus || n.type == kReturn) && n.sender == loopEdit_) {
        commitLoopCount();
    }
}

}  // namespace halvern
