#include "ui/dialogs/CAboutWnd.h"

#include "ui/kit/Button.h"
#include "ui/kit/Label.h"

namespace halvern {

CAboutWnd::CAboutWnd(kit::Skin& skin, QWidget* owner, QString text)
    : kit::SkinWindow(skin, owner), text_(std::move(text)) {
    setCloseOnEscape(true);
}

void CAboutWnd::Show(kit::Skin& skin, QWidget* owner, const QString& text) {
    CAboutWnd box(skin, owner, text);
    box.setTitleKey(u"about_title_text"_qs);
    box.create(kit::WindowKind::Dialog);
    box.centerWindow();
    box.showModal();
}

void CAboutWnd::onInit() {
    if (auto* label = find<kit::Label>(u"about_text"_qs)) {
        label->setText(text_);
        // Folder names can be long and unbroken: they can be copied, and Tab reaches
        // the text, which a screen reader then reads.
        label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        label->setFocusPolicy(Qt::StrongFocus);
    }
}

void CAboutWnd::notify(const kit::Notification& n) {
    if (n.type == kit::notify::kClick && n.sender && n.sender->name() == u"btn_ok") closeWindow(1);
}

}  // namespace halvern
