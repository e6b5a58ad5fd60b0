// lan.xml: texts by key, hostile files refused without losing the texts in use, and
// the shipped file holds every key the program asks for.
#include <gtest/gtest.h>

#include <QFile>

#include <random>
#include <set>

#include "keys/UsKeyboardLayout.h"
#include "support/SkinFolder.h"
#include "ui/kit/LanguageFile.h"
#include "keys/KeyCodeTable.h"

using halvern::kit::LanguageFile;

namespace {

QByteArray RealLanguageFile() {
    QFile f(QString::fromStdString((halvern::test::SourceSkinFolder() / "lan.xml").string()));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

// Remembers every key asked for.
class KeyRecorder final : public halvern::LanguageTexts {
public:
    std::u16string text(std::string_view key) const override {
        keys.insert(std::string(key));
        return u"x";
    }
    mutable std::set<std::string> keys;
};

}  // namespace

TEST(LanguageFile, TextsByKeyAndMissingKeysReadAsThemselves) {
    LanguageFile lan;
    ASSERT_FALSE(lan.load(R"(<?xml version="1.0"?>
        <Language name="English">
          <Text key="warning_title_text">Please note</Text>
          <Text key="add_profile_text">Profile </Text>
          <Text key="quote_text">a &lt;b&gt; "c"</Text>
        </Language>)",
                          QStringLiteral("lan.xml")));
    EXPECT_EQ(lan.text(QStringLiteral("warning_title_text")), QStringLiteral("Please note"));
    EXPECT_EQ(lan.text(QStringLiteral("add_profile_text")), QStringLiteral("Profile "));
    EXPECT_EQ(lan.text(QStringLiteral("quote_text")), QStringLiteral("a <b> \"c\""));
    EXPECT_EQ(lan.text(QStringLiteral("Sleep")), QStringLiteral("Sleep"));
    EXPECT_EQ(static_cast<const halvern::LanguageTexts&>(lan).text("warning_title_text"), u"Please note");
}

TEST(LanguageFile, ABrokenFileIsRefusedAndTheOldTextsStay) {
    LanguageFile lan;
    ASSERT_FALSE(lan.load("<Language><Text key='a'>A</Text></Language>", QStringLiteral("lan.xml")));
    const char* broken[] = {
        "<Language><Text key='a'>B</Text><Text key='a'>C</Text></Language>",  // key twice
        "<Language><Text>no key</Text></Language>",
        "<Language><Word key='b'>B</Word></Language>",
        "<Language><Text key='b'>B <b>bold</b></Text></Language>",
        "<Texts/>",
        "<Language><Text key='b'>B</Text>",
        "<!DOCTYPE l [<!ENTITY e 'x'>]><Language><Text key='b'>&e;</Text></Language>",
        "",
        "<Language/><Language/>",
    };
    for (const char* xml : broken) {
        auto error = lan.load(xml, QStringLiteral("lan.xml"));
        EXPECT_TRUE(error.has_value()) << xml;
        EXPECT_TRUE(error.value_or(QString()).startsWith(QStringLiteral("lan.xml:"))) << xml;
        EXPECT_EQ(lan.text(QStringLiteral("a")), QStringLiteral("A")) << xml;
    }
}

TEST(LanguageFile, TruncatedAndCorruptedCopiesNeverCrash) {
    const QByteArray good = RealLanguageFile();
    std::mt19937 random(7);
    for (qsizetype cut = 0; cut < good.size(); cut += 13) {
        LanguageFile lan;
        lan.load(good.left(cut), QStringLiteral("lan.xml"));
    }
    for (int round = 0; round < 300; ++round) {
        QByteArray bad = good;
        for (int f = 0; f < 6; ++f)
            bad[static_cast<qsizetype>(random() % static_cast<unsigned>(bad.size()))] =
                static_cast<char>(random() % 256);
        LanguageFile lan;
        lan.load(bad, QStringLiteral("lan.xml"));
    }
}

TEST(LanguageFile, TheShippedFileHoldsEveryKeyTheKeyTablesAskFor) {
    LanguageFile lan;
    ASSERT_FALSE(lan.load(RealLanguageFile(), QStringLiteral("lan.xml")));
    KeyRecorder recorder;
    halvern::UsKeyboardLayout us;
    for (std::uint32_t code = 0; code < 256; ++code) {
        halvern::UsageToKeyName(code, us, recorder);
        halvern::VirtualKeyToKeyName(code, us, recorder);
    }
    ASSERT_GT(recorder.keys.size(), 60u);
    for (const std::string& key : recorder.keys) EXPECT_TRUE(lan.contains(QString::fromStdString(key))) << key;
}

TEST(LanguageFile, TheShippedFileHoldsTheShellAndDialogKeys) {
    LanguageFile lan;
    ASSERT_FALSE(lan.load(RealLanguageFile(), QStringLiteral("lan.xml")));
    // clang-format off
    for (const char* key :
         {"mouse_name_text", "warning_title_text", "delete_macro_text", "one_profile_text", "delete_profile_text",
          "restore_text", "one_click_text", "warn_name_1_text", "warn_name_2_text", "profile_name_1_text",
          "profile_name_2_text", "add_profile_text", "add_macro_text", "charging_text", "prate_1_text", "prate_4_text",
          "sleep_timer_1_text", "sleep_timer_2_text", "sleep_timer_3_text", "assign_macro_text", "keyboard_ctrl_text",
          "keyboard_shift_text", "keyboard_alt_text", "keyboard_win_text", "start_recording_text",
          "stop_recording_text", "key_down_action", "key_up_action", "button_off_text", "left_click_text",
          "titl_right_text", "lock_pc_text", "my_computer_text", "profile_down_text", "mute_text"})
        EXPECT_TRUE(lan.contains(QString::fromLatin1(key))) << key;
    // clang-format on
}
