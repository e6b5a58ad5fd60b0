// The on-screen display that shows the new DPI for a moment in the lower right corner
// of the work area. It is topmost, takes no input and never takes the focus. The main
// window creates it, updates its text and closes it.
#pragma once

#include "ui/kit/SkinWindow.h"

namespace halvern::kit {
class Label;
}

namespace halvern {

class CDPIMsg : public kit::SkinWindow {
public:
    static constexpr int kWidth = 200;
    static constexpr int kHeight = 50;
    static constexpr int kRightGap = 210;  // from the work area's right edge to the left edge
    static constexpr int kBottomGap = 60;  // from the work area's bottom edge to the top edge

    CDPIMsg(kit::Skin& skin, QWidget* owner, QString text);

    QString windowClassName() const override { return u"DPIWnd"_qs; }
    QString skinFile() const override { return u"DPImsg.xml"_qs; }

    // Shows a new text without moving the window.
    void setDpiText(const QString& text);
    const QString& dpiText() const { return m_sText; }
    kit::Label* label() const { return m_pLabel; }

    // Where the display stands for a given work area.
    static QRect PlaceIn(const QRect& workArea);

protected:
    void onInit() override;

private:
    QString m_sText;
    kit::Label* m_pLabel = nullptr;
};

}  // namespace halvern
