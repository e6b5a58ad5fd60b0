#include "ui/page/DpiSection.h"

#include <algorithm>

#include "ui/kit/Button.h"
#include "ui/kit/DigitsOnly.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Label.h"
#include "ui/kit/Slider.h"

namespace halvern {

namespace {

// The factory table the reset restores: value, enabled and colour of each level.
struct DpiLevelDefault {
    std::int32_t value;
    std::int32_t enabled;
    RgbColor color;
};
constexpr DpiLevelDefault kDpiDefaults[kDpiLevels] = {
    {16, 1, {255, 0, 0, 0}},    {32, 1, {0, 255, 0, 0}},    {48, 1, {0, 0, 255, 0}}, {64, 1, {255, 255, 0, 0}},
    {100, 1, {0, 255, 255, 0}}, {280, 1, {255, 0, 255, 0}}, {0, 0, {255, 64, 0, 0}}, {0, 0, {255, 255, 255, 0}},
};
constexpr std::int32_t kResetActiveLevel = 1;
// Beyond any DPI: a longer number saturates here.
constexpr std::int64_t kSaturated = 1'000'000;

}  // namespace

QString DpiSection::DpiText(std::int32_t value) { return QString::number(DpiFromValue(value)); }

std::int32_t DpiSection::LeadingNumber(const QString& text) {
    std::int64_t value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9') break;
        value = std::min<std::int64_t>(value * 10 + (c.unicode() - u'0'), kSaturated);
    }
    return static_cast<std::int32_t>(value);
}

void DpiSection::ResetLevels(MouseProfile& p) {
    p.dpiStep = kResetActiveLevel;
    for (std::size_t i = 0; i < kDpiLevels; ++i) {
        p.dpiValue[i] = kDpiDefaults[i].value;
        p.dpiValueCopy[i] = kDpiDefaults[i].value;
        p.dpiEnabled[i] = kDpiDefaults[i].enabled;
        p.dpiColor[i] = kDpiDefaults[i].color;
    }
}

void DpiSection::bind(SectionBinder& controls) {
    const SettingRow& value = Setting(SettingId::DpiValue);
    for (std::size_t i = 0; i < kDpiLevels; ++i) {
        const int n = static_cast<int>(i + 1);
        Level& level = levels_[i];
        level.slider = controls.find<kit::Slider>(SectionBinder::Numbered(value.controlName, n));
        level.label = controls.find<kit::Label>(SectionBinder::Numbered(value.valueLabel, n));
        level.option =
            controls.find<kit::Option>(SectionBinder::Numbered(Setting(SettingId::DpiActive).controlName, n));
        level.color = controls.find<kit::Button>(SectionBinder::Numbered(Setting(SettingId::DpiColor).controlName, n));
        level.edit = controls.find<kit::RichEdit>(SectionBinder::Numbered("ms_1_edit_dpi_%d", n));
        // Screen readers read the DPI, as the label beside the slider shows it: 0 for a
        // level without a value, whose slider rests at its first position.
        if (level.slider)
            level.slider->setShownValue([this, i](int position) {
                return levels_[i].unset && position == levels_[i].slider->value() ? 0.0 : DpiFromValue(position);
            });
    }
    apply_ = controls.find<kit::Button>(u"ms_1_btn_apply_dpi"_qs);
    reset_ = controls.find<kit::Button>(u"ms_1_btn_reset_dpi"_qs);
}

void DpiSection::nameControls() {
    for (std::size_t i = 0; i < kDpiLevels; ++i) {
        const QString n = QString::number(i + 1);
        const Level& level = levels_[i];
        if (level.option) level.option->setSpokenName(context_.text("dpi_level_name_text").arg(n));
        if (level.slider) level.slider->setSpokenName(context_.text("dpi_level_slider_name_text").arg(n));
        if (level.edit) level.edit->setSpokenName(context_.text("dpi_level_edit_name_text").arg(n));
        if (level.color) level.color->setSpokenName(context_.text("dpi_level_color_name_text").arg(n));
    }
}

