// Profiles that follow the application in front, on the real page with the real X11
// watcher: a private X server where the test moves _NET_ACTIVE_WINDOW as a window
// manager does, the mouse a recording one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <memory>

#include "platform/XcbFocusWatcher.h"
#include "protocol/ApplySequence.h"
#include "storage/FocusRules.h"
#include "support/PageHarness.h"
#include "support/X11WindowManager.h"
#include "support/XvfbServer.h"
#include "ui/kit/Combo.h"
#include "ui/kit/Edit.h"
#include "ui/kit/List.h"
#include "ui/page/AutoProfileSection.h"

namespace halvern::test {
namespace {

using std::string_literals::operator""s;

class AutoProfiles : public PageHarness {
protected:
    // Three profiles that differ in the first DPI level only; rules for two
    // applications, the fallback left to the test.
    void SetUp() override {
        PageHarness::SetUp();
        ASSERT_TRUE(x.ok()) << x.err();
        wm = std::make_unique<X11WindowManager>(x.display());
        shooter = wm->window("shooter\0Xmessage\0"s);
        browser = wm->window("Navigator\0firefox\0"s);
        other = wm->window("other\0Other\0"s);
        own = wm->window("halvern\0Halvern\0"s);
        watcher = std::make_unique<XcbFocusWatcher>(FocusSource::X11, x.display());
        focusWatcher = watcher.get();
        store({[](MouseProfile& p) { p.dpiValue[0] = 8; }, [](MouseProfile& p) { p.dpiValue[0] = 16; },
               [](MouseProfile& p) { p.dpiValue[0] = 32; }});
        FocusRules rules;
        rules.set("shooter", u"P2");
        rules.set("firefox", u"P3");
        ASSERT_EQ(SaveFocusRules(data.path(), rules), std::nullopt);
    }

    // The window in front is now `window`; the page has heard of it when this returns.
    void bringToFront(std::uint32_t id) {
        wm->activate(id);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        settle();
    }

    void waitFor(const std::function<bool()>& done) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_TRUE(done());
    }

    int selected() { return page->profileStore().selectedProfile(); }

    // What the mouse gets when it holds `from` and `to` is applied without a full apply.
    std::vector<int> diffIds(int from, int to) {
        std::vector<int> ids;
        const ProfileStore& s = page->profileStore();
        for (const Report& r :
             PlanApply(s.at(static_cast<std::size_t>(to)), s.at(static_cast<std::size_t>(from)), false))
            ids.push_back(r.bytes().empty() ? -1 : r.bytes()[0]);
        return ids;
    }

    std::vector<std::uint8_t> storeBytes() {
        const auto bytes = ReadAll(ModelFolder(data.path()) / ProfileStore::kFileName);
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    }

    QStringList ruleRows() {
        QStringList rows;
        auto* list = find<kit::List>("ms_1_list_auto_rules");
        for (int i = 0; i < list->rowCount(); ++i) rows << list->rowText(i);
        return rows;
    }

    XvfbServer x;
    std::unique_ptr<X11WindowManager> wm;
    std::unique_ptr<XcbFocusWatcher> watcher;
    std::uint32_t shooter = 0, browser = 0, other = 0, own = 0;
};

TEST_F(AutoProfiles, AFocusChangeSwitchesAsTheRowDoesWithOnlyTheDifferingReports) {
    open();
    // Until one apply went through, what the mouse holds is unknown and a switch sends all.
    applyAndForget();
    EXPECT_EQ(selected(), 0);
    const std::vector<std::uint8_t> before = storeBytes();

    bringToFront(shooter);
    EXPECT_EQ(selected(), 1);
    EXPECT_EQ(find<kit::List>("ms_1_list_profile")->selectedRow(), 1);
    EXPECT_EQ(current().dpiValue[0], 16) << "every control shows the new profile";
    EXPECT_EQ(sentIds(), diffIds(0, 1)) << "the DPI report, no preamble";
    EXPECT_EQ(sentIds().size(), 1u);

    // The store keeps the selected index a moment later, and nothing else changed.
    time->advance(kStoreSaveDelay + std::chrono::milliseconds(10));
    const std::vector<std::uint8_t> after = storeBytes();
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[0], 1);
    EXPECT_TRUE(std::equal(after.begin() + 4, after.end(), before.begin() + 4)) << "only the selected index";

