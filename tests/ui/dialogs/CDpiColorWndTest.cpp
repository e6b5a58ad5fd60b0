// The colour picker: presets, the palette and typed components all end in one colour,
// which OK hands back and Cancel throws away; it never opens off the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "support/SkinFolder.h"
#include "ui/dialogs/CDpiColorWnd.h"
#include "ui/kit/Button.h"
#include "ui/kit/ColorPalette.h"
#include "ui/kit/Edit.h"

using namespace halvern;

namespace {

class Picker : public ::testing::Test {
protected:
    void open(std::uint32_t argb, QPoint origin = {100, 100}) {
        picker = std::make_unique<CDpiColorWnd>(skin, nullptr);
        picker->setColor(argb);
        picker->setOrigin(origin);
        ASSERT_FALSE(picker->create(kit::WindowKind::Dialog));
    }
    kit::Edit* edit(const char* name) { return picker->find<kit::Edit>(QString::fromLatin1(name)); }
    QString shown(const char* name) { return edit(name)->QLineEdit::text(); }
    void typeInto(const char* name, const QString& text) { edit(name)->setText(text, kit::Notify::Yes); }

    kit::Skin skin{QString::fromStdString(test::SourceSkinFolder().string())};
    std::unique_ptr<CDpiColorWnd> picker;
};

}  // namespace

TEST_F(Picker, OpensWithItsColourInEveryPart) {
    open(0xFF00FF00);
    EXPECT_EQ(shown("r_edit"), u"0"_qs);
    EXPECT_EQ(shown("g_edit"), u"255"_qs);
    EXPECT_EQ(shown("b_edit"), u"0"_qs);
    EXPECT_EQ(picker->find<kit::ColorPalette>(u"ColorPallet"_qs)->selectedColor(), 0xFF00FF00u);
    EXPECT_EQ(picker->findControl(u"color_show_control"_qs)->bkColor(), QColor(0, 255, 0));
    for (int i = 1; i <= 16; ++i)
        EXPECT_EQ(picker->find<kit::Button>(u"mouse_dpi_color_%1"_qs.arg(i))->bkColor().rgba(),
                  CDpiColorWnd::kPresets[static_cast<std::size_t>(i - 1)]);
}

TEST_F(Picker, SwatchesPaletteAndTypedValuesAllSetTheColour) {
    open(0xFF000000);
    picker->find<kit::Button>(u"mouse_dpi_color_11"_qs)->click();
    EXPECT_EQ(picker->color(), 0xFFFF0000u);
    EXPECT_EQ(shown("r_edit"), u"255"_qs);
    EXPECT_EQ(shown("g_edit"), u"0"_qs);

    typeInto("g_edit", u"128"_qs);
    EXPECT_EQ(picker->color(), 0xFFFF8000u);
    EXPECT_EQ(picker->find<kit::ColorPalette>(u"ColorPallet"_qs)->selectedColor(), 0xFFFF8000u);
    // Too large a number is cut to 255 in the box too; an empty box counts as 0.
    typeInto("b_edit", u"300"_qs);
    EXPECT_EQ(shown("b_edit"), u"255"_qs);
    EXPECT_EQ(picker->color(), 0xFFFF80FFu);
    typeInto("r_edit", u""_qs);
    EXPECT_EQ(picker->color(), 0xFF0080FFu);

    picker->find<kit::ColorPalette>(u"ColorPallet"_qs)->setSelectedColor(0xFF123456, kit::Notify::Yes);
    EXPECT_EQ(picker->color(), 0xFF123456u);
    EXPECT_EQ(shown("r_edit"), u"18"_qs);
}

TEST_F(Picker, OkHandsTheColourBackAndCancelGivesNothing) {
    for (const char* button : {"confirm_btn", "cancel_btn"}) {
        QTimer::singleShot(0, [&] {
            auto* modal = dynamic_cast<CDpiColorWnd*>(QApplication::activeModalWidget());
            ASSERT_TRUE(modal);
            modal->template find<kit::Button>(u"mouse_dpi_color_5"_qs)->click();
            modal->template find<kit::Button>(QString::fromLatin1(button))->click();
        });
        const std::optional<std::uint32_t> chosen = CDpiColorWnd::Pick(skin, nullptr, 0xFF00FF00, {50, 50});
        if (std::string(button) == "confirm_btn") EXPECT_EQ(chosen, std::optional<std::uint32_t>(0xFF0000FFu));
        else EXPECT_EQ(chosen, std::nullopt);
    }
}

TEST_F(Picker, NeverOpensOffTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    open(0xFFFFFFFF, area.bottomRight() + QPoint(50, 50));
    EXPECT_TRUE(area.contains(picker->geometry())) << picker->geometry().x() << "," << picker->geometry().y();
    open(0xFFFFFFFF, QPoint(-400, area.top() + 10));
    EXPECT_EQ(picker->geometry().left(), area.left());
}
