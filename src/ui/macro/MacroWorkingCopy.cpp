#include "ui/macro/MacroWorkingCopy.h"

#include <algorithm>
#include <span>

#include "protocol/CommandReports.h"

namespace halvern {

void MacroWorkingCopy::load(const MacroRecord& macro) {
    std::copy(std::begin(macro.actions), std::end(macro.actions), actions.begin());
    actionCount = static_cast<int>(macro.validActionCount());
    if (actionCount == 0) iActionIndex = -1;
}

void MacroWorkingCopy::storeInto(MacroRecord& macro) const {
    std::copy(actions.begin(), actions.end(), std::begin(macro.actions));
    macro.actionCount = actionCount;
}

int MacroWorkingCopy::totalNum() const {
    int total = 0;
    for (int i = 0; i < actionCount; ++i) total += actions[static_cast<std::size_t>(i)].delay > 128 ? 2 : 1;
    return total;
}

bool MacroWorkingCopy::fitsOneButton() const {
    const auto count = static_cast<std::size_t>(std::clamp(actionCount, 0, static_cast<int>(kMaxMacroActions)));
    return FitMacro(std::span(actions.data(), count)).fits();
}

bool MacroWorkingCopy::moveUp() {
    const int r = iActionIndex;
    if (r < 1 || r >= actionCount) return false;
    std::swap(actions[static_cast<std::size_t>(r - 1)], actions[static_cast<std::size_t>(r)]);
    iActionIndex = r - 1;
    return true;
}

bool MacroWorkingCopy::moveDown() {
    const int r = iActionIndex;
    if (r < 0 || r >= actionCount - 1) return false;
    std::swap(actions[static_cast<std::size_t>(r)], actions[static_cast<std::size_t>(r + 1)]);
    iActionIndex = r + 1;
    return true;
}

bool MacroWorkingCopy::deleteSelected() {
    const int r = iActionIndex;
    if (r < 0 || r >= actionCount) return false;
    auto at = actions.begin() + r;
    std::move(at + 1, actions.begin() + actionCount, at);
    --actionCount;
    actions[static_cast<std::size_t>(actionCount)] = {};
    iActionIndex = actionCount == 0 ? -1 : std::min(r, actionCount - 1);
    return true;
}

void MacroWorkingCopy::clear() {
    actions.fill({});
    actionCount = 0;
    insertMode = false;
    insertIndex = -1;
    iActionIndex = -1;
}

bool MacroWorkingCopy::insert(const MacroAction& action) {
    if (actionCount >= static_cast<int>(kMaxMacroActions)) return false;
    const int at = insertIndex < 0 ? actionCount : std::min(insertIndex, actionCount);
    std::move_backward(actions.begin() + at, actions.begin() + actionCount, actions.begin() + actionCount + 1);
    actions[static_cast<std::size_t>(at)] = action;
    ++actionCount;
    if (insertIndex >= 0) insertIndex = at + 1;
    iActionIndex = at;
    return true;
}

bool MacroWorkingCopy::insertClick(std::uint8_t code, std::uint16_t delay) {
    insertMode = true;
    insertIndex = iActionIndex + 1;
    const bool fits = actionCount + 2 <= static_cast<int>(kMaxMacroActions);
    if (fits) {
        insert({code, MacroAction::Press, delay});
        insert({code, MacroAction::Release, delay});
    }
    return fits;
}

int ItemOfMouseCode(std::uint8_t code) {
    for (std::size_t i = 0; i < kMouseCodeOfItem.size(); ++i)
        if (kMouseCodeOfItem[i] == code) return static_cast<int>(i);
    return -1;
}

std::uint16_t ClampDelay(long long typed) {
    return static_cast<std::uint16_t>(std::clamp<long long>(typed, kMinDelay, kMaxDelay));
}

}  // namespace halvern