    // Looking at the page, or a window without a rule and no fallback, or the same
    // application again: the profile stays and nothing is sent.
    mouse.clear();
    for (std::uint32_t w : {own, shooter, other, shooter}) bringToFront(w);
    EXPECT_EQ(selected(), 1);
    EXPECT_TRUE(mouse.written().empty());

    bringToFront(browser);
    EXPECT_EQ(selected(), 2);
    EXPECT_EQ(sentIds(), diffIds(1, 2));
}

TEST_F(AutoProfiles, NothingSwitchesWhileAnApplyRunsOrTheUserTypesAndTheLastMatchWins) {
    open();
    applyAndForget();
    // An edit's apply runs while both windows come to the front, one after the other.
    // However the three interleave, the last window wins once the applies are over.
    current().dpiValue[1] = 40;
    const MouseProfile edited = current();
    page->onApplyRequest();
    wm->activate(shooter);
    waitFor([&] { return page->autoProfiles()->wantedRow() == 1; });
    wm->activate(browser);
    waitFor([&] { return page->autoProfiles()->wantedRow() == 2; });
    // A held switch asks for its apply only as the apply before it ends.
    waitFor([&] { return selected() == 2; });
    settle();
    const std::vector<Report> toP3 = PlanApply(page->profileStore().at(2), edited, false);
    ASSERT_EQ(toP3.size(), 1u) << "P3 differs from the edited P1 in DPI only";
    ASSERT_FALSE(mouse.written().empty());
    const std::vector<std::uint8_t> last = mouse.written().back().bytes;
    EXPECT_TRUE(std::equal(last.begin(), last.end(), toP3[0].bytes().begin(), toP3[0].bytes().end()))
        << "the mouse ends on P3's DPI levels";

    // Typing not yet committed holds the switch until it is committed or dropped.
    mouse.clear();
    auto* box = find<kit::Edit>("ms_1_edit_dpi_1");
    box->setFocus();
    QTest::keyClicks(box, "9");
    ASSERT_TRUE(box->hasUncommittedTyping());
    bringToFront(shooter);
    EXPECT_EQ(selected(), 2);
    box->revertTyping();
    time->advance(std::chrono::milliseconds(1100));
    settle();
    EXPECT_EQ(selected(), 1);
    EXPECT_EQ(sentIds(), diffIds(2, 1));
}

TEST_F(AutoProfiles, TheFallbackRenamesAndDeletedProfiles) {
    open(false);
    // Other applications get the fallback chosen in the section.
    find<kit::Combo>("ms_1_combo_auto_fallback")->selectItem(3, kit::Notify::Yes);
    EXPECT_EQ(ReadFocusRules(data.path()).rules.fallback, u"P3");
    bringToFront(other);
    EXPECT_EQ(selected(), 2);

    // A rename in the page is followed by the rules and the fallback.
    then([](kit::SkinWindow& w) {
        w.find<kit::Edit>(u"edit_name"_qs)->setText(u"Work"_qs, kit::Notify::Yes);
        w.find<kit::Button>(u"btn_ok"_qs)->click();
    });
    click("ms_1_profile_rename_btn");
    FocusRules kept = ReadFocusRules(data.path()).rules;
    EXPECT_EQ(kept.rules[1].profile, u"Work");
    EXPECT_EQ(kept.fallback, u"Work");
    EXPECT_EQ(ruleRows(), (QStringList{u"shooter → P2"_qs, u"firefox → Work"_qs}));

    // A deleted profile's rule stays, says so, and switches nothing.
    bringToFront(shooter);
    ASSERT_EQ(selected(), 1);
    thenAnswer(1);
    click("ms_1_profile_delete_btn");
    EXPECT_EQ(ruleRows(), (QStringList{u"shooter → P2 (no such profile)"_qs, u"firefox → Work"_qs}));
    EXPECT_EQ(ReadFocusRules(data.path()).rules.rules.size(), 2u);
    find<kit::List>("ms_1_list_profile")->selectRow(0, kit::Notify::Yes);
    settle();
    bringToFront(shooter);
    EXPECT_EQ(selected(), 0);
    bringToFront(browser);
    EXPECT_EQ(page->profileStore().at(static_cast<std::size_t>(selected())).nameText(), u"Work");
}

