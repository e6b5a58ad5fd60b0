#include "ui/dialogs/CDpiColorWnd.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

#include "ui/kit/Button.h"
#include "ui/kit/ColorPalette.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Skin.h"

namespace halvern {

namespace {

constexpr int kShift[3] = {16, 8, 0};  // red, green, blue in 0xAARRGGBB

int Component(std::uint32_t argb, int c) { return static_cast<int>((argb >> kShift[c]) & 0xFF); }

}  // namespace

CDpiColorWnd::CDpiColorWnd(kit::Skin& skin, QWidget* owner) : kit::SkinWindow(skin, owner) { setCloseOnEscape(true); }

std::optional<std::uint32_t> CDpiColorWnd::Pick(kit::Skin& skin, QWidget* owner, std::uint32_t argb, QPoint origin) {
    CDpiColorWnd picker(skin, owner);
    picker.setColor(argb);
    picker.setOrigin(origin);
    picker.setTitleKey(u"color_picker_title_text"_qs);
    picker.create(kit::WindowKind::Dialog);
    if (picker.showModal() != 1) return std::nullopt;
    return picker.color();
}

void CDpiColorWnd::onInit() {
    // Under the button that opened it, but never off the screen it opens on.
    QRect placed(origin_, size());
    if (const QScreen* screen = QGuiApplication::screenAt(origin_) ? QGuiApplication::screenAt(origin_)
                                                                   : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        placed.moveLeft(
            std::clamp(placed.left(), area.left(), std::max(area.left(), area.right() - placed.width() + 1)));
        placed.moveTop(std::clamp(placed.top(), area.top(), std::max(area.top(), area.bottom() - placed.height() + 1)));
    }
    move(placed.topLeft());

    confirmBtn_ = find<kit::Button>(u"confirm_btn"_qs);
    cancelBtn_ = find<kit::Button>(u"cancel_btn"_qs);
    colorShow_ = findControl(u"color_show_control"_qs);
    palette_ = find<kit::ColorPalette>(u"ColorPallet"_qs);
    componentEdits_ = {find<kit::Edit>(u"r_edit"_qs), find<kit::Edit>(u"g_edit"_qs), find<kit::Edit>(u"b_edit"_qs)};
    for (std::size_t i = 0; i < swatches_.size(); ++i) {
        swatches_[i] = find<kit::Button>(u"mouse_dpi_color_%1"_qs.arg(i + 1));
        if (!swatches_[i]) continue;
        swatches_[i]->setBkColor(QColor::fromRgba(kPresets[i]));
        swatches_[i]->setSpokenName(skin()
                                        .text(u"color_preset_name_text"_qs)
                                        .arg(QString::number(i + 1), QString::number(Component(kPresets[i], 0)),
                                             QString::number(Component(kPresets[i], 1)),
                                             QString::number(Component(kPresets[i], 2))));
    }
    showColor();
}

void CDpiColorWnd::showColor() {
    showColorExceptEdits();
    settingEdits_ = true;
    for (int c = 0; c < 3; ++c)
        if (kit::Edit* edit = componentEdits_[static_cast<std::size_t>(c)])
            edit->setText(QString::number(Component(color_, c)), kit::Notify::No);
    settingEdits_ = false;
}

void CDpiColorWnd::showColorExceptEdits() {
    if (palette_) palette_->setSelectedColor(color_, kit::Notify::No);
    if (colorShow_) colorShow_->setBkColor(QColor::fromRgba(color_));
}

void CDpiColorWnd::onComponentEdited(int c) {
    kit::Edit* edit = componentEdits_[static_cast<std::size_t>(c)];
    bool ok = false;
    const long long typed = edit->text().toLongLong(&ok);
    const int value = ok ? static_cast<int>(std::clamp<long long>(typed, 0, 255)) : 0;
    if (ok && value != typed) edit->setText(QString::number(value), kit::Notify::No);
    color_ = (color_ & ~(0xFFu << kShift[c])) | (static_cast<std::uint32_t>(value) << kShift[c]);
    color_ |= 0xFF000000u;
    showColorExceptEdits();
}

void CDpiColorWnd::notify(const kit::Notification& n) {
    using namespace kit::notify;
    if (!n.sender) return;
    if (n.type == kClick) {
        if (n.sender == confirmBtn_) closeWindow(1);
        else if (n.sender == cancelBtn_) closeWindow(0);
        for (std::size_t i = 0; i < swatches_.size(); ++i) {
            if (swatches_[i] && n.sender == swatches_[i]) {
                color_ = kPresets[i];
                showColor();
            }
        }
    } else if ((n.type == kColorChanged || n.type == kColorChangedButtonUp) && n.sender == palette_) {
        color_ = palette_->selectedColor() | 0xFF000000u;
        showColor();
    } else if (n.type == kTextChanged && !settingEdits_) {
        for (int c = 0; c < 3; ++c)
            if (componentEdits_[static_cast<std::size_t>(c)] &&
                n.sender == componentEdits_[static_cast<std::size_t>(c)])
                onComponentEdited(c);
    }
}

}  // namespace halvern
