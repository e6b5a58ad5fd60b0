// The mouse's power state on the page: the bar "ms_1_progress_power" (0..100) and the
// label "ms_1_label_power". The device link reports which state an event leads to;
// this class decides how each shows and keeps the charging animation, so that at most
// one animation runs and every change of state goes through the operations below.
//
// The animation runs on timer 515 (every 30 ms, repeating) through the TimerService;
// the owner hands each firing to tick(). While the window cannot be seen the timer is
// not armed, so a charging mouse costs nothing in the tray; the animation goes on from
// where it stood when the window shows again.
//
// A missing control leaves its half of the display inert. Main thread only.
#pragma once

#include <QString>

#include "device/DeviceObserver.h"
#include "device/TimerService.h"

namespace halvern {

namespace kit {
class Label;
class Progress;
}  // namespace kit

class BatteryDisplay {
public:
    // `chargingTextKey` is a language key ("charging_text"): the label shows its text in
    // the language loaded at the time, the percentages as they stand.
    BatteryDisplay(TimerService& timers, kit::Progress* bar, kit::Label* label, QString chargingTextKey);

    // A state the device link reported, through the operations below.
    void show(BatteryState state);

    // Animation stopped, bar 100, label "100%".
    void showCharged();
    // Label "charging_text" and the animation running: from 0 when restartAnimation is
    // set (a cable was attached), else from where it stands.
    void showCharging(bool restartAnimation);
    // Bar and label at `level` percent; a level above 100 changes nothing.
    void showBatteryLevel(int level);
    // Label empty, animation stopped; the bar keeps its value.
    void clearBatteryDisplay();
    // The animation stopped and nothing else.
    void stopChargingAnimation();
    // Bar 100 and label "100%", the animation left as it is (a Bluetooth LE mouse that
    // arrived and has not yet reported its battery).
    void showFullBattery();
    // The level 1..10 the mouse reports on its own; kept, not shown.
    void storeLevel(int level) { batteryLevel_ = level; }

    // Timer 515 fired: the bar takes the next step of 0, 2, 4 ... 100, 0, ...
    void tick();
    // Whether anyone can see the display; the animation only ticks while it is shown.
    void setShown(bool shown);

    int batteryLevel() const { return batteryLevel_; }

private:
    void startAnimation();
    void stopAnimation();
    void setBar(int value);
    void setLabel(const QString& text, bool isKey = false);

    TimerService& timers_;
    kit::Progress* bar_;
    kit::Label* label_;
    QString chargingTextKey_;
    int batteryLevel_ = 0;
    int chargeAnimationStep_ = 0;
    bool animating_ = false;  // the charging state; the timer runs while also shown
    bool shown_ = true;
};

}  // namespace halvern
