// The DPI display stands in the lower right corner of the work area and changes only
// its text while open.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "support/SkinFolder.h"
#include "ui/dialogs/CDPIMsg.h"
#include "ui/kit/Label.h"

using namespace halvern;

TEST(CDPIMsg, StandsInTheLowerRightCornerOfTheWorkArea) {
    EXPECT_EQ(CDPIMsg::PlaceIn(QRect(0, 0, 1920, 1040)), QRect(1710, 980, 200, 50));
    // A work area that does not start at the origin (a panel on the left or top, a
    // second screen) keeps the display inside it.
    EXPECT_EQ(CDPIMsg::PlaceIn(QRect(1920, 32, 1280, 992)), QRect(1920 + 1280 - 210, 32 + 992 - 60, 200, 50));
}

TEST(CDPIMsg, ShowsItsTextAndUpdatesItWithoutMoving) {
    kit::Skin skin(QString::fromStdString(test::SourceSkinFolder().string()));
    CDPIMsg osd(skin, nullptr, QStringLiteral("DPI :800"));
    ASSERT_FALSE(osd.create(kit::WindowKind::Overlay));
    osd.show();
    ASSERT_TRUE(osd.label());
    EXPECT_EQ(osd.label()->QLabel::text(), QStringLiteral("DPI :800"));
    const QRect placed = osd.geometry();
    EXPECT_EQ(placed, CDPIMsg::PlaceIn(QGuiApplication::primaryScreen()->availableGeometry()));
    osd.setDpiText(QStringLiteral("DPI :1600"));
    EXPECT_EQ(osd.label()->QLabel::text(), QStringLiteral("DPI :1600"));
    EXPECT_EQ(osd.geometry(), placed);
}

TEST(CDPIMsg, WithoutItsLabelTheWindowKeepsTheTextAndStaysPut) {
    test::SkinFolder folder;
    folder.write("DPImsg.xml", "<Window size='120,40'/>");
    kit::Skin skin = folder.makeSkin();
    CDPIMsg osd(skin, nullptr, QStringLiteral("DPI :50"));
    osd.create(kit::WindowKind::Overlay);
    EXPECT_EQ(osd.label(), nullptr);
    osd.setDpiText(QStringLiteral("DPI :100"));
    EXPECT_EQ(osd.dpiText(), QStringLiteral("DPI :100"));
    EXPECT_EQ(osd.size(), QSize(120, 40));
}
