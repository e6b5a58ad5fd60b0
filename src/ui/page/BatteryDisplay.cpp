#include "ui/page/BatteryDisplay.h"
#include "ui/page/PageTimers.h"

#include "ui/kit/Label.h"
#include "ui/kit/Slider.h"

namespace halvern {

namespace {
constexpr int kFull = 100;
constexpr int kAnimationStride = 2;
}  // namespace

BatteryDisplay::BatteryDisplay(TimerService& timers, kit::Progress* bar, kit::Label* label, QString chargingTextKey)
    : timers_(timers), bar_(bar), label_(label), chargingTextKey_(std::move(chargingTextKey)) {}

void BatteryDisplay::show(BatteryState state) {
    using Kind = BatteryState::Kind;
    switch (state.kind) {
        case Kind::Plugged: return showCharging(true);
        case Kind::Charging: return showCharging(false);
        case Kind::Charged: return showCharged();
        case Kind::Level: stopAnimation(); return showBatteryLevel(state.level);
        case Kind::OnBattery: return stopAnimation();
        case Kind::Unreported:
            // A charge the cable started may still be under way.
            return showFullBattery();
        case Kind::Unknown: return clearBatteryDisplay();
    }
}

void BatteryDisplay::showCharged() {
    stopAnimation();
    setBar(kFull);
    setLabel(u"100%"_qs);
}

void BatteryDisplay::showCharging(bool restartAnimation) {
    if (restartAnimation) chargeAnimationStep_ = 0;
    setLabel(chargingTextKey_, true);
    startAnimation();
}

void BatteryDisplay::showBatteryLevel(int level) {
    if (level > kFull) return;
    // Negative levels never come from the mouse's one-byte field; clamp rather than
    // hand the bar a value it would silently refuse.
    if (level < 0) level = 0;
    batteryLevel_ = level;
    setBar(level);
    setLabel(u"%1%"_qs.arg(level));
}

void BatteryDisplay::clearBatteryDisplay() {
    setLabel(QString());
    stopAnimation();
}

void BatteryDisplay::stopChargingAnimation() { stopAnimation(); }

void BatteryDisplay::showFullBattery() {
    setBar(kFull);
    setLabel(u"100%"_qs);
}

void BatteryDisplay::tick() {
    if (!animating_) return;
    setBar(chargeAnimationStep_);
    chargeAnimationStep_ += kAnimationStride;
    if (chargeAnimationStep_ > kFull) chargeAnimationStep_ = 0;
}

void BatteryDisplay::setShown(bool shown) {
    if (shown == shown_) return;
    shown_ = shown;
    if (!animating_) return;
    if (shown_) timers_.arm(TimerId::ChargingAnimation, kChargingAnimationPeriod);
    else timers_.kill(TimerId::ChargingAnimation);
}

void BatteryDisplay::startAnimation() {
    animating_ = true;
    // Arming restarts a running timer, so repeated charging events keep one timer.
    if (shown_) timers_.arm(TimerId::ChargingAnimation, kChargingAnimationPeriod);
}

void BatteryDisplay::stopAnimation() {
    animating_ = false;
    timers_.kill(TimerId::ChargingAnimation);
}

void BatteryDisplay::setBar(int value) {
    if (bar_) bar_->setValue(value);
}

void BatteryDisplay::setLabel(const QString& text, bool isKey) {
    if (!label_) return;
    label_->setTextKeyMode(isKey);
    label_->setText(text);
}

}  // namespace halvern
