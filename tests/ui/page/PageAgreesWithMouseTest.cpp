// The page, the profile store and the mouse agree whatever the user and the mouse do in
// whatever order: runs of random steps (edits through the controls, applies, presses on
// the mouse, the receiver unplugged and plugged, time passing, another profile, a quit
// and a new start), each ended by an apply, after which the store holds the page's
// model, every control shows it and the virtual mouse holds it. The real window, page,
// device link and firmware model; virtual time. A failing run names its seed:
// HALVERN_INTERLEAVING_SEED=N repeats that run alone.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "SettlingClock.h"
#include "VirtualDevices.h"
#include "app/CMainWnd.h"
#include "app/WindowTimers.h"
#include "host/DeviceStack.h"
#include "platform/DataPaths.h"
#include "storage/ProfileStore.h"
#include "support/PageHarness.h"
#include "support/SkinFolder.h"
#include "support/TempDir.h"
#include "support/VirtualTimerSource.h"
#include "ui/kit/Button.h"
#include "ui/kit/Combo.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Label.h"
#include "ui/kit/List.h"
#include "ui/kit/MenuWindow.h"
#include "ui/kit/Slider.h"
#include "ui/page/CMS_1_Page.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;

constexpr int kRuns = 100;
constexpr int kStepsPerRun = 14;
// Plain functions a button can take without a dialog.
constexpr const char* kMenuItems[] = {"ms_1_menu",      "ms_1_scroll", "ms_1_forward",    "ms_1_dpi_up",
                                      "ms_1_volume_up", "ms_1_copy",   "ms_1_button_off", "ms_1_fire_button"};

class PageAgreesWithMouse : public ::testing::Test {
protected:
    // A mouse fresh from the box and three stored profiles.
    void freshWorld() {
        stop(false);
        world = std::make_unique<emu::VirtualDevices>(*emu::NamedScenario("receiver"), mouseClock);
        mouseClock.setSettle([this] { world->settle(); });
        receiver = world->deviceOf(Link::Receiver);
        data = std::make_unique<test::TempDir>();
        ProfileStore s(ModelFolder(data->path()));
        s.load(u"Profile ");
        s.profiles().clear();
        for (const char16_t* name : {u"Desk", u"Game", u"Travel"}) s.append(MouseProfile::Create(name));
        ASSERT_FALSE(s.save());
        start();
    }
    void TearDown() override {
        stop(false);
        world.reset();
    }

    // A start of the program over the data folder, the mouse as it was left.
    void start() {
        links = std::make_unique<LinkState>();
        CMainWnd::Options options;
        options.trayAvailable = [] { return true; };
        window = std::make_unique<CMainWnd>(skin, std::move(options));
        auto source = std::make_unique<test::VirtualTimerSource>();
        time = source.get();
        window->setTimerSource(std::move(source));
        timers = std::make_unique<WindowTimers>(*window);
        CMS_1_Page::Parts parts{data->path(), *links, *timers, mouseClock};
        parts.pickColor = [this](std::uint32_t, QPoint) { return pickerAnswer; };
        page = std::make_unique<CMS_1_Page>(std::move(parts));
        DeviceStack::Options o;
        o.virtualDevices = world.get();
        o.loadDriver = false;
        std::string error;
        stack = DeviceStack::Create(o, {*timers, *window->hostWindow(), *page, *page, *links}, error);
        ASSERT_TRUE(stack) << error;
        page->setDeviceLink(&stack->link());
        window->setPage(page.get());
        window->setDeviceLink(&stack->link());
        ASSERT_FALSE(window->create(kit::WindowKind::Main));
        // As the program does: the link hears arrivals and removals through the loop.
        hotplugWatch = std::make_unique<QSocketNotifier>(stack->link().hotplugFd(), QSocketNotifier::Read);
        QObject::connect(hotplugWatch.get(), &QSocketNotifier::activated, [this] { stack->link().dispatchHotplug(); });
        window->show();
        window->completeLayout();
        if (world->plugged(receiver)) {
            ASSERT_TRUE(runUntil([&] { return links->applyLinkUp(); }));
        }
    }

    // The tray's Quit (what the page holds is kept first), or the end of the test.
    void stop(bool quit = true) {
        if (!window) return;
        if (quit) page->keepBeforeQuit();
        hotplugWatch.reset();
        window.reset();
        stack.reset();
        page.reset();
        timers.reset();
    }

