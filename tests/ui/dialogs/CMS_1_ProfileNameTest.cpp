// The profile name dialog: which names it takes, how it says no, and how it ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "support/SkinFolder.h"
#include "ui/dialogs/CMS_1_ProfileName.h"
#include "ui/kit/Button.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Label.h"

using namespace halvern;

namespace {

class ProfileNameDialog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(skin.loadLanguage(QStringLiteral("lan.xml"))); }

    // Opens the dialog over the names "Game" and "Work" and runs `act` once it shows;
    // every message box it opens is noted and confirmed. Returns the dialog's result.
    int run(const std::function<void(CMS_1_ProfileName&)>& act) {
        CMS_1_ProfileName dialog(skin, nullptr, QStringLiteral("profile_name_2_text"), [](const QString& typed) {
            return typed.compare(u"Game"_qs, Qt::CaseInsensitive) == 0 ||
                   typed.compare(u"Work"_qs, Qt::CaseInsensitive) == 0;
        });
        EXPECT_FALSE(dialog.create(kit::WindowKind::Dialog));
        title = dialog.find<kit::Label>(u"title_string"_qs)->QLabel::text();
        QTimer boxes;
        QObject::connect(&boxes, &QTimer::timeout, [&] {
            auto* top = dynamic_cast<kit::SkinWindow*>(QApplication::activeModalWidget());
            if (!top || top == &dialog) return;
            warnings << top->find<kit::Label>(u"warning"_qs)->QLabel::text();
            top->closeWindow(1);
        });
        boxes.start(1);
        QTimer::singleShot(0, &dialog, [&] { act(dialog); });
        const int result = dialog.showModal();
        name = dialog.name();
        return result;
    }

    static void type(CMS_1_ProfileName& dialog, const QString& text) {
        kit::Edit* edit = dialog.find<kit::Edit>(u"edit_name"_qs);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
    static void clickOk(CMS_1_ProfileName& dialog) {
        QTest::mouseClick(dialog.find<kit::Button>(u"btn_ok"_qs), Qt::LeftButton);
    }
    QString warned(const char* key) const { return skin.text(QString::fromLatin1(key)); }

    kit::Skin skin{QString::fromStdString(test::SourceSkinFolder().string())};
    QString title;
    QString name;
    QStringList warnings;
};

}  // namespace

TEST_F(ProfileNameDialog, AcceptsANewNameAndShowsItsTitle) {
    EXPECT_EQ(run([](CMS_1_ProfileName& d) {
                  type(d, u"Evening"_qs);
                  clickOk(d);
              }),
              1);
    EXPECT_EQ(name, u"Evening"_qs);
    EXPECT_EQ(title, skin.text(u"profile_name_2_text"_qs));
    EXPECT_TRUE(warnings.isEmpty());
}

TEST_F(ProfileNameDialog, StartsEmptyAndRefusesTheEmptyNameStayingOpen) {
    QString startText;
    EXPECT_EQ(run([&](CMS_1_ProfileName& d) {
                  startText = d.find<kit::Edit>(u"edit_name"_qs)->QLineEdit::text();
                  clickOk(d);
                  type(d, u"Later"_qs);
                  clickOk(d);
              }),
              1);
    EXPECT_EQ(startText, QString());
    EXPECT_EQ(warnings, QStringList{warned("warn_name_1_text")});
    EXPECT_EQ(name, u"Later"_qs);
}

TEST_F(ProfileNameDialog, RefusesANameTakenInAnyLetterCaseAndKeepsTheText) {
    QString kept;
    EXPECT_EQ(run([&](CMS_1_ProfileName& d) {
                  type(d, u"gAME"_qs);
                  clickOk(d);
                  kept = d.find<kit::Edit>(u"edit_name"_qs)->QLineEdit::text();
                  d.find<kit::Button>(u"btn_cancel"_qs)->click();
              }),
              0);
    EXPECT_EQ(warnings, QStringList{warned("warn_name_2_text")});
    EXPECT_EQ(kept, u"gAME"_qs);
    EXPECT_EQ(name, QString());
}

TEST_F(ProfileNameDialog, ANameOfBlanksIsAName) {
    EXPECT_EQ(run([](CMS_1_ProfileName& d) {
                  type(d, u"   "_qs);
                  clickOk(d);
              }),
              1);
    EXPECT_EQ(name, u"   "_qs);
    EXPECT_TRUE(warnings.isEmpty());
}

TEST_F(ProfileNameDialog, EnterConfirmsLikeOk) {
    EXPECT_EQ(run([](CMS_1_ProfileName& d) {
                  type(d, u"Work"_qs);
                  QTest::keyClick(d.find<kit::Edit>(u"edit_name"_qs), Qt::Key_Return);
                  type(d, u"Night"_qs);
                  QTest::keyClick(d.find<kit::Edit>(u"edit_name"_qs), Qt::Key_Return);
              }),
              1);
    EXPECT_EQ(warnings, QStringList{warned("warn_name_2_text")});
    EXPECT_EQ(name, u"Night"_qs);
}

TEST_F(ProfileNameDialog, EscapeCancelAndTheCloseButtonEndWithZero) {
    EXPECT_EQ(run([](CMS_1_ProfileName& d) {
                  type(d, u"Unused"_qs);
                  QTest::keyClick(d.find<kit::Edit>(u"edit_name"_qs), Qt::Key_Escape);
              }),
              0);
    EXPECT_EQ(
        run([](CMS_1_ProfileName& d) { QTest::mouseClick(d.find<kit::Button>(u"btn_cancel"_qs), Qt::LeftButton); }), 0);
    EXPECT_EQ(run([](CMS_1_ProfileName& d) { QTest::mouseClick(d.find<kit::Button>(u"btn_exit"_qs), Qt::LeftButton); }),
              0);
    EXPECT_EQ(run([](CMS_1_ProfileName& d) { d.close(); }), 0);
    EXPECT_EQ(name, QString());
}

TEST_F(ProfileNameDialog, TakesNoMoreThanANameFieldHolds) {
    EXPECT_EQ(run([](CMS_1_ProfileName& d) {
                  type(d, QString(120, u'x'));
                  clickOk(d);
              }),
              1);
    EXPECT_EQ(name, QString(99, u'x'));
}