TEST_F(AutoProfiles, TheSectionAndTheFileEditTheSameRules) {
    open(false);
    EXPECT_FALSE(visible("ms_1_label_auto_desktop")) << "X11 needs no word of warning";
    // Added from the list of open windows, to the second profile.
    auto* windows = find<kit::Combo>("ms_1_combo_auto_windows");
    EXPECT_EQ(windows->currentText(), text("auto_windows_text")) << "its prompt before the list is asked for";
    windows->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(windows->count(), 6) << "the first item and the test's windows, the program's own left out";
    int otherItem = -1;
    for (int i = 0; i < windows->count(); ++i)
        if (windows->itemText(i) == u"other") otherItem = i;
    ASSERT_GT(otherItem, 0);
    windows->selectItem(otherItem, kit::Notify::Yes);
    EXPECT_EQ(find<kit::Edit>("ms_1_edit_auto_app")->text(), u"other"_qs);
    find<kit::Combo>("ms_1_combo_auto_profile")->selectItem(0, kit::Notify::Yes);
    click("ms_1_auto_add_btn");
    EXPECT_EQ(ruleRows(), (QStringList{u"shooter → P2"_qs, u"firefox → P3"_qs, u"other → P1"_qs}));

    // Up, down and remove act on the chosen rule; the file follows each.
    find<kit::List>("ms_1_list_auto_rules")->selectRow(2, kit::Notify::Yes);
    click("ms_1_auto_up_btn");
    click("ms_1_auto_up_btn");
    EXPECT_EQ(ruleRows().first(), u"other → P1"_qs);
    click("ms_1_auto_down_btn");
    find<kit::List>("ms_1_list_auto_rules")->selectRow(0, kit::Notify::Yes);
    click("ms_1_auto_remove_btn");
    std::vector<std::string> apps;
    for (const FocusRule& r : ReadFocusRules(data.path()).rules.rules) apps.push_back(r.application);
    EXPECT_EQ(apps, (std::vector<std::string>{"other", "firefox"}));

    // Turned off: no switch.
    find<kit::CheckBox>("ms_1_check_auto_switch")->click();
    EXPECT_FALSE(ReadFocusRules(data.path()).rules.enabled);
    bringToFront(browser);
    EXPECT_EQ(selected(), 0);

    // A change made outside (halvernctl) shows, and switches when it asks for a switch.
    FocusRules outside = ReadFocusRules(data.path()).rules;
    outside.enabled = true;
    outside.set("firefox", u"P2");
    ASSERT_EQ(SaveFocusRules(data.path(), outside), std::nullopt);
    QElapsedTimer t;
    t.start();
    while (selected() != 1 && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(selected(), 1);
    EXPECT_EQ(ruleRows(), (QStringList{u"other → P1"_qs, u"firefox → P2"_qs}));
    EXPECT_TRUE(find<kit::CheckBox>("ms_1_check_auto_switch")->isChecked());
}

TEST_F(AutoProfiles, ADesktopThatTellsNothingIsSaidInOneLine) {
    focusWatcher = nullptr;
    open(false);
    EXPECT_TRUE(visible("ms_1_label_auto_desktop"));
    EXPECT_EQ(shown("ms_1_label_auto_desktop"), text("auto_desktop_none_text"));
}

}  // namespace
}  // namespace halvern::test
