#include "ui/dialogs/CDPIMsg.h"

#include <QGuiApplication>
#include <QScreen>

#include "ui/kit/Label.h"

namespace halvern {

CDPIMsg::CDPIMsg(kit::Skin& skin, QWidget* owner, QString text)
    : kit::SkinWindow(skin, owner), m_sText(std::move(text)) {}

QRect CDPIMsg::PlaceIn(const QRect& workArea) {
    // Measured from the work area's own corner, so a panel on the left or top, or a
    // second screen, still puts the display in the visible corner.
    return QRect(workArea.left() + workArea.width() - kRightGap, workArea.top() + workArea.height() - kBottomGap,
                 kWidth, kHeight);
}

void CDPIMsg::onInit() {
    m_pLabel = find<kit::Label>(u"dpi_label"_qs);
    if (!m_pLabel) return;
    m_pLabel->setText(m_sText);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    setGeometry(PlaceIn(screen->availableGeometry()));
}

void CDPIMsg::setDpiText(const QString& text) {
    m_sText = text;
    if (m_pLabel) m_pLabel->setText(text);
}

}  // namespace halvern
