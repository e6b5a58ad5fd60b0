// A section made of rows of the settings table: each row's control (a slider, a group of
// options, a check box, a drop-down list or a colour button) is found by the name the
// table gives, shows the row's field, and writes it back when the user changes it; a
// label beside it shows the value as text where the table names one. The change is sent
// when the table says. Power timers and the sensor options are such sections as they
// stand; the light and polling sections add what they show besides.
#pragma once

#include <QString>

#include <initializer_list>
#include <unordered_map>
#include <vector>

#include "ui/page/PageContext.h"
#include "ui/page/PageSection.h"

namespace halvern {

namespace kit {
class Button;
class CheckBox;
class Combo;
class Label;
class Option;
class Slider;
}  // namespace kit

class SettingsSection : public PageSection {
public:
    SettingsSection(PageContext& context, std::initializer_list<SettingId> rows);

    void bind(SectionBinder& controls) override;
    void refresh(const MouseProfile& profile) override;
    PageEdit handle(const kit::Notification& n, MouseProfile& profile) override;

    // One row's controls show `value` (one the mouse reported); the model is not touched.
    void showSetting(SettingId id, std::int32_t value);

    // The label text of a value, as the page shows it beside its control; empty for rows
    // without a label. Polling rates are language keys (the label is in key mode).
    static QString ValueText(const SettingRow& row, std::int32_t value, const PageContext& context);

protected:
    // After a row's field was written by the user or by a refresh.
    virtual void shown(const SettingRow&, const MouseProfile&) {}
    // Notifications of controls the section bound itself in bindMore().
    virtual void bindMore(SectionBinder&) {}
    virtual PageEdit handleMore(const kit::Notification&, MouseProfile&) { return {}; }

    PageContext& context_;

private:
    struct Bound {
        const SettingRow* row = nullptr;
        kit::Slider* slider = nullptr;
        std::vector<kit::Option*> options;
        kit::CheckBox* check = nullptr;
        kit::Combo* combo = nullptr;
        kit::Button* color = nullptr;
        kit::Label* label = nullptr;
    };
    struct Place {
        std::size_t bound;
        int option;  // the option's index in its group, or -1
    };

    // What screen readers call the row's controls, in the language shown: the setting
    // and, for an option, the choice ("Polling rate: 125 Hz").
    void nameControls(const Bound& b);
    void show(const Bound& b, const MouseProfile& profile);
    void showInt(const Bound& b, std::int32_t value);
    void showValueText(const Bound& b, std::int32_t value);
    // The new value the notification carries for its row, or nullopt when it changes
    // nothing (a control's other notifications, a colour picker cancelled).
    std::optional<std::int32_t> valueOf(const kit::Notification& n, const Bound& b, int option, MouseProfile& profile);

    std::vector<Bound> bound_;
    std::unordered_map<const kit::Control*, Place> places_;
};

// The light section: the effect lists, brightness, breathing speed and colour, with
// the panels the cable and receiver effect calls for.
class LightSection final : public SettingsSection {
public:
    explicit LightSection(PageContext& context);
    // Which of brightness, speed and colour show, by the effect.
    void showPanels(const MouseProfile* profile);

protected:
    void bindMore(SectionBinder& controls) override;
    void shown(const SettingRow& row, const MouseProfile& profile) override;

private:
    kit::Control* brightnessPanel_ = nullptr;
    kit::Control* speedPanel_ = nullptr;
    kit::Control* colorPanel_ = nullptr;
};

// The polling rate, and the button that opens the desktop's own mouse settings.
class PollingSection final : public SettingsSection {
public:
    explicit PollingSection(PageContext& context);

protected:
    void bindMore(SectionBinder& controls) override;
    PageEdit handleMore(const kit::Notification& n, MouseProfile& profile) override;

private:
    kit::Button* mouseSettings_ = nullptr;
};

}  // namespace halvern
