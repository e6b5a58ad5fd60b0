#include "ui/page/SettingsSection.h"

#include <algorithm>

#include "ui/dialogs/CMsgWnd.h"
#include "ui/kit/Button.h"
#include "ui/kit/Combo.h"
#include "ui/kit/Label.h"
#include "ui/kit/SkinWindow.h"
#include "ui/kit/Slider.h"

namespace halvern {

namespace {

// The options of a group, one per value of the row's range.
int OptionCount(const SettingRow& row) { return row.range.max - row.range.min + 1; }

// What a slider's position reads as beside it, in the row's unit.
double ShownValue(const SettingRow& row, int position) {
    switch (row.unit) {
        case SettingUnit::Dpi: return position == 0 ? 0 : DpiFromValue(position);
        case SettingUnit::HalfMinutes: return position * 0.5;
        case SettingUnit::TwoMs: return position * 2.0;
        default: return position;
    }
}

// Controls whose setting's text alone would not say what they set, or in what unit.
const char* SpokenNameKey(SettingId id) {
    switch (id) {
        case SettingId::BreathSpeed: return "breath_speed_name_text";
        case SettingId::SleepTimer: return "sleep_timer_name_text";
        case SettingId::LightOffTimer: return "light_off_name_text";
        case SettingId::KeyDebounce: return "debounce_name_text";
        case SettingId::LightColor: return "light_color_name_text";
        default: return nullptr;
    }
}

QString Name(std::string_view name) { return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())); }

}  // namespace

SettingsSection::SettingsSection(PageContext& context, std::initializer_list<SettingId> rows) : context_(context) {
    for (SettingId id : rows) bound_.push_back(Bound{.row = &Setting(id), .options = {}});
}

void SettingsSection::bind(SectionBinder& controls) {
    for (std::size_t i = 0; i < bound_.size(); ++i) {
        Bound& b = bound_[i];
        const SettingRow& row = *b.row;
        const QString name = Name(row.controlName);
        kit::Control* routed = nullptr;
        switch (row.control) {
            case SettingControl::None: break;
            case SettingControl::Slider:
                routed = b.slider = controls.find<kit::Slider>(name);
                if (b.slider) b.slider->setShownValue([&row](int position) { return ShownValue(row, position); });
                break;
            case SettingControl::Check: routed = b.check = controls.find<kit::CheckBox>(name); break;
            case SettingControl::Combo: routed = b.combo = controls.find<kit::Combo>(name); break;
            case SettingControl::Color: routed = b.color = controls.find<kit::Button>(name); break;
            case SettingControl::Options:
                for (int o = 0; o < OptionCount(row); ++o) {
                    b.options.push_back(controls.find<kit::Option>(SectionBinder::Numbered(row.controlName, o + 1)));
                    if (b.options.back()) places_[b.options.back()] = {i, o};
                }
                break;
        }
        if (routed) places_[routed] = {i, -1};
        if (!row.valueLabel.empty()) {
            b.label = controls.find<kit::Label>(row.valueLabel);
            if (b.label && row.unit == SettingUnit::PollingHz) b.label->setTextKeyMode(true);
        }
    }
    bindMore(controls);
}

void SettingsSection::refresh(const MouseProfile& profile) {
    for (const Bound& b : bound_) {
        nameControls(b);
        show(b, profile);
    }
}

void SettingsSection::nameControls(const Bound& b) {
    const SettingRow& row = *b.row;
    const std::string key(row.textKey);
    const QString setting = context_.text(key.c_str()).trimmed();
    const char* nameKey = SpokenNameKey(row.id);
    const QString name = nameKey ? context_.text(nameKey) : setting;
    if (b.slider) b.slider->setSpokenName(name);
    if (b.color) b.color->setSpokenName(name);
    for (std::size_t o = 0; o < b.options.size(); ++o) {
        kit::Option* option = b.options[o];
        if (!option) continue;
        const auto value = row.range.min + static_cast<std::int32_t>(o);
        // A polling option shows the number; its label the unit as well.
        const QString choice = row.unit == SettingUnit::PollingHz
                                   ? context_.text(ValueText(row, value, context_).toLatin1().constData())
                                   : option->shownText();
        option->setSpokenName(context_.text("setting_choice_name_text").arg(setting, choice));
    }
}

void SettingsSection::showSetting(SettingId id, std::int32_t value) {
    for (const Bound& b : bound_)
        if (b.row->id == id && b.row->range.contains(value)) showInt(b, value);
}

void SettingsSection::show(const Bound& b, const MouseProfile& profile) {
    const SettingRow& row = *b.row;
    if (const RgbColor* color = ColorField(profile, row)) {
        if (b.color) b.color->setBkColor(QColor::fromRgba(color->toArgb()));
        shown(row, profile);
        return;
    }
    if (const std::int32_t* field = IntField(profile, row)) showInt(b, *field);
    shown(row, profile);
}

