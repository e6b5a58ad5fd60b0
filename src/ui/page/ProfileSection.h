// The profile section: the list of stored profiles and its actions (add, delete, rename,
// import, export, and the two buttons that restore the selected profile's defaults).
// Choosing a row makes that profile current and sends all of it; every action that
// changes the list is kept at once.
#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <string_view>

#include "ui/page/PageContext.h"
#include "ui/page/PageSection.h"

namespace halvern {

namespace kit {
class Button;
class List;
}  // namespace kit

class ProfileSection final : public PageSection {
public:
    explicit ProfileSection(PageContext& context) : context_(context) {}

    void bind(SectionBinder& controls) override;
    // The list's selection follows the store's selected profile.
    void refresh(const MouseProfile& profile) override;
    PageEdit handle(const kit::Notification& n, MouseProfile& profile) override;

    // One row per stored profile, the selected one selected.
    void fillList();
    // The row made current for the application in front: as choosing it, but the mouse
    // gets only what differs from what it holds.
    PageEdit followRule(int row);
    // Told of every rename, after it (the rules that name profiles follow it).
    void onRenamed(std::function<void(std::u16string_view from, std::u16string_view to)> listener) {
        renamed_ = std::move(listener);
    }

private:
    PageEdit chooseRow(int row);
    PageEdit makeCurrent(int row);
    PageEdit addProfile();
    PageEdit deleteProfile();
    PageEdit renameProfile(MouseProfile& profile);
    PageEdit restoreProfile(MouseProfile& profile);
    PageEdit importProfile();
    void exportProfile(const MouseProfile& profile);

    std::optional<QString> askProfileName(const char* titleKey);
    // Where the profile file dialogs start: the folder used last, else home.
    QString profileFileFolder() const;
    void rememberProfileFolder(const QString& file);

    PageContext& context_;
    kit::List* list_ = nullptr;
    kit::Button* add_ = nullptr;
    kit::Button* delete_ = nullptr;
    kit::Button* rename_ = nullptr;
    kit::Button* import_ = nullptr;
    kit::Button* export_ = nullptr;
    kit::Button* reset_ = nullptr;
    kit::Button* resetAll_ = nullptr;  // "ms_1_btn_reset" beside "Apply"
    std::function<void(std::u16string_view, std::u16string_view)> renamed_;
};

}  // namespace halvern