void DpiSection::refresh(const MouseProfile& p) {
    nameControls();
    selectLevel(p.dpiStep + 1);
    for (std::size_t i = 0; i < kDpiLevels; ++i) {
        showValue(static_cast<int>(i), p.dpiValue[i]);
        if (levels_[i].color) levels_[i].color->setBkColor(QColor::fromRgba(p.dpiColor[i].toArgb()));
    }
}

void DpiSection::selectLevel(int level) {
    if (level < 1 || level > static_cast<int>(kDpiLevels)) return;
    if (kit::Option* option = levels_[static_cast<std::size_t>(level - 1)].option)
        option->setSelected(true, kit::Notify::No);
}

void DpiSection::showValue(int i, std::int32_t value, const kit::Control* except) {
    Level& level = levels_[static_cast<std::size_t>(i)];
    level.unset = value == 0;
    if (level.slider && level.slider != except) level.slider->setValue(value, kit::Notify::No);
    if (level.label) level.label->setText(DpiText(value));
    if (level.edit && level.edit != except) level.edit->setText(DpiText(value), kit::Notify::No);
}

int DpiSection::levelOf(const kit::Control* sender) const {
    for (std::size_t i = 0; i < kDpiLevels; ++i) {
        const Level& l = levels_[i];
        if (sender == l.slider || sender == l.label || sender == l.option || sender == l.color || sender == l.edit)
            return static_cast<int>(i);
    }
    return -1;
}

PageEdit DpiSection::handle(const kit::Notification& n, MouseProfile& profile) {
    using namespace kit::notify;
    if (n.type == kClick && n.sender == apply_) return PageEdit::Apply();
    if (n.type == kClick && n.sender == reset_) {
        ResetLevels(profile);
        PageEdit edit = PageEdit::Of(ApplyTiming::AtOnce);
        edit.refresh = true;
        return edit;
    }
    const int level = levelOf(n.sender);
    return level < 0 ? PageEdit{} : handleLevel(n, level, profile);
}

PageEdit DpiSection::handleLevel(const kit::Notification& n, int i, MouseProfile& profile) {
    using namespace kit::notify;
    const Level& level = levels_[static_cast<std::size_t>(i)];
    if (n.type == kValueChanged && n.sender == level.slider) {
        profile.dpiValue[i] = level.slider->value();
        showValue(i, profile.dpiValue[i], level.slider);
        return PageEdit::Of(Setting(SettingId::DpiValue).timing);
    }
    if (n.type == kTextChanged && n.sender == level.edit) {
        keepDigitsOnly(level.edit);
        return {};
    }
    if ((n.type == kKillFocus || n.type == kReturn) && n.sender == level.edit) {
        // A box left as it shows its level changes nothing: tabbing through the box of a
        // level without a value (0) must not give it one, and a second commit of one
        // typing is the first one again.
        if (level.edit->text() == DpiText(profile.dpiValue[i])) return {};
        const std::int32_t value = ValueFromDpi(LeadingNumber(level.edit->text()));
        profile.dpiValue[i] = value;
        showValue(i, value);
        return PageEdit::Of(Setting(SettingId::DpiValue).timing);
    }
    if (n.type == kSelectChanged && n.sender == level.option && n.wParam != 0) {
        profile.dpiStep = i;
        return PageEdit::Of(Setting(SettingId::DpiActive).timing);
    }
    if (n.type == kClick && n.sender == level.color) {
        const std::optional<std::uint32_t> chosen = context_.pickColorUnder(level.color, profile.dpiColor[i].toArgb());
        if (!chosen) return {};
        profile.dpiColor[i] = RgbColor::fromArgb(*chosen);
        level.color->setBkColor(QColor::fromRgba(*chosen));
        return PageEdit::Of(Setting(SettingId::DpiColor).timing);
    }
    return {};
}

void DpiSection::keepDigitsOnly(kit::RichEdit* edit) {
    const DigitsOnly digits = KeepDigitsOnly(edit->text().toStdU16String());
    if (!digits.changed) return;
    edit->setText(QString::fromStdU16String(digits.text), kit::Notify::No);
    edit->setCursorPosition(static_cast<int>(digits.caret));
}

}  // namespace halvern
