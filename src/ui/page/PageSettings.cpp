// Light, polling rate, power timers, key debounce, the sensor options, move mode, the
// mouse picture and the desktop's mouse settings. Options and check boxes apply at
// once; sliders and the effect lists a short pause after the last change, so a drag
// sends one apply.
#include "storage/SettingsFile.h"
#include "ui/dialogs/CMsgWnd.h"
#include "ui/kit/Button.h"
#include "ui/kit/Combo.h"
#include "ui/kit/Label.h"
#include "ui/kit/SkinWindow.h"
#include "ui/kit/Slider.h"
#include "ui/page/CMS_1_Page.h"
#include "ui/page/PageControls.h"

namespace halvern {

namespace {

constexpr std::chrono::milliseconds kEffectPause{200};
constexpr std::chrono::milliseconds kSliderPause{500};

using page::IndexOf;
using page::SetVisible;

template <std::size_t N>
void SelectOption(const std::array<kit::Option*, N>& options, std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= N || !options[static_cast<std::size_t>(index)]) return;
    options[static_cast<std::size_t>(index)]->setSelected(true, kit::Notify::No);
}

void SetSlider(kit::Slider* slider, std::int32_t value) {
    if (slider) slider->setValue(value, kit::Notify::No);
}

}  // namespace

void CMS_1_Page::refreshSettings() {
    const MouseProfile& p = *current_;
    if (lightCombo_ && p.lightEffect >= 0 && p.lightEffect < lightCombo_->count())
        lightCombo_->selectItem(p.lightEffect, kit::Notify::No);
    if (lightComboBle_ && p.lightEffectBle >= 0 && p.lightEffectBle < lightComboBle_->count())
        lightComboBle_->selectItem(p.lightEffectBle, kit::Notify::No);
    SetSlider(brightnessSlider_, p.brightness);
    SetSlider(breathSlider_, p.breathSpeed);
    if (lightColorBtn_) lightColorBtn_->setBkColor(QColor::fromRgba(p.lightColor.toArgb()));
    SelectOption(pollingOptions_, p.pollingRate);
    setPollingText();
    SelectOption(liftOptions_, p.liftOffDistance);
    SelectOption(rippleOptions_, p.rippleControl);
    SelectOption(angleOptions_, p.angleSnap);
    SetSlider(lightOffSlider_, p.lightOffTimer);
    setLightOffText();
    SetSlider(sleepSlider_, p.sleepTimer);
    setSleepTimerText();
    SetSlider(debounceSlider_, p.keyDebounce);
    setKeyDebounceText();
    // Move mode keeps the state the user last gave it.
}

void CMS_1_Page::updateLightSections() {
    SetVisible(brightnessPanel_, false);
    SetVisible(breathPanel_, false);
    SetVisible(lightColorPanel_, false);
    if (!current_) return;
    const std::int32_t effect = current_->lightEffect;
    if (effect == 1) {
        SetVisible(brightnessPanel_, true);
        SetVisible(lightColorPanel_, true);
    } else if (effect == 2) {
        SetVisible(breathPanel_, true);
        SetVisible(lightColorPanel_, true);
    } else if (effect >= 3 && effect <= 11) {
        SetVisible(breathPanel_, true);
    }
}

void CMS_1_Page::setPollingText() {
    static constexpr const char* kKeys[] = {"prate_1_text", "prate_2_text", "prate_3_text", "prate_4_text"};
    if (!pollingLabel_ || !current_) return;
    const std::int32_t rate = current_->pollingRate;
    if (rate < 0 || rate > 3) return;
    pollingLabel_->setText(QString::fromLatin1(kKeys[rate]));
}

void CMS_1_Page::setSleepTimerText() {
    if (!sleepLabel_ || !current_) return;
    sleepLabel_->setText(u"%1%2 %3"_qs.arg(text("sleep_timer_3_text")).arg(current_->sleepTimer).arg(text("sleep_timer_2_text")));
}

