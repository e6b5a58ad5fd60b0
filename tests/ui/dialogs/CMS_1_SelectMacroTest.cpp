// The macro selection dialog: what it shows of the button's current macro, how the
// repeat count stays within 1..255, and what OK and Cancel hand back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "support/SkinFolder.h"
#include "ui/dialogs/CMS_1_SelectMacro.h"
#include "ui/kit/Button.h"
#include "ui/kit/Edit.h"
#include "ui/kit/List.h"

using namespace halvern;

namespace {

class SelectMacroDialog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(skin.loadLanguage(QStringLiteral("lan.xml"))); }

    // Opens the dialog over `names` starting from `start`, runs `act` once it shows and
    // returns what Choose would: the choice after OK, nullopt otherwise.
    std::optional<MacroChoice> run(const QStringList& names, MacroChoice start,
                                   const std::function<void(CMS_1_SelectMacro&)>& act) {
        CMS_1_SelectMacro dialog(skin, nullptr, names, start);
        EXPECT_FALSE(dialog.create(kit::WindowKind::Dialog));
        QTimer::singleShot(0, &dialog, [&] { act(dialog); });
        if (dialog.showModal() != 1) return std::nullopt;
        return dialog.choice();
    }

    static kit::Edit* countBox(CMS_1_SelectMacro& d) { return d.find<kit::Edit>(u"edit_loop_time"_qs); }
    static bool countRowShown(CMS_1_SelectMacro& d) {
        return !d.findControl(u"hor_loop_time"_qs)->widget()->isHidden();
    }
    static void click(CMS_1_SelectMacro& d, const char* name) {
        QTest::mouseClick(d.find<kit::Button>(QString::fromLatin1(name)), Qt::LeftButton);
    }
    // Types into the count box as a user would, over what it holds.
    static void typeCount(CMS_1_SelectMacro& d, const QString& text) {
        kit::Edit* box = countBox(d);
        // Focus changes reach the controls only in the active window.
        d.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
    }

    kit::Skin skin{QString::fromStdString(test::SourceSkinFolder().string())};
    const QStringList macros{u"Burst"_qs, u"Reload"_qs, u"Greeting"_qs};
};

}  // namespace

TEST_F(SelectMacroDialog, ShowsTheButtonsMacroModeAndCountAndOkKeepsThem) {
    QStringList rows;
    int selectedRow = -2;
    bool repeat3 = false;
    bool countShown = true;
    QString count;
    auto chosen = run(macros, {1, 2, 7}, [&](CMS_1_SelectMacro& d) {
        auto* list = d.find<kit::List>(u"list_macro"_qs);
        for (int i = 0; i < list->rowCount(); ++i) rows << list->rowText(i);
        selectedRow = list->selectedRow();
        repeat3 = d.find<kit::Option>(u"repeat_3"_qs)->isSelected();
        countShown = countRowShown(d);
        count = countBox(d)->QLineEdit::text();
        click(d, "btn_ok");
    });
    EXPECT_EQ(rows, macros);
    EXPECT_EQ(selectedRow, 1);
    EXPECT_TRUE(repeat3);
    EXPECT_FALSE(countShown) << "the count belongs to the first mode only";
    EXPECT_EQ(count, u"7"_qs);
    EXPECT_EQ(chosen, (MacroChoice{1, 2, 7}));
}

TEST_F(SelectMacroDialog, ChoosingARowAndTheFirstModeReturnsThemWithTheTypedCount) {
    bool countShownAfter = false;
    auto chosen = run(macros, {}, [&](CMS_1_SelectMacro& d) {
        click(d, "repeat_2");
        d.find<kit::List>(u"list_macro"_qs)->setCurrentRow(2);
        click(d, "repeat_1");
        countShownAfter = countRowShown(d);
        typeCount(d, u"3"_qs);
        // OK straight from the box: what it shows is what counts.
        d.find<kit::Button>(u"btn_ok"_qs)->click();
    });
    EXPECT_TRUE(countShownAfter);
    EXPECT_EQ(chosen, (MacroChoice{2, 0, 3}));
}

TEST_F(SelectMacroDialog, TheCountStaysWithinOneTo255AndTakesDigitsOnly) {
    QStringList shown;
    auto chosen = run(macros, {0, 0, 5}, [&](CMS_1_SelectMacro& d) {
        kit::Edit* box = countBox(d);
        typeCount(d, u"300"_qs);
        shown << box->QLineEdit::text();  // at once, while typing
        typeCount(d, u"0"_qs);
        d.find<kit::Button>(u"repeat_1"_qs)->setFocus();  // leaving the box
        shown << box->QLineEdit::text();
        typeCount(d, u"4x2"_qs);
        shown << box->QLineEdit::text();
        typeCount(d, QString());
        QTest::keyClick(box, Qt::Key_Return);
        shown << box->QLineEdit::text();
        typeCount(d, u"12"_qs);
        click(d, "btn_ok");
    });
    EXPECT_EQ(shown, (QStringList{u"255"_qs, u"1"_qs, u"42"_qs, u"1"_qs}));
    EXPECT_EQ(chosen, (MacroChoice{0, 0, 12}));
}

TEST_F(SelectMacroDialog, AnotherModeKeepsTheCountAndOkWithoutARowReturnsNone) {
    auto chosen = run(macros, {-1, 0, 9}, [&](CMS_1_SelectMacro& d) {
        click(d, "repeat_2");
        click(d, "btn_ok");
    });
    EXPECT_EQ(chosen, (MacroChoice{-1, 1, 9}));

    chosen = run({}, {}, [&](CMS_1_SelectMacro& d) {
        EXPECT_EQ(d.find<kit::List>(u"list_macro"_qs)->rowCount(), 0);
        click(d, "btn_ok");
    });
    EXPECT_EQ(chosen, (MacroChoice{-1, 0, 1}));
}

TEST_F(SelectMacroDialog, CancelCloseAndEscapeChooseNothing) {
    for (const char* way : {"btn_cancel", "btn_exit", "Escape"}) {
        auto chosen = run(macros, {0, 0, 1}, [&](CMS_1_SelectMacro& d) {
            d.find<kit::List>(u"list_macro"_qs)->setCurrentRow(2);
            if (std::string(way) == "Escape") QTest::keyClick(&d, Qt::Key_Escape);
            else click(d, way);
        });
        EXPECT_FALSE(chosen) << way;
    }
}

TEST(SelectMacroLoopCount, ClampsTheNumberInTheBox) {
    EXPECT_EQ(CMS_1_SelectMacro::LoopCountOf(QString()), 1);
    EXPECT_EQ(CMS_1_SelectMacro::LoopCountOf(u"0"_qs), 1);
    EXPECT_EQ(CMS_1_SelectMacro::LoopCountOf(u"1"_qs), 1);
    EXPECT_EQ(CMS_1_SelectMacro::LoopCountOf(u"255"_qs), 255);
    EXPECT_EQ(CMS_1_SelectMacro::LoopCountOf(u"256"_qs), 255);
    EXPECT_EQ(CMS_1_SelectMacro::LoopCountOf(u"99999999999999999999999"_qs), 255);
}
