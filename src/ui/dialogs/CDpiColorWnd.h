// The colour picker that opens under a colour button of the settings page (a DPI
// level's colour, the light colour): a palette, sixteen preset swatches and the red,
// green and blue values as numbers. OK ends it with 1 and the colour in color(), Cancel
// (or Escape, or the window manager) with 0.
#pragma once

#include <QPoint>

#include <array>
#include <cstdint>

#include "ui/kit/SkinWindow.h"

namespace halvern::kit {
class Button;
class ColorPalette;
class Control;
class Edit;
}  // namespace halvern::kit

namespace halvern {

class CDpiColorWnd : public kit::SkinWindow {
public:
    static constexpr std::array<std::uint32_t, 16> kPresets = {
        0xFF00FFFF, 0xFF6CFF00, 0xFF7F00FF, 0xFF007FFF, 0xFF0000FF, 0xFF7FFF00, 0xFFFF5400, 0xFFFF7F00,
        0xFFFFB400, 0xFFFFFF00, 0xFFFF0000, 0xFFFF00FF, 0xFF1EB40A, 0xFF48B1FF, 0xFFFF48B0, 0xFFFFFFFF,
    };

    CDpiColorWnd(kit::Skin& skin, QWidget* owner);

    QString windowClassName() const override { return u"DpiColorWnd"_qs; }
    QString skinFile() const override { return u"DpiColorDialog.xml"_qs; }

    // Set before create(): the colour to start from (0xAARRGGBB) and the screen
    // position of the window's top-left corner.
    void setColor(std::uint32_t argb) { color_ = argb; }
    void setOrigin(QPoint origin) { origin_ = origin; }
    std::uint32_t color() const { return color_; }

    // Opens the picker modally at `origin`, kept on the screen; the chosen colour, or
    // nullopt when the user cancelled.
    static std::optional<std::uint32_t> Pick(kit::Skin& skin, QWidget* owner, std::uint32_t argb, QPoint origin);

protected:
    void onInit() override;
    void notify(const kit::Notification& n) override;

private:
    void showColor();
    void showColorExceptEdits();
    void onComponentEdited(int component);

    std::uint32_t color_ = 0xFF000000;
    QPoint origin_;
    kit::Button* confirmBtn_ = nullptr;
    kit::Button* cancelBtn_ = nullptr;
    kit::Control* colorShow_ = nullptr;
    kit::ColorPalette* palette_ = nullptr;
    std::array<kit::Edit*, 3> componentEdits_{};  // red, green, blue
    std::array<kit::Button*, 16> swatches_{};
    bool settingEdits_ = false;
};

}  // namespace halvern
