// The real main window with the real skin and the settings page over a data folder of
// the test's own, the mouse a recording one on the receiver, time virtual. Modal
// windows are real; a script answers them as a user would, in the order they open.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CMainWnd.h"
#include "app/WindowTimers.h"
#include "device/WindowIds.h"
#include "ui/page/PageTimers.h"
#include "platform/DataPaths.h"
#include "protocol/RecordingTransports.h"
#include "storage/ProfileStore.h"
#include "support/SkinFolder.h"
#include "support/TempDir.h"
#include "support/VirtualClock.h"
#include "support/VirtualTimerSource.h"
#include "records/Settings.h"
#include "ui/kit/Button.h"
#include "ui/kit/Combo.h"
#include "ui/kit/Slider.h"
#include "ui/page/PageSection.h"
#include "ui/kit/Label.h"
#include "ui/page/CMS_1_Page.h"

namespace halvern::test {

class PageHarness : public ::testing::Test {
protected:
    // What a modal window showed: its layout and its message (or title) text.
    struct Shown {
        QString layout;
        QString text;
    };

    // Before open(): the stored profiles by name, `selected` current.
    void storeProfiles(const std::vector<std::u16string>& names, int selected = 0,
                       const std::function<void(ProfileStore&)>& edit = {}) {
        ProfileStore s(ModelFolder(data.path()));
        s.load(u"Profile ");
        s.profiles().clear();
        for (const auto& name : names) s.append(MouseProfile::Create(name));
        s.setSelectedProfile(selected);
        if (edit) edit(s);
        ASSERT_FALSE(s.save());
    }

    // Before open(): the stored profiles "P1", "P2", ..., each made by its edit.
    void store(const std::vector<std::function<void(MouseProfile&)>>& edits, int selected = 0) {
        std::vector<std::u16string> names;
        for (std::size_t i = 0; i < edits.size(); ++i)
            names.push_back(u"P" + std::u16string(1, static_cast<char16_t>(u'1' + i)));
        storeProfiles(names, selected, [&](ProfileStore& s) {
            for (std::size_t i = 0; i < edits.size(); ++i) edits[i](s.at(i));
        });
    }

    // The window built, shown and complete (deferred controls joined), its first
    // applies ended and forgotten. `useSkin` replaces the real skin.
    void open(bool linked = true, bool deferredBuilding = false, kit::Skin* useSkin = nullptr) {
        build(linked, deferredBuilding, useSkin);
        window->show();
        window->completeLayout();
        settle();
        mouse.clear();
    }

    // Before a second open() in one test: the window and the page go, the data folder stays.
    void reopen() {
        window.reset();
        page.reset();
    }

    // The window built as the program builds it, not yet shown.
    void build(bool linked, bool deferredBuilding, kit::Skin* useSkin = nullptr) {
        links.wirelessLink = linked ? 1 : 0;
        links.anyLink = linked ? 1 : 0;
        CMainWnd::Options options;
        options.trayAvailable = [] { return true; };
        kit::Skin& shownSkin = useSkin ? *useSkin : skin;
        // The language set on the skin before, as the program passes the one it chose.
        if (!shownSkin.requestedLanguage().isEmpty()) options.language = shownSkin.requestedLanguage();
        window = std::make_unique<CMainWnd>(shownSkin, std::move(options));
        auto source = std::make_unique<VirtualTimerSource>();
        time = source.get();
        window->setTimerSource(std::move(source));
        timers = std::make_unique<WindowTimers>(*window);
        CMS_1_Page::Parts parts{data.path(), links, *timers, clock};
        parts.transports = mouse.transports();
        parts.focus = focusWatcher;
        parts.ownApplications = {"halvern"};
        parts.openMouseSettings = [this] { return ++mouseSettingsOpened, true; };
        parts.pickColor = [this](std::uint32_t argb, QPoint origin) {
            pickerAsked = {argb, origin};
            return pickerAnswer;
        };
        page = std::make_unique<CMS_1_Page>(std::move(parts));
        window->setPage(page.get());
        window->setDeferredBuilding(deferredBuilding);
        window->create(kit::WindowKind::Main);
        window->setFixedSize(CMainWnd::kWidth, CMainWnd::kHeight);
    }

    void SetUp() override {
        modalWatch.callOnTimeout([this] { answerModal(); });
        modalWatch.start(1);
    }

    void TearDown() override {
        modalWatch.stop();
        EXPECT_TRUE(script.empty()) << script.size() << " modal windows never opened";
        window.reset();
        page.reset();
    }

    // The next modal window to come on top gets `act` (after its text is noted).
    void then(std::function<void(kit::SkinWindow&)> act) { script.push_back(std::move(act)); }
    void thenAnswer(int result) {
        then([result](kit::SkinWindow& w) { w.closeWindow(result); });
    }

    std::vector<QString> shownLayouts() const {
        std::vector<QString> layouts;
        for (const Shown& s : shownWindows) layouts.push_back(s.layout);
        return layouts;
    }

    void click(const char* name) {
        kit::Button* button = window->find<kit::Button>(QString::fromLatin1(name));
        ASSERT_TRUE(button) << name;
        button->click();
        QCoreApplication::processEvents();
    }

