#include "ui/kit/Control.h"

#include <QPainter>
#include <QScrollArea>
#include <QWidget>

#include "ui/kit/Skin.h"
#include "ui/kit/SkinWindow.h"

namespace halvern::kit {

void Control::attach(SkinWindow* window, const Skin* skin, QString kind, QString name, QString virtualWindow) {
    window_ = window;
    skin_ = skin;
    kind_ = std::move(kind);
    name_ = std::move(name);
    virtualWindow_ = std::move(virtualWindow);
    widget()->setObjectName(name_);
}

void Control::setBkColor(const QColor& color) {
    bkColor_ = color;
    widget()->update();
}

void Control::setBkImage(const ImageSpec& image) {
    bkImage_ = image;
    widget()->update();
}

bool Control::setBkImage(const QString& text) {
    auto spec = ParseImageSpec(text);
    if (!spec) return false;
    setBkImage(*spec);
    return true;
}

void Control::setText(const QString& text) {
    text_ = text;
    showText(shownText());
    refreshAccessibleName();
}

QString Control::shownText() const {
    if (textKeyMode_ && skin_) return skin_->text(text_);
    return text_;
}

void Control::setTextKeyMode(bool on) {
    if (textKeyMode_ == on) return;
    textKeyMode_ = on;
    showText(shownText());
    refreshAccessibleName();
}

void Control::setToolTipKey(const QString& key) {
    toolTipKey_ = key;
    if (skin_) widget()->setToolTip(skin_->text(key));
    refreshAccessibleName();
}

void Control::retranslate() {
    showText(shownText());
    if (!toolTipKey_.isEmpty()) setToolTipKey(toolTipKey_);
    refreshAccessibleName();
}

void Control::setSpokenName(const QString& name) {
    spokenName_ = name;
    refreshAccessibleName();
}

void Control::refreshAccessibleName() {
    const QString shown = namedByText() ? shownText().trimmed() : QString();
    const QString name = !spokenName_.isEmpty() ? spokenName_ : shown.isEmpty() ? widget()->toolTip() : shown;
    if (widget()->accessibleName() != name) widget()->setAccessibleName(name);
}

void Control::raiseNotify(std::string_view type, std::uintptr_t wParam, std::intptr_t lParam) {
    if (!window_) return;
    Notification n;
    n.type = std::string(type);
    n.sender = this;
    n.wParam = wParam;
    n.lParam = lParam;
    n.virtualWindow = virtualWindow_.toStdString();
    window_->dispatchNotification(n);
}

bool Control::takesWheel() const {
    const QWidget* self = widget();
    if (self->hasFocus()) return true;
    for (const QWidget* w = self->parentWidget(); w && !w->isWindow(); w = w->parentWidget())
        if (qobject_cast<const QScrollArea*>(w)) return false;
    return true;
}

void Control::paintBackground(QPainter& painter) {
    const QRect bounds = widget()->rect();
    // A colour fills the control to its edge, where the theme draws the focus ring: with
    // the keyboard's focus it leaves the ring room (colour swatches).
    const int ring = keyFocus_ ? kFocusRingRoom : 0;
    if (bkColor_.isValid() && bkColor_.alpha() > 0)
        painter.fillRect(bounds.adjusted(ring, ring, -ring, -ring), bkColor_);
    if (skin_) PaintImage(painter, bounds, bkImage_, *skin_);
}

void SetVisible(Control* control, bool visible) {
    if (control) control->widget()->setVisible(visible);
}

bool IsShown(const Control* control) { return control && !control->widget()->isHidden(); }

}  // namespace halvern::kit