    // The link's readers and the apply worker are threads of their own: the wait is in
    // real time, generous for a loaded machine.
    bool runUntil(const std::function<bool()>& done) {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < 30000) {
            world->settle();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        }
        return done();
    }
    void settle() {
        // What was posted so far (an apply asked for) is taken first.
        QCoreApplication::processEvents();
        ASSERT_TRUE(runUntil([&] { return !page->applyBusy(); })) << "an apply never ended";
        world->settle();
        QCoreApplication::processEvents();
    }
    void wait(std::chrono::milliseconds by) {
        time->advance(by);
        settle();
    }

    template <typename T>
    T* control(const QString& name) {
        T* c = window->find<T>(name);
        EXPECT_TRUE(c) << name.toStdString();
        return c;
    }

    // ---- The steps ----

    std::string editASetting() {
        const SettingRow& row = kSettings[pick(kSettings.size())];
        const int level = static_cast<int>(pick(kDpiLevels)) + 1;
        const QString name = SectionBinder::Numbered(row.controlName, row.perLevel ? level : 1);
        const std::int32_t value = row.range.min + static_cast<std::int32_t>(pick(row.range.max - row.range.min + 1));
        switch (row.control) {
            case SettingControl::None: return "nothing";
            case SettingControl::Slider: {
                auto* slider = control<kit::Slider>(name);
                slider->setValue(std::max(value, slider->minimum()), kit::Notify::Yes);
                break;
            }
            case SettingControl::Check: control<kit::Button>(name)->click(); break;
            case SettingControl::Combo: control<kit::Combo>(name)->selectItem(value, kit::Notify::Yes); break;
            case SettingControl::Color:
                pickerAnswer = 0xFF000000u | static_cast<std::uint32_t>(random() & 0xFFFFFF);
                control<kit::Button>(name)->click();
                break;
            case SettingControl::Options:
                control<kit::Button>(SectionBinder::Numbered(row.controlName, value - row.range.min + 1))->click();
                break;
        }
        return std::string(row.cliName) + " " + std::to_string(value);
    }
    std::string typeADpi() {
        const int level = static_cast<int>(pick(kDpiLevels)) + 1;
        auto* box = control<kit::RichEdit>(u"ms_1_edit_dpi_%1"_qs.arg(level));
        const QString typed = QString::number(pick(20000));
        box->setText(typed, kit::Notify::Yes);
        emit box->returnPressed();
        return "typed " + typed.toStdString() + " for level " + std::to_string(level);
    }
    std::string assignAButton() {
        const int button = 2 + static_cast<int>(pick(11));
        const char* item = kMenuItems[pick(std::size(kMenuItems))];
        control<kit::Button>(u"ms_1_btn_key_%1"_qs.arg(button))->click();
        if (kit::MenuWindow* menu = page->assignMenu()) menu->hide();
        page->onMenuItem(QString::fromLatin1(item));
        return "button " + std::to_string(button) + " " + item;
    }
    // A change made on the mouse, and its report taken by the page (a report lost with
    // the receiver pulled the moment after is no interleaving the page could follow).
    std::string pressOnTheMouse() {
        if (!links->applyLinkUp()) return "no press: no link";
        std::string what = "light effect";
        switch (pick(3)) {
            case 0:
                world->mouse().pressDpiButton(Link::Receiver);
                what = "DPI button";
                break;
            case 1: {
                const int intervals[] = {1, 2, 4, 8};
                world->mouse().setPollingInterval(Link::Receiver, intervals[pick(4)]);
                what = "polling";
                break;
            }
            default: world->mouse().setLightEffect(Link::Receiver, static_cast<int>(pick(16))); break;
        }
        world->settle();
        QCoreApplication::processEvents();
        return what;
    }
    std::string plugOrUnplug() {
        if (world->plugged(receiver)) {
            world->unplug(receiver);
            runUntil([&] { return !links->applyLinkUp(); });
            return "unplugged";
        }
        world->plug(receiver);
        // The receivers are enumerated again a second after the arrival is heard.
        runUntil([&] { return window->isTimerActive(TimerId::Reenumerate); });
        time->advance(kReenumerateDelay + 100ms);
        runUntil([&] { return links->applyLinkUp(); });
        return "plugged";
    }
    std::string chooseAProfile() {
        const int row = static_cast<int>(pick(3));
        control<kit::List>(u"ms_1_list_profile"_qs)->selectRow(row, kit::Notify::Yes);
        return "profile " + std::to_string(row);
    }
    std::string restart() {
        stop();
        start();
        return "quit and started";
    }

    std::string step() {
        switch (pick(10)) {
            case 0:
            case 1: return editASetting();
            case 2: return typeADpi();
            case 3: return assignAButton();
            case 4:
                control<kit::Button>(pick(2) ? u"ms_1_apply_btn"_qs : u"ms_1_btn_apply_dpi"_qs)->click();
                return "apply";
            case 5: return pressOnTheMouse();
            case 6: return plugOrUnplug();
            case 7: wait(std::chrono::milliseconds(pick(1500))); return "time";
            case 8: return chooseAProfile();
            default: return pick(3) == 0 ? restart() : editASetting();
        }
    }

    // ---- Agreement ----

    void endTheRun() {
        if (!world->plugged(receiver)) plugOrUnplug();
        ASSERT_TRUE(runUntil([&] { return links->applyLinkUp(); }));
        wait(600ms);  // any pause of an apply ends
        control<kit::Button>(u"ms_1_apply_btn"_qs)->click();
        settle();
        wait(1100ms);  // the store's pause
    }

    void expectAgreement() {
        const MouseProfile& current = *page->currentProfile();
        SCOPED_TRACE("current profile " + std::to_string(page->profileStore().selectedProfile()));
        // The store on disk is the model.
        ProfileStore disk(ModelFolder(data->path()));
        disk.read(u"x");
        const ProfileStore& model = page->profileStore();
        ASSERT_EQ(disk.size(), model.size());
        EXPECT_EQ(disk.selectedProfile(), model.selectedProfile());
        for (std::size_t i = 0; i < model.size(); ++i) {
            const auto a = disk.at(i).bytes();
            const auto b = model.at(i).bytes();
            EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin())) << "profile " << i << " on disk differs";
        }
        // Every control shows it.
        for (const SettingRow& row : kSettings)
            for (std::size_t level = 0; level < ValueCount(row); ++level)
                if (const std::optional<std::int32_t> shown = test::ShownSettingValue(*window, row, level)) {
                    EXPECT_EQ(*shown, Showable(row, test::ModelSettingValue(current, row, level)))
                        << row.cliName << " level " << level;
                }
        // The mouse holds it.
        for (const std::string& d : emu::Differences(world->mouse().state(), emu::ExpectedState(current)))
            ADD_FAILURE() << "the mouse: " << d;
        if (std::getenv("HALVERN_INTERLEAVING_DUMP"))
            std::fprintf(stderr, "applies %d link %d accepted %d state %s wireless %d\n", page->appliesDone(),
                         links->applyLinkUp() ? 1 : 0, world->mouse().commandsAccepted(),
                         control<kit::Label>(u"ms_1_label_apply_state"_qs)->shownText().toStdString().c_str(),
                         links->wirelessLink.load());
        if (std::getenv("HALVERN_INTERLEAVING_DUMP"))
            for (const auto& b : world->mouse().received()) {
                std::string hex;
                for (std::uint8_t x : b) hex += "0123456789abcdef"[x >> 4], hex += "0123456789abcdef"[x & 15];
                std::fprintf(stderr, "received %s\n", hex.substr(0, 24).c_str());
            }
        EXPECT_TRUE(world->mouse().rejections().empty()) << world->mouse().rejections().front().reason;
    }

    // A DPI slider starts at 1: a level without a value (0) shows there as 1.
    static std::int32_t Showable(const SettingRow& row, std::int32_t value) {
        return row.id == SettingId::DpiValue ? std::max(value, kDpiSliderRange.min) : value;
    }

    std::size_t pick(std::size_t n) { return static_cast<std::size_t>(random() % n); }

    emu::SettlingClock mouseClock;
    std::unique_ptr<emu::VirtualDevices> world;
    int receiver = -1;
    std::unique_ptr<test::TempDir> data;
    kit::Skin skin{QString::fromStdString(test::SourceSkinFolder().string())};
    std::unique_ptr<LinkState> links;
    std::unique_ptr<CMainWnd> window;
    test::VirtualTimerSource* time = nullptr;
    std::unique_ptr<WindowTimers> timers;
    std::unique_ptr<CMS_1_Page> page;
    std::unique_ptr<DeviceStack> stack;
    std::unique_ptr<QSocketNotifier> hotplugWatch;
    std::optional<std::uint32_t> pickerAnswer;
    std::mt19937 random;
};

TEST_F(PageAgreesWithMouse, AfterAnyInterleavingOfEditsEventsLinksAndRestarts) {
    const char* only = std::getenv("HALVERN_INTERLEAVING_SEED");
    const int first = only ? std::atoi(only) : 1;
    const int last = only ? first : kRuns;
    for (int seed = first; seed <= last; ++seed) {
        freshWorld();
        random.seed(static_cast<std::mt19937::result_type>(seed));
        std::string steps;
        for (int i = 0; i < kStepsPerRun; ++i) steps += step() + "; ";
        endTheRun();
        SCOPED_TRACE("seed " + std::to_string(seed) + ": " + steps);
        expectAgreement();
        if (HasFailure()) return;
    }
}

}  // namespace
}  // namespace halvern
