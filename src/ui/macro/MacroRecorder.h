// Recording: hook events turned into actions of the working copy, each action
// carrying the pause after it. The pause is measured, the default delay or none, by
// the delay mode chosen when recording started. Time comes in as milliseconds from the
// caller's clock, so the rules are tested without waiting.
#pragma once

#include <cstdint>

#include "ui/macro/MacroWorkingCopy.h"

namespace halvern {

class KeyboardLayout;

// What recording remembers across recordings and editors for the whole run of the
// program: the time of the last recorded event and the parameters of the last event
// received, against which a held key's repeats are dropped.
struct RecordingMemory {
    std::uint32_t lastEventTime = 0;
    std::uintptr_t lastWParam = 0;
    std::intptr_t lastLParam = 0;

    static RecordingMemory& Program();
};

// The action a hook event stands for: a mouse message becomes its button's code, any
// other first parameter is a virtual key (usage 0 when the key tables have no row).
MacroAction ActionOfHookEvent(std::uintptr_t wParam, std::intptr_t lParam, const KeyboardLayout& layout);
// Whether a hook event is a mouse button's (what ActionOfHookEvent turns into a button code).
bool IsMouseHookEvent(std::uintptr_t wParam, std::intptr_t lParam);

class MacroRecorder {
public:
    explicit MacroRecorder(RecordingMemory& memory = RecordingMemory::Program()) : memory_(memory) {}

    // Where the recording goes: it replaces the actions when none is selected, else it
    // is inserted after the selected one.
    static void Prepare(MacroWorkingCopy& copy);

    void start(std::uint32_t nowMs, std::uint16_t defaultDelay, DelayMode mode);
    void stop();
    bool recording() const { return recording_; }

    enum class Outcome {
        Ignored,    // a repeat of the previous event
        Added,      // one action added
        AddedFull,  // one action added, and the macro is now full: stop
        Full,       // nothing added, the macro is full: stop
    };
    Outcome onEvent(MacroWorkingCopy& copy, std::uintptr_t wParam, std::intptr_t lParam, std::uint32_t nowMs,
                    const KeyboardLayout& layout);

private:
    std::uint16_t pauseSinceLastEvent(std::uint32_t nowMs) const;

    RecordingMemory& memory_;
    bool recording_ = false;
    bool hasPreviousEvent_ = false;
    std::uint16_t defaultDelay_ = kStandardDelay;
    DelayMode mode_ = DelayMode::Default;
};

}  // namespace halvern
