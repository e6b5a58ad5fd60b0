// The mouse picture chooser: three options and the container that shows the chosen
// picture. The choice is the program's, not the profile's: it is kept in CONFIG.ini
// and never sent to the mouse.
#pragma once

#include <array>
#include <filesystem>

#include "ui/page/PageSection.h"

namespace halvern {

namespace kit {
class Option;
}

class MousePicture final : public PageSection {
public:
    explicit MousePicture(std::filesystem::path dataFolder) : dataFolder_(std::move(dataFolder)) {}

    void bind(SectionBinder& controls) override;
    // Names the options for screen readers ("Mouse picture 2"); the picture itself is
    // not the profile's.
    void refresh(const MouseProfile&) override;
    PageEdit handle(const kit::Notification& n, MouseProfile& profile) override;

    // Shows the picture CONFIG.ini names; a number it does not hold is written back
    // once the window is up (keepFirstChoice), so a first start waits for no disk.
    void showStored();
    void keepFirstChoice();

private:
    void show(int modelId);

    std::filesystem::path dataFolder_;
    std::array<kit::Option*, 3> options_{};
    kit::Control* picture_ = nullptr;
    int modelId_ = 0;
    bool toWrite_ = false;
};

}  // namespace halvern
