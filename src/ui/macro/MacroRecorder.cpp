#include "ui/macro/MacroRecorder.h"

#include <algorithm>

#include "keys/KeyCodeTable.h"

namespace halvern {

RecordingMemory& RecordingMemory::Program() {
    static RecordingMemory memory;
    return memory;
}

namespace {

constexpr int kFullAt = 160;

struct MouseMessage {
    std::uintptr_t id;
    std::uint8_t code;
    std::uint8_t kind;
};
constexpr MouseMessage kMouseMessages[] = {
    {0x201, kMouseLeft, MacroAction::Press},   {0x202, kMouseLeft, MacroAction::Release},
    {0x204, kMouseRight, MacroAction::Press},  {0x205, kMouseRight, MacroAction::Release},
    {0x207, kMouseMiddle, MacroAction::Press}, {0x208, kMouseMiddle, MacroAction::Release},
};
constexpr std::uintptr_t kSideDown = 0x20B, kSideUp = 0x20C;

}  // namespace

bool IsMouseHookEvent(std::uintptr_t wParam, std::intptr_t lParam) {
    for (const MouseMessage& m : kMouseMessages)
        if (m.id == wParam) return true;
    return (wParam == kSideDown || wParam == kSideUp) && (lParam == 1 || lParam == 2);
}

MacroAction ActionOfHookEvent(std::uintptr_t wParam, std::intptr_t lParam, const KeyboardLayout& layout) {
    for (const MouseMessage& m : kMouseMessages)
        if (m.id == wParam) return {m.code, m.kind, 0};
    if (IsMouseHookEvent(wParam, lParam)) {
        const std::uint8_t code = lParam == 2 ? kMouseBackward : kMouseForward;
        return {code, wParam == kSideDown ? MacroAction::Press : MacroAction::Release, 0};
    }
    const UsageLookup usage = VirtualKeyToUsage(static_cast<std::int32_t>(wParam), layout);
    return {static_cast<std::uint8_t>(usage.found ? usage.usage : 0),
            lParam == 0 ? MacroAction::Press : MacroAction::Release, 0};
}

void MacroRecorder::Prepare(MacroWorkingCopy& copy) {
    if (copy.iActionIndex < 0) {
        copy.actionCount = 0;
        copy.actions.fill({});
        copy.insertIndex = -1;
        copy.insertMode = false;
    } else {
        copy.insertIndex = copy.iActionIndex + 1;
        copy.insertMode = true;
    }
    copy.insertStart = copy.insertIndex;
}

void MacroRecorder::start(std::uint32_t nowMs, std::uint16_t defaultDelay, DelayMode mode) {
    recording_ = true;
    hasPreviousEvent_ = true;  // the first event is timed from the start
    defaultDelay_ = defaultDelay;
    mode_ = mode;
    memory_.lastEventTime = nowMs;
}

void MacroRecorder::stop() {
    memory_.lastEventTime = 0;
    recording_ = false;
    hasPreviousEvent_ = false;
}

std::uint16_t MacroRecorder::pauseSinceLastEvent(std::uint32_t nowMs) const {
    switch (mode_) {
        case DelayMode::Record:
            return static_cast<std::uint16_t>(std::min<std::uint32_t>(nowMs - memory_.lastEventTime, kMaxDelay));
        case DelayMode::Default: return defaultDelay_;
        case DelayMode::None: break;
    }
    return 1;
}

MacroRecorder::Outcome MacroRecorder::onEvent(MacroWorkingCopy& copy, std::uintptr_t wParam, std::intptr_t lParam,
                                              std::uint32_t nowMs, const KeyboardLayout& layout) {
    if (wParam == memory_.lastWParam && lParam == memory_.lastLParam) return Outcome::Ignored;
    memory_.lastWParam = wParam;
    memory_.lastLParam = lParam;
    if (copy.totalNum() >= kFullAt) return Outcome::Full;

    MacroAction action = ActionOfHookEvent(wParam, lParam, layout);
    action.delay = kStandardDelay;
    if (hasPreviousEvent_) {
        action.delay = pauseSinceLastEvent(nowMs);
        // The pause belongs to the action recorded before this one. The first event of
        // a recording has none: the actions that were there keep their own pauses, the
        // one after the insertion point too.
        int carrier = -1;
        if (copy.insertIndex == -1) carrier = copy.actionCount - 1;
        else if (copy.insertIndex != copy.insertStart) carrier = copy.insertIndex - 1;
        if (carrier >= 0 && carrier < copy.actionCount)
            copy.actions[static_cast<std::size_t>(carrier)].delay = action.delay;
    }
    if (copy.insert(action)) {
        const int added = copy.insertIndex == -1 ? copy.actionCount - 1 : copy.insertIndex - 1;
        copy.actions[static_cast<std::size_t>(added)].delay = kStandardDelay;
    }
    memory_.lastEventTime = nowMs;
    hasPreviousEvent_ = true;
    return copy.actionCount >= kFullAt ? Outcome::AddedFull : Outcome::Added;
}

}  // namespace halvern
