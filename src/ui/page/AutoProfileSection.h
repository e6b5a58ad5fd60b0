// The section "Automatic profiles": profiles that follow the application in front. It
// shows and edits the rules kept in CONFIG.ini (storage/FocusRules), hears the desktop
// through a FocusWatcher, and tells the page which profile the window in front asks for;
// the page decides when the switch may happen (not while an apply runs or the user
// edits) and makes it as choosing the profile's row does, sending only what differs.
//
// Rules name profiles by name: they follow a rename made in the page; a rule whose
// profile is gone is kept, shown as such, and switches nothing. halvern's own windows
// and a window the desktop gives no name leave the profile as it is, so that looking at
// the page never switches it away. A change of CONFIG.ini made outside (halvernctl, an
// editor) is read when the file is replaced, through the folder's change notices.
// Main thread only.
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FocusWatcher.h"
#include "storage/FocusRules.h"
#include "ui/page/PageContext.h"
#include "ui/page/PageSection.h"

class QFileSystemWatcher;

namespace halvern {

namespace kit {
class Button;
class CheckBox;
class Combo;
class Edit;
class Label;
class List;
}  // namespace kit

class AutoProfileSection final : public PageSection {
public:
    // `watcher` may be null (no desktop to follow); `ownApplications` are the names the
    // program's own windows have. `focusChanged` is called whenever what the window in
    // front asks for may have changed: another window, other rules, another list.
    AutoProfileSection(PageContext& context, FocusWatcher* watcher, std::vector<std::string> ownApplications,
                       std::function<void()> focusChanged);
    ~AutoProfileSection() override;

    void bind(SectionBinder& controls) override;
    // The rule list and the profile choices follow the stored profiles.
    void refresh(const MouseProfile& profile) override;
    PageEdit handle(const kit::Notification& n, MouseProfile& profile) override;

    // Reads the rules; before the first refresh.
    void loadRules();
    // Starts the watcher and the watch on CONFIG.ini: once the window is up.
    void startWatching();
    // A profile was renamed in the page: the rules follow it.
    void profileRenamed(std::u16string_view from, std::u16string_view to);

    // The stored profile's row the window in front asks for; nullopt to leave it.
    std::optional<int> wantedRow() const;
    const FocusRules& rules() const { return rules_; }
    FocusSource source() const { return watcher_ ? watcher_->source() : FocusSource::None; }

private:
    void onFocus(const FocusedWindow& window);
    void rulesFileChanged();
    void changeRules(const std::function<bool(FocusRules&)>& edit);
    void showRules();
    void fillProfileChoices();
    void fillOpenApplications();
    void showDesktop();
    void addRule();
    std::optional<int> rowOf(std::u16string_view profile) const;
    QString ruleText(const FocusRule& rule) const;
    QString profileText(std::u16string_view profile) const;

    PageContext& context_;
    FocusWatcher* watcher_;
    std::vector<std::string> ownApplications_;
    std::function<void()> focusChanged_;
    bool watching_ = false;
    bool watcherFailed_ = false;
    FocusRules rules_;
    FocusedWindow focused_;
    std::unique_ptr<QFileSystemWatcher> fileWatch_;

    kit::CheckBox* header_ = nullptr;
    kit::Control* panel_ = nullptr;
    kit::CheckBox* enabled_ = nullptr;
    kit::Label* desktop_ = nullptr;
    kit::List* list_ = nullptr;
    kit::Button* up_ = nullptr;
    kit::Button* down_ = nullptr;
    kit::Button* remove_ = nullptr;
    kit::Edit* application_ = nullptr;
    kit::Combo* openApplications_ = nullptr;
    kit::Combo* profile_ = nullptr;
    kit::Button* add_ = nullptr;
    kit::Combo* fallback_ = nullptr;
    std::vector<std::string> listedApplications_;  // the open-windows choice, after its first item
};

}  // namespace halvern