    // Runs the event loop until every apply asked for so far has ended and none waits
    // for its pause. The worker is a thread of its own: the wait is in real time,
    // generous for a loaded machine.
    void settle() {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 20000) {
            QCoreApplication::processEvents();
            if (!page->applyBusy() && !window->isTimerActive(TimerId::ApplyDebounce)) return;
            QTest::qWait(1);
        }
        ADD_FAILURE() << "the applies never ended";
    }
    // Applies what is pending and forgets what was sent so far.
    void applyAndForget() {
        page->onApplyRequest();
        settle();
        mouse.clear();
    }
    // The report ids (first byte) sent since the last clear.
    std::vector<int> sentIds() const {
        std::vector<int> ids;
        for (const WrittenBuffer& b : mouse.written()) ids.push_back(b.bytes.empty() ? -1 : b.bytes[0]);
        return ids;
    }

    template <typename T>
    T* find(const char* name) const {
        T* c = window->find<T>(QString::fromLatin1(name));
        EXPECT_TRUE(c) << name;
        return c;
    }
    QString shown(const char* name) const { return find<kit::Control>(name)->shownText(); }
    bool visible(const char* name) const { return !find<kit::Control>(name)->widget()->isHidden(); }
    MouseProfile& current() { return *page->currentProfile(); }

    QString text(const char* key) const { return skin.text(QString::fromLatin1(key)); }

    TempDir data;
    kit::Skin skin{QString::fromStdString(SourceSkinFolder().string())};
    LinkState links;
    VirtualClock clock;
    RecordingTransports mouse{&links, &clock};
    std::unique_ptr<CMainWnd> window;
    std::unique_ptr<WindowTimers> timers;
    std::unique_ptr<CMS_1_Page> page;
    VirtualTimerSource* time = nullptr;
    std::vector<Shown> shownWindows;
    int mouseSettingsOpened = 0;
    // The window in front, for the automatic profiles; set before open().
    FocusWatcher* focusWatcher = nullptr;
    std::optional<std::uint32_t> pickerAnswer;
    std::optional<std::pair<std::uint32_t, QPoint>> pickerAsked;

private:
    void answerModal() {
        auto* top = dynamic_cast<kit::SkinWindow*>(QApplication::activeModalWidget());
        if (!top || top == lastAnswered) return;
        lastAnswered = top;
        const kit::Label* label = top->find<kit::Label>(u"warning"_qs);
        if (!label) label = top->find<kit::Label>(u"title_string"_qs);
        shownWindows.push_back({top->skinFile(), label ? label->QLabel::text() : QString()});
        if (script.empty()) {
            ADD_FAILURE() << "an unexpected window: " << top->skinFile().toStdString() << " "
                          << shownWindows.back().text.toStdString();
            QTimer::singleShot(0, top, [top] { top->closeWindow(0); });
            return;
        }
        // Acted on from the event loop, so that a window this one opens is answered too.
        QTimer::singleShot(0, top, [act = std::move(script.front()), top] { act(*top); });
        script.pop_front();
    }

    QTimer modalWatch;
    std::deque<std::function<void(kit::SkinWindow&)>> script;
    // The window answered last: the next entry goes to whichever window is on top once
    // that one is not. A closed window's pointer goes null, so a new window at the same
    // address is not mistaken for it.
    QPointer<kit::SkinWindow> lastAnswered;
};

// ---- The table of settings as the page shows it ----

// What a table row's control shows for `level` (per-level rows) in the record's units;
// nullopt for a row without a control on the page.
inline std::optional<std::int32_t> ShownSettingValue(const kit::SkinWindow& w, const SettingRow& row,
                                                     std::size_t level = 0) {
    auto control = [&](int n) { return w.findControl(SectionBinder::Numbered(row.controlName, n)); };
    const int own = row.perLevel ? static_cast<int>(level) + 1 : 1;
    switch (row.control) {
        case SettingControl::None: return std::nullopt;
        case SettingControl::Slider: return dynamic_cast<kit::Slider*>(control(own))->value();
        case SettingControl::Check: return dynamic_cast<kit::CheckBox*>(control(own))->isChecked() ? 1 : 0;
        case SettingControl::Combo: return dynamic_cast<kit::Combo*>(control(own))->currentSelection();
        case SettingControl::Color: return static_cast<std::int32_t>(control(own)->bkColor().rgb() & 0xFFFFFF);
        case SettingControl::Options:
            for (int v = row.range.min; v <= row.range.max; ++v)
                if (dynamic_cast<kit::Option*>(control(v - row.range.min + 1))->isSelected()) return v;
            return -1;
    }
    return std::nullopt;
}

// The same value in the model, colours as 0xRRGGBB.
inline std::int32_t ModelSettingValue(const MouseProfile& p, const SettingRow& row, std::size_t level = 0) {
    if (const RgbColor* color = ColorField(p, row, level)) return static_cast<std::int32_t>(color->toArgb() & 0xFFFFFF);
    return *IntField(p, row, level);
}

// A value of the row other than the one it has, within its range.
inline void SetOtherSettingValue(MouseProfile& p, const SettingRow& row) {
    if (RgbColor* color = ColorField(p, row)) *color = RgbColor{0x12, 0x34, 0x56, 0};
    if (std::int32_t* field = IntField(p, row)) *field = *field == row.range.max ? row.range.min : row.range.max;
}

}  // namespace halvern::test
