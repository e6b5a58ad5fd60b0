#include "ui/dialogs/CMS_1_ProfileName.h"

#include <utility>

#include "ui/dialogs/CMsgWnd.h"
#include "ui/kit/Button.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Label.h"

namespace halvern {

namespace {

// The profile record's name field: 99 UTF-16 units and the terminator.
constexpr int kMaxNameUnits = 99;

}  // namespace

CMS_1_ProfileName::CMS_1_ProfileName(kit::Skin& skin, QWidget* owner, QString titleKey, NameTaken nameTaken)
    : kit::SkinWindow(skin, owner), titleKey_(std::move(titleKey)), nameTaken_(std::move(nameTaken)) {
    setCloseOnEscape(true);
}

std::optional<QString> CMS_1_ProfileName::Ask(kit::Skin& skin, QWidget* owner, const QString& titleKey,
                                              NameTaken nameTaken) {
    CMS_1_ProfileName dialog(skin, owner, titleKey, std::move(nameTaken));
    dialog.setTitleKey(titleKey);
    dialog.create(kit::WindowKind::Dialog);
    dialog.centerWindow();
    if (dialog.showModal() != 1) return std::nullopt;
    return dialog.name();
}

void CMS_1_ProfileName::onInit() {
    okBtn_ = find<kit::Button>(u"btn_ok"_qs);
    cancelBtn_ = find<kit::Button>(u"btn_cancel"_qs);
    exitBtn_ = find<kit::Button>(u"btn_exit"_qs);
    title_ = find<kit::Label>(u"title_string"_qs);
    edit_ = find<kit::Edit>(u"edit_name"_qs);
    if (title_) {
        title_->setTextKeyMode(true);
        title_->setText(titleKey_);
    }
    if (edit_) {
        // Whatever the skin says, a longer name could not be kept whole.
        if (edit_->maxLength() > kMaxNameUnits) edit_->setMaxLength(kMaxNameUnits);
        edit_->setFocus(Qt::OtherFocusReason);
    }
}

void CMS_1_ProfileName::accept() {
    const QString typed = edit_ ? edit_->QLineEdit::text() : QString();
    // Only the empty text is refused: a name of blanks is a name.
    if (typed.isEmpty()) {
        warn(u"warn_name_1_text"_qs);
        return;
    }
    if (nameTaken_ && nameTaken_(typed)) {
        warn(u"warn_name_2_text"_qs);
        return;
    }
    name_ = typed;
    closeWindow(1);
}

void CMS_1_ProfileName::warn(const QString& messageKey) {
    CMsgWnd::Ask(skin(), this, u"warning_title_text"_qs, messageKey);
    if (edit_) edit_->setFocus(Qt::OtherFocusReason);
}

void CMS_1_ProfileName::notify(const kit::Notification& n) {
    using namespace kit::notify;
    if (!n.sender) return;
    if (n.type == kClick) {
        if (n.sender == okBtn_) accept();
        else if (n.sender == cancelBtn_ || n.sender == exitBtn_) closeWindow(0);
    } else if (n.type == kReturn && n.sender == edit_) {
        accept();
    }
}

}  // namespace halvern
