#include "ui/dialogs/CMsgWnd.h"

#include "ui/kit/Button.h"
#include "ui/kit/Label.h"
#include "ui/kit/Skin.h"

namespace halvern {

CMsgWnd::CMsgWnd(kit::Skin& skin, QWidget* owner) : kit::SkinWindow(skin, owner) { setCloseOnEscape(true); }

int CMsgWnd::Ask(kit::Skin& skin, QWidget* owner, const QString& titleKey, const QString& messageKey,
                 const QStringList& args) {
    CMsgWnd box(skin, owner);
    box.setTitle(titleKey);
    box.setMessage(messageKey, args);
    box.setTitleKey(titleKey);
    box.create(kit::WindowKind::Dialog);
    box.centerWindow();
    return box.showModal();
}

void CMsgWnd::onInit() {
    m_pOkButton = find<kit::Button>(u"btn_ok"_qs);
    m_pCancelButton = find<kit::Button>(u"btn_cancel"_qs);
    m_pTitleLabel = find<kit::Label>(u"warning_title"_qs);
    m_pMessageLabel = find<kit::Label>(u"warning"_qs);
    for (kit::Label* label : {m_pTitleLabel, m_pMessageLabel}) {
        if (label) label->setTextKeyMode(true);
    }
    if (m_pTitleLabel) m_pTitleLabel->setText(m_sTitle);
    if (!m_pMessageLabel) return;
    if (m_args.isEmpty()) {
        m_pMessageLabel->setText(m_sMessage);
        return;
    }
    // Filled in one pass, so a name holding "%2" stays as it is.
    const QString text = skin().text(m_sMessage);
    m_pMessageLabel->setTextKeyMode(false);
    m_pMessageLabel->setText(m_args.size() == 1 ? text.arg(m_args[0]) : text.arg(m_args[0], m_args[1]));
}

void CMsgWnd::notify(const kit::Notification& n) {
    if (n.type != kit::notify::kClick) return;
    if (n.sender && n.sender == m_pOkButton) closeWindow(1);
    else if (n.sender && n.sender == m_pCancelButton) closeWindow(0);
}

}  // namespace halvern
