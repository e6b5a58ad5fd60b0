// The shortcut capture dialog: modifiers from its boxes, the first key pressed once a
// capture of the key box is started, from the hook library or from the box's own keys
// where the library cannot watch the desktop, and the hook calls around both.
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
bool hookPosts = false;  // between enablehook(1) and the next removehook or enablehook(0)

int FakeInstallHook(const HalvernHostWindow* window) {
    hookCalls.push_back(window ? "installhook" : "installhook(null)");
    return watchesDesktop;
}
int FakeRemoveHook() {
    hookCalls.push_back("removehook");
    hookPosts = false;
    return 0;
}
int FakeEnableHook(int on) {
    hookCalls.push_back("enablehook(" + std::to_string(on) + ")");
    hookPosts = on != 0;
    return 0;
}

constexpr std::uintptr_t kVkA = 0x41;
constexpr std::uintptr_t kVkDelete = 0x2E;
constexpr std::uintptr_t kVkLeftCtrl = 0xA2;
constexpr std::uintptr_t kVkWithoutRow = 0x07;
constexpr quint32 kXkbEscape = 1 + 8;  // Linux KEY_ESC on X
constexpr quint32 kXkbTab = 15 + 8;
constexpr quint32 kXkbEnter = 28 + 8;
constexpr quint32 kXkbSpace = 57 + 8;
constexpr quint32 kXkbA = 30 + 8;

class ShortcutDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(skin.loadLanguage(QStringLiteral("lan.xml")));
        hookCalls.clear();
        watchesDesktop = 1;
        hookPosts = false;
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
    // A click on the key box: the capture starts.
    static void focusKeyBox(CShortcutWnd& d) {
        d.activateWindow();
        keyBox(d)->setFocus(Qt::OtherFocusReason);
        QTest::mouseClick(keyBox(d), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    // A key as the keyboard sends it to whatever has the focus, Qt's key and scan code.
    static void press(CShortcutWnd& d, Qt::Key key, quint32 xkbCode, Qt::KeyboardModifiers modifiers = {}) {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &d;
            QKeyEvent event(type, key, modifiers, xkbCode, 0, 0);
            QApplication::sendEvent(target, &event);
        }
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

TEST_F(ShortcutDialog, TheFirstKeyPressedIsTakenAndTheCaptureEndsWithIt) {
    auto chosen = run({}, WithHooks(), [&](CShortcutWnd& d) {
        focusKeyBox(d);
        hookKey(d, kVkLeftCtrl);
        hookKey(d, kVkA);
        hookKey(d, kVkA, true);
        hookKey(d, kVkLeftCtrl, true);
        click(d, "btn_ok");
    });
    EXPECT_EQ(chosen, (Shortcut{0, 0xE0}));
    EXPECT_EQ(hookCalls, (std::vector<std::string>{"installhook", "enablehook(1)", "removehook", "enablehook(0)"}));
}

TEST_F(ShortcutDialog, WithoutTheDesktopWatchedTheBoxTakesItsOwnKeyEnterIncluded) {
    watchesDesktop = 0;
    QString shown;
    bool stillOpen = false;
    auto chosen = run({}, WithHooks(), [&](CShortcutWnd& d) {
        focusKeyBox(d);
        press(d, Qt::Key_Return, kXkbEnter);
        stillOpen = d.isVisible();
        shown = keyText(d);
        click(d, "btn_ok");
    });
    EXPECT_TRUE(stillOpen) << "Enter in a capture is a key, not OK";
    EXPECT_EQ(shown, skin.text(u"key_Enter"_qs));
    EXPECT_EQ(chosen, (Shortcut{0, 0x28}));
}

// A keyboard user's keys on the key box, with and without the hook library watching the
// desktop: only a started capture takes a key, it takes one, Escape ends it without
// one, and outside a capture Tab and Shift+Tab leave the box and Escape is Cancel.
// Opened, the dialog has its key box focused: Enter, as its hint says, starts the capture
// rather than pressing the close button the focus would otherwise start on.
TEST_F(ShortcutDialog, OpensWithTheKeyBoxFocusedSoThatEnterThenAKeyTakesIt) {
    bool focus = false;
    auto chosen = run({0, 0}, WithHooks(), [&](CShortcutWnd& d) {
        d.activateWindow();
        QCoreApplication::processEvents();
        focus = keyBox(d)->hasFocus();
        press(d, Qt::Key_Return, kXkbEnter);
        hookKey(d, kVkA);
        hookKey(d, kVkA, true);
        if (d.isVisible()) click(d, "btn_ok");
    });
    EXPECT_TRUE(focus);
    EXPECT_EQ(chosen, (Shortcut{0, 0x04}));
}

TEST_F(ShortcutDialog, KeysTakeNothingUntilACaptureIsStartedFromTheKeyboard) {
    struct Key {
        Qt::Key key;
        quint32 xkb;
        Qt::KeyboardModifiers modifiers;
        std::uintptr_t vk;  // what the hook library posts for it; 0: nothing
    };
    const Key tab{Qt::Key_Tab, kXkbTab, {}, 0x09}, backtab{Qt::Key_Backtab, kXkbTab, Qt::ShiftModifier, 0},
        enter{Qt::Key_Return, kXkbEnter, {}, 0x0D}, space{Qt::Key_Space, kXkbSpace, {}, 0x20},
        esc{Qt::Key_Escape, kXkbEscape, {}, 0x1B}, a{Qt::Key_A, kXkbA, {}, 0x41};
    struct Case {
        const char* what;
        std::vector<Key> keys;
        std::uint8_t usage;  // the key after OK
        bool boxHasFocus;
        bool open;  // the dialog, after the keys
    };
    const Case cases[] = {
        {"Tab leaves the box", {tab}, 0x04, false, true},
        {"Shift+Tab leaves the box", {backtab}, 0x04, false, true},
        {"Enter starts, A is taken", {enter, a}, 0x04, true, true},
        {"Space starts, Tab is taken", {space, tab}, 0x2B, true, true},
        {"Enter starts, Escape cancels", {enter, esc}, 0x04, true, true},
        {"one key only, then Tab leaves", {enter, tab, tab}, 0x2B, false, true},
        {"Escape outside a capture is Cancel", {esc}, 0x04, false, false},
    };
    for (int watched : {1, 0}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (watched ? ", hook library" : ", own keys"));
            watchesDesktop = watched;
            bool focus = false, open = false;
            auto chosen = run({0, 0x04}, WithHooks(), [&](CShortcutWnd& d) {
                d.activateWindow();
                keyBox(d)->setFocus(Qt::TabFocusReason);
                QCoreApplication::processEvents();
                for (std::size_t i = 0; i < c.keys.size(); ++i) {
                    const Key& k = c.keys[i];
                    // The library sees a key pressed while it was on, and posts its copy
                    // before or after the box gets the key: both orders happen.
                    const bool seen = watched && k.vk && hookPosts;
                    if (seen && i % 2 == 1) hookKey(d, k.vk);
                    press(d, k.key, k.xkb, k.modifiers);
                    if (seen && i % 2 == 0) hookKey(d, k.vk);
                    if (watched && k.vk && hookPosts) hookKey(d, k.vk, true);
                }
                focus = keyBox(d)->hasFocus();
                open = d.isVisible();
                if (open) click(d, "btn_ok");
            });
            EXPECT_EQ(focus, c.boxHasFocus);
            EXPECT_EQ(open, c.open);
            if (c.open) EXPECT_EQ(chosen, (Shortcut{0, c.usage}));
            else EXPECT_FALSE(chosen);
        }
    }
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
