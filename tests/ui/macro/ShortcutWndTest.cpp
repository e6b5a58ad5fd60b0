// The shortcut capture dialog: modifiers from its boxes, the key from the hook library
// while the key box has the focus, or from the box's own keys where the library cannot
// watch the desktop, and the hook calls around both.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

#include "halvern_abi.h"
#include "support/SkinFolder.h"
#include "ui/kit/Button.h"
#include "ui/kit/Edit.h"
#include "ui/macro/CShortcutWnd.h"

using namespace halvern;

namespace {

// The hook library as the dialog sees it: every call noted; installhook answers whether
// the desktop's input is watched.
std::vector<std::string> hookCalls;
int watchesDesktop = 1;

int FakeInstallHook(const HalvernHostWindow* window) {
    hookCalls.push_back(window ? "installhook" : "installhook(null)");
    return watchesDesktop;
}
int FakeRemoveHook() {
    hookCalls.push_back("removehook");
    return 0;
}
int FakeEnableHook(int on) {
    hookCalls.push_back("enablehook(" + std::to_string(on) + ")");
    return 0;
}

constexpr std::uintptr_t kVkA = 0x41;
constexpr std::uintptr_t kVkDelete = 0x2E;
constexpr std::uintptr_t kVkLeftCtrl = 0xA2;
constexpr std::uintptr_t kVkWithoutRow = 0x07;
constexpr quint32 kXkbEscape = 1 + 8;  // Linux KEY_ESC on X
constexpr quint32 kXkbA = 30 + 8;

class ShortcutDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(skin.loadLanguage(QStringLiteral("lan.xml")));
        hookCalls.clear();
        watchesDesktop = 1;
    }

    static CShortcutWnd::Parts WithHooks() {
        CShortcutWnd::Parts parts;
        parts.hooks.installhook = &FakeInstallHook;
        parts.hooks.removehook = &FakeRemoveHook;
        parts.hooks.enablehook = &FakeEnableHook;
        return parts;
    }

    std::optional<Shortcut> run(Shortcut start, CShortcutWnd::Parts parts,
                                const std::function<void(CShortcutWnd&)>& act) {
        CShortcutWnd dialog(skin, nullptr, start, std::move(parts));
        EXPECT_FALSE(dialog.create(kit::WindowKind::Dialog));
        QTimer::singleShot(0, &dialog, [&] { act(dialog); });
        const int result = dialog.showModal();
        QCoreApplication::processEvents();
        if (result != 1) return std::nullopt;
        return dialog.shortcut();
    }

    static kit::Edit* keyBox(CShortcutWnd& d) { return d.find<kit::Edit>(u"edit_key"_qs); }
    static QString keyText(CShortcutWnd& d) { return keyBox(d)->QLineEdit::text(); }
    static void focusKeyBox(CShortcutWnd& d) {
        d.activateWindow();
        keyBox(d)->setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
    }
    // What the hook library posts for a key.
    static void hookKey(CShortcutWnd& d, std::uintptr_t vk, bool release = false) {
        d.post(UM_HOOK_EVENT, vk, release ? 1 : 0);
        QCoreApplication::processEvents();
    }
    // What the keyboard delivers to the focused box.
    static void ownKey(CShortcutWnd& d, quint32 xkbCode) {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, 0, Qt::NoModifier, xkbCode, 0, 0);
            QApplication::sendEvent(keyBox(d), &event);
        }
        QCoreApplication::processEvents();
    }
    static void click(CShortcutWnd& d, const char* name) {
        QTest::mouseClick(d.find<kit::Button>(QString::fromLatin1(name)), Qt::LeftButton);
    }

    kit::Skin skin{QString::fromStdString(test::SourceSkinFolder().string())};
};

}  // namespace

TEST_F(ShortcutDialog, TickedModifiersAndAHookedKeyMakeTheCombination) {
    QString shown;
    auto chosen = run({}, WithHooks(), [&](CShortcutWnd& d) {
        click(d, "check_flag_1");
        click(d, "check_flag_3");
        focusKeyBox(d);
        hookKey(d, kVkDelete);
        hookKey(d, kVkDelete, true);
        // With the desktop watched, the box's own copy of a key is not taken twice.
        ownKey(d, kXkbA);
        shown = keyText(d);
        click(d, "btn_ok");
    });
    EXPECT_EQ(shown, skin.text(u"key_Delete"_qs));
    EXPECT_EQ(chosen, (Shortcut{5, 0x4C}));
    ASSERT_GE(hookCalls.size(), 2u);
    EXPECT_EQ(hookCalls[0], "installhook");
    EXPECT_EQ(hookCalls[1], "enablehook(1)");
    EXPECT_NE(std::find(hookCalls.begin(), hookCalls.end(), "removehook"), hookCalls.end());
}

