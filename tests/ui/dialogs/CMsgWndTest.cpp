// The message box: language texts for the keys it is given, and only OK confirms.
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include "support/SkinFolder.h"
#include "ui/dialogs/CMsgWnd.h"
#include "ui/kit/Button.h"
#include "ui/kit/Label.h"

using namespace halvern;

namespace {

class MsgBox : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(skin.loadLanguage(QStringLiteral("lan.xml"))); }

    // Opens the box modally and runs `act` on it once it shows; returns the result.
    int answer(const std::function<void(CMsgWnd&)>& act) {
        CMsgWnd box(skin, nullptr);
        box.setTitle(QStringLiteral("warning_title_text"));
        box.setMessage(QStringLiteral("delete_profile_text"));
        EXPECT_FALSE(box.create(kit::WindowKind::Dialog));
        box.centerWindow();
        QTimer::singleShot(0, &box, [&] {
            title = box.find<kit::Label>(QStringLiteral("warning_title"))->QLabel::text();
            message = box.find<kit::Label>(QStringLiteral("warning"))->QLabel::text();
            act(box);
        });
        return box.showModal();
    }

    kit::Skin skin{QString::fromStdString(test::SourceSkinFolder().string())};
    QString title, message;
};

}  // namespace

TEST_F(MsgBox, OkConfirmsWithOneAndShowsTheTextsOfItsKeys) {
    EXPECT_EQ(answer([](CMsgWnd& box) {
                  QTest::mouseClick(box.find<kit::Button>(QStringLiteral("btn_ok")), Qt::LeftButton);
              }),
              1);
    EXPECT_EQ(title, skin.text(QStringLiteral("warning_title_text")));
    EXPECT_EQ(message, skin.text(QStringLiteral("delete_profile_text")));
    EXPECT_NE(title, QStringLiteral("warning_title_text"));
}

TEST_F(MsgBox, CancelEscapeAndTheWindowCloseAllGiveZero) {
    EXPECT_EQ(answer([](CMsgWnd& box) {
                  QTest::mouseClick(box.find<kit::Button>(QStringLiteral("btn_cancel")), Qt::LeftButton);
              }),
              0);
    EXPECT_EQ(answer([](CMsgWnd& box) { QTest::keyClick(&box, Qt::Key_Escape); }), 0);
    EXPECT_EQ(answer([](CMsgWnd& box) { box.close(); }), 0);
}
