// The DPI section: eight levels, each a slider, a label, an option (the active level),
// a colour button and a number box. Slider and box edits wait for an apply; choosing
// the active level, a colour or the reset apply at once.
#include <algorithm>

#include "ui/kit/Button.h"
#include "ui/kit/DigitsOnly.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Label.h"
#include "ui/kit/SkinWindow.h"
#include "ui/kit/Slider.h"
#include "ui/page/CMS_1_Page.h"
#include "ui/page/PageControls.h"
#include "ui/page/PageRanges.h"

namespace halvern {

namespace {

using page::IndexOf;

QColor Opaque(std::uint32_t argb) { return QColor::fromRgba(argb); }

// The factory table the reset restores: value, enabled and colour of each level.
struct DpiLevelDefault {
    std::int32_t value;
    std::int32_t enabled;
    RgbColor color;
};
constexpr DpiLevelDefault kDpiDefaults[kDpiLevels] = {
    {16, 1, {255, 0, 0, 0}},    {32, 1, {0, 255, 0, 0}},    {48, 1, {0, 0, 255, 0}},
    {64, 1, {255, 255, 0, 0}},  {100, 1, {0, 255, 255, 0}}, {280, 1, {255, 0, 255, 0}},
    {0, 0, {255, 64, 0, 0}},    {0, 0, {255, 255, 255, 0}},
};

// The leading decimal digits of a box's text; an empty box is 0 and a number too long
// for any DPI saturates instead of overflowing.
std::int32_t LeadingNumber(const QString& text) {
    std::int64_t value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9') break;
        value = std::min<std::int64_t>(value * 10 + (c.unicode() - u'0'), 1'000'000);
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

QString CMS_1_Page::DpiText(std::int32_t value) { return QString::number(DpiFromValue(value)); }

void CMS_1_Page::refreshDpi() {
    const MouseProfile& p = *current_;
    selectDpiLevel(p.dpiStep + 1);
    for (int i = 0; i < kLevels; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (dpiSliders_[at]) dpiSliders_[at]->setValue(p.dpiValue[i], kit::Notify::No);
        if (dpiLabels_[at]) dpiLabels_[at]->setText(DpiText(p.dpiValue[i]));
        if (dpiEdits_[at]) dpiEdits_[at]->setText(DpiText(p.dpiValue[i]), kit::Notify::No);
        if (dpiColorBtns_[at]) dpiColorBtns_[at]->setBkColor(Opaque(p.dpiColor[i].toArgb()));
    }
}

bool CMS_1_Page::onDpiValueChanged(kit::Control* sender) {
    const int i = IndexOf(dpiSliders_, sender);
    if (i < 0 || !current_) return i >= 0;
    const auto at = static_cast<std::size_t>(i);
    const std::int32_t value = dpiSliders_[at]->value();
    current_->dpiValue[i] = value;
    if (dpiLabels_[at]) dpiLabels_[at]->setText(DpiText(value));
    if (dpiEdits_[at]) dpiEdits_[at]->setText(DpiText(value), kit::Notify::No);
    return true;
}

bool CMS_1_Page::onDpiOption(kit::Control* sender) {
    const int i = IndexOf(dpiOptions_, sender);
    if (i < 0 || !current_) return i >= 0;
    current_->dpiStep = i;
    applyNow();
    return true;
}

bool CMS_1_Page::onDpiEditText(kit::Control* sender) {
    const int i = IndexOf(dpiEdits_, sender);
    if (i < 0) return false;
    kit::RichEdit* edit = dpiEdits_[static_cast<std::size_t>(i)];
    const DigitsOnly digits = KeepDigitsOnly(edit->text().toStdU16String());
    if (digits.changed) {
        edit->setText(QString::fromStdU16String(digits.text), kit::Notify::No);
        edit->setCursorPosition(static_cast<int>(digits.caret));
    }
    return true;
}

bool CMS_1_Page::commitDpiEdit(kit::Control* sender) {
    const int i = IndexOf(dpiEdits_, sender);
    if (i < 0 || !current_) return i >= 0;
    const auto at = static_cast<std::size_t>(i);
    const std::int32_t value = ValueFromDpi(LeadingNumber(dpiEdits_[at]->text()));
    current_->dpiValue[i] = value;
    if (dpiSliders_[at]) dpiSliders_[at]->setValue(value, kit::Notify::No);
    dpiEdits_[at]->setText(DpiText(value), kit::Notify::No);
    // The label follows too: a slider moved without a notification would leave it
    // showing the old value.
    if (dpiLabels_[at]) dpiLabels_[at]->setText(DpiText(value));
    return true;
}

std::optional<std::uint32_t> CMS_1_Page::pickColorUnder(kit::Button* button, std::uint32_t argb) {
    if (!parts_.pickColor || !window_) return std::nullopt;
    const QPoint below = button->mapTo(window_, QPoint(0, button->height()));
    const QPoint origin = window_->geometry().topLeft() + QPoint(below.x() - 200, below.y());
    return parts_.pickColor(argb, origin);
}

bool CMS_1_Page::onDpiColorClick(kit::Control* sender) {
    const int i = IndexOf(dpiColorBtns_, sender);
    if (i < 0 || !current_) return i >= 0;
    kit::Button* button = dpiColorBtns_[static_cast<std::size_t>(i)];
    const std::optional<std::uint32_t> chosen = pickColorUnder(button, current_->dpiColor[i].toArgb());
    if (!chosen) return true;
    current_->dpiColor[i] = RgbColor::fromArgb(*chosen);
    button->setBkColor(QColor::fromRgba(*chosen));
    applyNow();
    return true;
}

void CMS_1_Page::resetDpi() {
    if (!current_) return;
    current_->dpiStep = 1;
    for (int i = 0; i < kLevels; ++i) {
        current_->dpiValue[i] = kDpiDefaults[i].value;
        current_->dpiValueCopy[i] = kDpiDefaults[i].value;
        current_->dpiEnabled[i] = kDpiDefaults[i].enabled;
        current_->dpiColor[i] = kDpiDefaults[i].color;
    }
    refreshControls();
    applyNow();
}

}  // namespace halvern