void SettingsSection::showInt(const Bound& b, std::int32_t v) {
    const SettingRow& row = *b.row;
    if (b.slider) b.slider->setValue(v, kit::Notify::No);
    if (b.check) b.check->setChecked(v != 0, kit::Notify::No);
    if (b.combo && v >= 0 && v < b.combo->count()) b.combo->selectItem(v, kit::Notify::No);
    const int option = v - row.range.min;
    if (option >= 0 && static_cast<std::size_t>(option) < b.options.size() &&
        b.options[static_cast<std::size_t>(option)])
        b.options[static_cast<std::size_t>(option)]->setSelected(true, kit::Notify::No);
    showValueText(b, v);
}

void SettingsSection::showValueText(const Bound& b, std::int32_t value) {
    if (!b.label) return;
    const QString text = ValueText(*b.row, value, context_);
    // A value without a text (a polling index the mouse does not have) leaves the label.
    if (!text.isEmpty()) b.label->setText(text);
}

QString SettingsSection::ValueText(const SettingRow& row, std::int32_t v, const PageContext& context) {
    const QString unit = context.text("sleep_timer_2_text");
    const std::string key(row.textKey);
    switch (row.unit) {
        case SettingUnit::PollingHz: return row.range.contains(v) ? u"prate_%1_text"_qs.arg(v + 1) : QString();
        case SettingUnit::Minutes: return u"%1%2 %3"_qs.arg(context.text(key.c_str()), context.number(v), unit);
        case SettingUnit::HalfMinutes:
            return u"%1%2 %3"_qs.arg(context.text(key.c_str()), context.number(v * 0.5, 1), unit);
        case SettingUnit::TwoMs: return u"%1 MS"_qs.arg(context.number(static_cast<double>(v) * 2));
        default: return {};
    }
}

PageEdit SettingsSection::handle(const kit::Notification& n, MouseProfile& profile) {
    const auto place = places_.find(n.sender);
    if (place == places_.end()) return handleMore(n, profile);
    const Bound& b = bound_[place->second.bound];
    const std::optional<std::int32_t> value = valueOf(n, b, place->second.option, profile);
    if (!value) return {};
    if (std::int32_t* field = IntField(profile, *b.row)) {
        *field = *value;
        showValueText(b, *value);
    }
    shown(*b.row, profile);
    return PageEdit::Of(b.row->timing);
}

std::optional<std::int32_t> SettingsSection::valueOf(const kit::Notification& n, const Bound& b, int option,
                                                     MouseProfile& profile) {
    using namespace kit::notify;
    const SettingRow& row = *b.row;
    if (n.type == kValueChanged && b.slider) return b.slider->value();
    if (n.type == kCheckClick && b.check) return n.wParam != 0 ? 1 : 0;
    if (n.type == kItemSelect && b.combo) return b.combo->currentSelection();
    if (n.type == kSelectChanged && option >= 0 && n.wParam != 0) return row.range.min + option;
    if (n.type == kClick && b.color) {
        RgbColor* color = ColorField(profile, row);
        if (!color) return std::nullopt;
        const std::optional<std::uint32_t> chosen = context_.pickColorUnder(b.color, color->toArgb());
        if (!chosen) return std::nullopt;
        *color = RgbColor::fromArgb(*chosen);
        b.color->setBkColor(QColor::fromRgba(*chosen));
        return 0;  // the colour is written; there is no integer field
    }
    return std::nullopt;
}

// ---- Light ----

LightSection::LightSection(PageContext& context)
    : SettingsSection(context, {SettingId::LightEffect, SettingId::LightEffectBle, SettingId::Brightness,
                                SettingId::BreathSpeed, SettingId::LightColor}) {}

void LightSection::bindMore(SectionBinder& controls) {
    brightnessPanel_ = controls.find<kit::Control>(u"ms_1_ver_brightness"_qs);
    speedPanel_ = controls.find<kit::Control>(u"ms_1_ver_breathspeed"_qs);
    colorPanel_ = controls.find<kit::Control>(u"ms_1_hor_light_color"_qs);
}

void LightSection::shown(const SettingRow& row, const MouseProfile& profile) {
    if (row.id == SettingId::LightEffect) showPanels(&profile);
}

void LightSection::showPanels(const MouseProfile* profile) {
    // Only the cable and receiver effect decides; the Bluetooth LE one has no panels.
    const std::int32_t effect = profile ? profile->lightEffect : 0;
    kit::SetVisible(brightnessPanel_, effect == 1);
    kit::SetVisible(speedPanel_, effect >= 2 && effect <= 11);
    kit::SetVisible(colorPanel_, effect == 1 || effect == 2);
}

// ---- Polling ----

PollingSection::PollingSection(PageContext& context) : SettingsSection(context, {SettingId::Polling}) {}

void PollingSection::bindMore(SectionBinder& controls) {
    mouseSettings_ = controls.find<kit::Button>(u"ms_1_btn_mouse_attribute"_qs);
}

PageEdit PollingSection::handleMore(const kit::Notification& n, MouseProfile&) {
    if (n.type != kit::notify::kClick || n.sender != mouseSettings_) return {};
    // The desktop's own settings; whether they opened is all that is known.
    const auto& open = context_.parts().openMouseSettings;
    if ((!open || !open()) && context_.window())
        CMsgWnd::Ask(context_.window()->skin(), context_.window(), u"warning_title_text"_qs,
                     u"no_mouse_settings_text"_qs);
    return {};
}

}  // namespace halvern
