// The button section: what each of the 18 key buttons shows of its entry, the menu that
// reassigns buttons 1..12 with the two dialogs behind its "key" and "macro" items, and
// the macro editor, after which every profile's macro copies follow the edited list.
// Every assignment is sent at once.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <memory>
#include <vector>

#include "storage/ProfileStore.h"
#include "ui/kit/MenuWindow.h"
#include "ui/page/PageContext.h"
#include "ui/page/PageSection.h"

namespace halvern {

namespace kit {
class Button;
}

class ButtonSection final : public PageSection {
public:
    explicit ButtonSection(PageContext& context);
    ~ButtonSection() override;

    void bind(SectionBinder& controls) override;
    void refresh(const MouseProfile& profile) override;
    PageEdit handle(const kit::Notification& n, MouseProfile& profile) override;

    // A menu item of the assignment menu, chosen for the button it was opened for.
    PageEdit onMenuItem(const QString& item, MouseProfile& profile);
    // After the macro list changed (the editor closed): every profile's macro copies
    // follow the renames and the list, kept at once; the current profile is shown and
    // sent when it changed.
    PageEdit reconcileMacroCopies(const std::vector<MacroRename>& renames, const MouseProfile& current);

    // The assignment menu opened last (it may be closed by now), or nullptr.
    kit::MenuWindow* assignMenu() const { return assignMenu_.get(); }

    // Where the assignment menu of a key button opens: to the right of the button, level
    // with its top; when that would reach the bottom of the screen, above, its bottom
    // edge 25 pixels below the button's top. Screen coordinates throughout.
    static QPoint AssignMenuOrigin(const QRect& button, const QSize& menu, const QRect& screen);

private:
    void showAssignment(int n, const MouseProfile& profile);
    void showFunction(kit::Button* button, const ButtonAssignment& entry);
    void nameKeyButton(kit::Button* button, int n);
    void openAssignMenu(int n);
    PageEdit openMacroEditor(const MouseProfile& profile);
    // The dialogs behind the "key" and "macro" items; false when the entry stays as it was.
    bool assignKey(ButtonAssignment& entry);
    bool assignMacro(ButtonAssignment& entry);

    PageContext& context_;
    std::array<kit::Button*, kButtonPositions> keys_{};
    kit::Button* macroEditor_ = nullptr;
    int assigningButton_ = -1;  // entry 0..11 the assignment menu was opened for
    std::unique_ptr<kit::MenuWindow> assignMenu_;
};

}  // namespace halvern
