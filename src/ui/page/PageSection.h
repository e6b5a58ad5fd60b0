// One section of the settings page and the little it shares with the page. A section
// finds its controls once (bind), shows a profile in them (refresh), and turns a
// notification of one of them into an edit of the profile (handle), returning what the
// edit asks of the page: when the mouse gets it, when the store keeps it, whether every
// control shows the profile again. The page routes each notification to the section
// that bound its sender and carries the edit out; a section never reaches into
// another, never applies and never saves. Main thread only.
#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <functional>

#include "records/MouseProfile.h"
#include "records/Settings.h"
#include "ui/kit/Control.h"
#include "ui/kit/Notification.h"
#include "ui/kit/SkinWindow.h"

namespace halvern {

// What the page does after a section changed the model.
struct PageEdit {
    enum class Send {
        Nothing,
        AtOnce,       // an apply now
        AfterEffect,  // an apply 200 ms after the last such edit
        AfterSlider,  // an apply 500 ms after the last such edit
        WithNextApply,
    };
    enum class Keep {
        Nothing,
        Soon,  // the store is saved a moment after the last change
        Now,   // the store is saved at once (the list of profiles changed)
    };
    Send send = Send::Nothing;
    Keep keep = Keep::Nothing;
    bool whole = false;     // the mouse gets every group (another profile, a restore)
    bool refresh = false;   // every control shows the current profile again
    bool switched = false;  // another profile is current; the page takes it from the store

    // A change of one setting of the table, sent when the table says.
    static PageEdit Of(ApplyTiming timing);
    // An apply asked for, with nothing changed.
    static PageEdit Apply() { return {Send::AtOnce, Keep::Nothing, false, false, false}; }
};

// Finds a section's controls by name and tells the page that their notifications are
// that section's. A name the skin lacks leaves the control null and its part inert;
// the log says so once.
class SectionBinder {
public:
    using Route = std::function<void(kit::Control*)>;
    SectionBinder(kit::SkinWindow& window, Route route) : window_(window), route_(std::move(route)) {}

    template <typename T>
    T* find(const QString& name) {
        T* control = window_.find<T>(name);
        if (control) route_(control);
        else missing(name);
        return control;
    }
    template <typename T>
    T* find(std::string_view name) {
        return find<T>(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    }
    // "name_%d" for 1..N.
    template <typename T, std::size_t N>
    void findNumbered(std::array<T*, N>& out, std::string_view format) {
        for (std::size_t i = 0; i < N; ++i) out[i] = find<T>(Numbered(format, static_cast<int>(i + 1)));
    }
    // A control that is shown but raises nothing the section wants; not routed, and
    // optional in every skin.
    template <typename T>
    T* findQuietly(const QString& name) {
        return window_.find<T>(name);
    }
    kit::SkinWindow& window() { return window_; }

    static QString Numbered(std::string_view format, int number);

private:
    void missing(const QString& name) const;

    kit::SkinWindow& window_;
    Route route_;
};

class PageSection {
public:
    virtual ~PageSection() = default;
    virtual void bind(SectionBinder& controls) = 0;
    // Writes every control of the section from `profile`, raising no notification.
    virtual void refresh(const MouseProfile& profile) = 0;
    // A notification of one of the section's controls; `profile` is the current one.
    virtual PageEdit handle(const kit::Notification& n, MouseProfile& profile) = 0;
};

}  // namespace halvern
