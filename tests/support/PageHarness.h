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
#include <string>
#include <vector>

#include "app/CMainWnd.h"
#include "app/WindowTimers.h"
#include "platform/DataPaths.h"
#include "protocol/RecordingTransports.h"
#include "storage/ProfileStore.h"
#include "support/SkinFolder.h"
#include "support/TempDir.h"
#include "support/VirtualClock.h"
#include "support/VirtualTimerSource.h"
#include "ui/kit/Button.h"
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

    // The window built, shown and complete (deferred controls joined), its first
    // applies ended and forgotten.
    void open(bool linked = true, bool deferredBuilding = false) {
        build(linked, deferredBuilding);
        window->show();
        window->completeLayout();
        settle();
        mouse.clear();
    }

    // The window built as the program builds it, not yet shown.
    void build(bool linked, bool deferredBuilding) {
        links.wirelessLink = linked ? 1 : 0;
        links.anyLink = linked ? 1 : 0;
        CMainWnd::Options options;
        options.trayAvailable = [] { return true; };
        // The language set on the skin before, as the program passes the one it chose.
        options.language = skin.requestedLanguage();
        window = std::make_unique<CMainWnd>(skin, std::move(options));
        window->setTimerSource(std::make_unique<VirtualTimerSource>());
        timers = std::make_unique<WindowTimers>(*window);
        CMS_1_Page::Parts parts{data.path(), links, *timers, clock};
        parts.transports = mouse.transports();
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
        for (const Shown& s : shown) layouts.push_back(s.layout);
        return layouts;
    }

    void click(const char* name) {
        kit::Button* button = window->find<kit::Button>(QString::fromLatin1(name));
        ASSERT_TRUE(button) << name;
        button->click();
        QCoreApplication::processEvents();
    }

    // Runs the event loop until every apply asked for so far has ended.
    void settle() {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 20000) {
            QCoreApplication::processEvents();
            if (!page->applyBusy()) return;
            QTest::qWait(1);
        }
        ADD_FAILURE() << "the applies never ended";
    }

    QString text(const char* key) const { return skin.text(QString::fromLatin1(key)); }

    TempDir data;
    kit::Skin skin{QString::fromStdString(SourceSkinFolder().string())};
    LinkState links;
    VirtualClock clock;
    RecordingTransports mouse{&links, &clock};
    std::unique_ptr<CMainWnd> window;
    std::unique_ptr<WindowTimers> timers;
    std::unique_ptr<CMS_1_Page> page;
    std::vector<Shown> shown;

private:
    void answerModal() {
        auto* top = dynamic_cast<kit::SkinWindow*>(QApplication::activeModalWidget());
        if (!top || top == lastAnswered) return;
        lastAnswered = top;
        const kit::Label* label = top->find<kit::Label>(u"warning"_qs);
        if (!label) label = top->find<kit::Label>(u"title_string"_qs);
        shown.push_back({top->skinFile(), label ? label->QLabel::text() : QString()});
        if (script.empty()) {
            ADD_FAILURE() << "an unexpected window: " << top->skinFile().toStdString() << " "
                          << shown.back().text.toStdString();
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

}  // namespace halvern::test