TEST_F(ShortcutDialog, TheLastEventsKeyIsKeptReleasesIncluded) {
    auto chosen = run({}, WithHooks(), [&](CShortcutWnd& d) {
        focusKeyBox(d);
        hookKey(d, kVkLeftCtrl);
        hookKey(d, kVkA);
        hookKey(d, kVkA, true);
        hookKey(d, kVkLeftCtrl, true);
        click(d, "btn_ok");
    });
    EXPECT_EQ(chosen, (Shortcut{0, 0xE0}));
}

TEST_F(ShortcutDialog, WithoutTheDesktopWatchedTheBoxTakesItsOwnKeysEscapeIncluded) {
    watchesDesktop = 0;
    QString shown;
    bool stillOpen = false;
    auto chosen = run({}, WithHooks(), [&](CShortcutWnd& d) {
        focusKeyBox(d);
        ownKey(d, kXkbEscape);
        stillOpen = d.isVisible();
        shown = keyText(d);
        click(d, "btn_ok");
    });
    EXPECT_TRUE(stillOpen) << "Escape in the key box is a key, not Cancel";
    EXPECT_EQ(shown, skin.text(u"key_Esc"_qs));
    EXPECT_EQ(chosen, (Shortcut{0, 0x29}));
}

TEST_F(ShortcutDialog, WithoutAnyHookLibraryTheBoxStillTakesItsOwnKeys) {
    auto chosen = run({}, {}, [&](CShortcutWnd& d) {
        focusKeyBox(d);
        ownKey(d, kXkbA);
        click(d, "btn_ok");
    });
    EXPECT_EQ(chosen, (Shortcut{0, 0x04}));
}

TEST_F(ShortcutDialog, StartsFromTheButtonsCombinationAndAKeyWithoutARowEmptiesTheBox) {
    std::vector<bool> ticked;
    QString before, after;
    auto chosen = run({0b1010, 0x04}, WithHooks(), [&](CShortcutWnd& d) {
        for (int i = 1; i <= 4; ++i) ticked.push_back(d.find<kit::CheckBox>(u"check_flag_%1"_qs.arg(i))->isChecked());
        before = keyText(d);
        focusKeyBox(d);
        hookKey(d, kVkWithoutRow);
        after = keyText(d);
        click(d, "check_flag_4");  // Super off again
        click(d, "btn_ok");
    });
    EXPECT_EQ(ticked, (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(before, u"A"_qs);
    EXPECT_EQ(after, QString());
    EXPECT_EQ(chosen, (Shortcut{0b0010, 0}));
}

TEST_F(ShortcutDialog, KeysOutsideTheKeyBoxAreNotTakenAndLeavingItRemovesTheHook) {
    auto chosen = run({}, WithHooks(), [&](CShortcutWnd& d) {
        focusKeyBox(d);
        d.find<kit::CheckBox>(u"check_flag_2"_qs)->setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
        hookKey(d, kVkA);
        click(d, "btn_ok");
    });
    EXPECT_EQ(chosen, (Shortcut{0, 0}));
    EXPECT_EQ(hookCalls, (std::vector<std::string>{"installhook", "enablehook(1)", "removehook", "enablehook(0)"}));
}

TEST_F(ShortcutDialog, CancelReturnsNothingWhateverWasPressedAndClosingRemovesTheHook) {
    for (const char* way : {"btn_cancel", "btn_exit"}) {
        hookCalls.clear();
        auto chosen = run({1, 0x04}, WithHooks(), [&](CShortcutWnd& d) {
            click(d, "check_flag_2");
            focusKeyBox(d);
            hookKey(d, kVkDelete);
            click(d, way);
        });
        EXPECT_FALSE(chosen) << way;
        ASSERT_FALSE(hookCalls.empty());
        EXPECT_EQ(hookCalls.back(), "enablehook(0)") << way;
        EXPECT_EQ(std::count(hookCalls.begin(), hookCalls.end(), "removehook"), 1) << way;
    }
}