void CMS_1_Page::setLightOffText() {
    if (!lightOffLabel_ || !current_) return;
    lightOffLabel_->setText(u"%1%2 %3"_qs.arg(text("sleep_timer_1_text"))
                                .arg(current_->lightOffTimer * 0.5, 0, 'f', 1)
                                .arg(text("sleep_timer_2_text")));
}

void CMS_1_Page::setKeyDebounceText() {
    if (!debounceLabel_ || !current_) return;
    debounceLabel_->setText(u"%1 MS"_qs.arg(static_cast<long long>(current_->keyDebounce) * 2));
}

bool CMS_1_Page::onSettingsSelect(kit::Control* sender) {
    if (!current_) return false;
    if (int i = IndexOf(pollingOptions_, sender); i >= 0) {
        current_->pollingRate = i;
        setPollingText();
    } else if (int l = IndexOf(liftOptions_, sender); l >= 0) {
        current_->liftOffDistance = l;
    } else if (int r = IndexOf(rippleOptions_, sender); r >= 0) {
        current_->rippleControl = r;
    } else if (int a = IndexOf(angleOptions_, sender); a >= 0) {
        current_->angleSnap = a;
    } else if (int m = IndexOf(pictureOptions_, sender); m >= 0) {
        chooseMousePicture(m + 1);
        return true;  // not part of the profile: nothing to apply
    } else {
        return false;
    }
    applyNow();
    return true;
}

bool CMS_1_Page::onSettingsItem(kit::Control* sender) {
    if (!current_) return false;
    if (sender == lightCombo_) {
        current_->lightEffect = lightCombo_->currentSelection();
        updateLightSections();
    } else if (sender == lightComboBle_) {
        current_->lightEffectBle = lightComboBle_->currentSelection();
    } else {
        return false;
    }
    applyAfter(kEffectPause);
    return true;
}

bool CMS_1_Page::onSettingsValue(kit::Control* sender) {
    if (!current_ || !sender) return false;
    if (sender == brightnessSlider_) {
        current_->brightness = brightnessSlider_->value();
    } else if (sender == breathSlider_) {
        current_->breathSpeed = breathSlider_->value();
    } else if (sender == sleepSlider_) {
        current_->sleepTimer = sleepSlider_->value();
        setSleepTimerText();
    } else if (sender == lightOffSlider_) {
        current_->lightOffTimer = lightOffSlider_->value();
        setLightOffText();
    } else if (sender == debounceSlider_) {
        current_->keyDebounce = debounceSlider_->value();
        setKeyDebounceText();
    } else {
        return false;
    }
    applyAfter(kSliderPause);
    return true;
}

bool CMS_1_Page::onSettingsClick(kit::Control* sender) {
    if (!sender) return false;
    if (sender == mouseAttributeBtn_) {
        // The desktop's own settings; whether they opened is all that is known.
        if (!parts_.openMouseSettings || !parts_.openMouseSettings())
            CMsgWnd::Ask(window_->skin(), window_, u"warning_title_text"_qs, u"no_mouse_settings_text"_qs);
        return true;
    }
    if (sender == lightColorBtn_ && current_) {
        if (std::optional<std::uint32_t> chosen = pickColorUnder(lightColorBtn_, current_->lightColor.toArgb())) {
            current_->lightColor = RgbColor::fromArgb(*chosen);
            lightColorBtn_->setBkColor(QColor::fromRgba(*chosen));
            applyNow();
        }
        return true;
    }
    return false;
}

bool CMS_1_Page::onMoveModeCheck(kit::Control* sender, bool checked) {
    if (!sender || sender != moveModeCheck_ || !current_) return false;
    current_->moveMode = checked ? 1 : 0;
    applyNow();
    return true;
}

void CMS_1_Page::chooseMousePicture(int number) {
    SettingsFile settings(parts_.dataFolder);
    if (std::optional<std::string> error = settings.saveModelId(number - 1))
        qWarning("settings file not saved: %s", error->c_str());
    showModelPicture(number - 1);
}

}  // namespace halvern
