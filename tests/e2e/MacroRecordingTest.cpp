// Recording in the real program with the real Hook.so on a private X server, xdotool
// being the user's hands: what the macro store holds afterwards, in each delay mode.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "HalvernUnderX.h"
#include "Stores.h"

namespace halvern::test {
namespace {

// The user's part: out of the record button, "a b" typed with known pauses, a middle
// click, and back onto the button, whose click then stops the recording.
constexpr int kHoldMs = 100;
constexpr int kPauseMs = 300;
constexpr int kToleranceMs = 30;

class MacroRecording : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(h_.problem(), "");
        ASSERT_EQ(h_->ask("click ms_1_btn_macro"), "ok");
        ASSERT_TRUE(WaitFor([&] { return h_->ask("modal") == "ok MS/MS_1/ms_1_macropage.xml"; }));
    }
    void TearDown() override {
        if (h_.problem().empty()) { EXPECT_EQ(h_->ask("close-modal 1"), "ok"); }
    }

    // One recording into a new macro, by the pointer and the keyboard alone.
    void recordByHand() {
        const auto [recordX, recordY] = h_.where("ms_1_macro_record_btn");
        const auto [listX, listY] = h_.where("ms_1_macro_action_list");
        const std::string hold = std::to_string(kHoldMs / 1000.0), pause = std::to_string(kPauseMs / 1000.0);
        ASSERT_TRUE(h_.x().xdotool({"mousemove", recordX, recordY, "sleep", "0.3", "click", "1", "sleep", "0.3"}));
        ASSERT_TRUE(h_->fieldBecomes("ms_1_macro_record_btn", "text", "Stop"));
        ASSERT_TRUE(h_.x().xdotool({"mousemove", listX, listY, "sleep", "0.4"}));
        ASSERT_TRUE(
            h_.x().xdotool({"keydown",   "--delay", "0",     "a",       "sleep",   hold,  "keyup",   "--delay", "0",
                            "a",         "sleep",   pause,   "keydown", "--delay", "0",   "space",   "sleep",   hold,
                            "keyup",     "--delay", "0",     "space",   "sleep",   pause, "keydown", "--delay", "0",
                            "b",         "sleep",   hold,    "keyup",   "--delay", "0",   "b",       "sleep",   pause,
                            "mousedown", "2",       "sleep", hold,      "mouseup", "2",   "sleep",   "0.3"}));
        ASSERT_TRUE(h_.x().xdotool({"mousemove", recordX, recordY, "sleep", "0.4", "click", "1", "sleep", "0.3"}));
        // Stopped, and so committed.
        ASSERT_TRUE(h_->fieldBecomes("ms_1_macro_record_btn", "text", "Record"))
            << h_->field("ms_1_macro_record_btn", "text");
    }

    std::vector<MacroRecord> storedMacros() const { return StoredMacros(h_->dataFolder()); }

    void expectTheTypedSequence(const MacroRecord& m) {
        const std::uint8_t keys[] = {0x04, 0x04, 0x2C, 0x2C, 0x05, 0x05, kMouseMiddle, kMouseMiddle};
        ASSERT_EQ(m.actionCount, 8) << "the click on the record button must not be recorded";
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(m.actions[i].key, keys[i]) << i;
            EXPECT_EQ(m.actions[i].kind, i % 2 == 0 ? MacroAction::Press : MacroAction::Release) << i;
        }
        EXPECT_EQ(m.actions[7].delay, 10);
    }

    HalvernUnderX h_;
};

TEST_F(MacroRecording, RecordDelaysModeStoresThePausesAsTheyWere) {
    ASSERT_EQ(h_->ask("click ms_1_record_delay_btn"), "ok");
    recordByHand();
    const std::vector<MacroRecord> macros = storedMacros();
    ASSERT_EQ(macros.size(), 1u);
    expectTheTypedSequence(macros[0]);
    for (int i = 0; i < 7; ++i) {
        const int want = i % 2 == 0 ? kHoldMs : kPauseMs;
        EXPECT_NEAR(macros[0].actions[i].delay, want, kToleranceMs) << i;
    }
}

TEST_F(MacroRecording, DefaultDelayModeStoresTheTypedDefault) {
    ASSERT_EQ(h_->ask("type ms_1_default_delay_edit 25"), "ok");
    recordByHand();
    ASSERT_EQ(h_->ask("click ms_1_macro_add_btn"), "ok");
    ASSERT_EQ(h_->ask("type ms_1_default_delay_edit 10"), "ok");
    recordByHand();
    const std::vector<MacroRecord> macros = storedMacros();
    ASSERT_EQ(macros.size(), 2u);
    for (std::size_t m = 0; m < 2; ++m) {
        expectTheTypedSequence(macros[m]);
        for (int i = 0; i < 7; ++i) EXPECT_EQ(macros[m].actions[i].delay, m == 0 ? 25 : 10) << m << " " << i;
    }
}

TEST_F(MacroRecording, NoDelayModeStoresNoPauses) {
    ASSERT_EQ(h_->ask("click ms_1_no_delay_btn"), "ok");
    recordByHand();
    const std::vector<MacroRecord> macros = storedMacros();
    ASSERT_EQ(macros.size(), 1u);
    expectTheTypedSequence(macros[0]);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(macros[0].actions[i].delay, 1) << i;
    EXPECT_EQ(h_->ask("rows ms_1_macro_action_list"),
              "ok 8\tA Press 1\tA Release 1\tSpace Press 1\tSpace Release 1\tB Press 1\tB Release 1"
              "\tMiddle button Press 1\tMiddle button Release 10");
}

// Started from the keyboard (Space on the focused Record button) after a selected action:
// a click counts from the start, the click on Record that stops the recording does not,
// and the actions that were there keep their pauses.
TEST_F(MacroRecording, StartedBySpaceAfterAnActionClicksCountAndThePausesThatWereThereStay) {
    ASSERT_EQ(h_->ask("click ms_1_macro_add_btn"), "ok");
    ASSERT_EQ(h_->ask("type ms_1_default_delay_edit 40"), "ok");
    ASSERT_EQ(h_->ask("click ms_1_macro_key1_btn"), "ok");  // a left click, 40 ms after each half
    ASSERT_EQ(h_->ask("click ms_1_no_delay_btn"), "ok");
    ASSERT_EQ(h_->ask("pick ms_1_macro_action_list 0"), "ok");
    // The pointer well away from the window, the keyboard on Record.
    ASSERT_TRUE(h_.x().xdotool({"mousemove", "100", "450", "sleep", "0.2"}));
    ASSERT_EQ(h_->ask("focus ms_1_macro_record_btn"), "ok");
    ASSERT_TRUE(h_.x().xdotool({"key", "space", "sleep", "0.3"}));
    ASSERT_TRUE(h_->fieldBecomes("ms_1_macro_record_btn", "text", "Stop"));
    ASSERT_TRUE(h_.x().xdotool({"click", "3", "sleep", "0.3", "key", "a", "sleep", "0.3"}));
    ASSERT_TRUE(h_.clickOn("ms_1_macro_record_btn"));
    ASSERT_TRUE(h_->fieldBecomes("ms_1_macro_record_btn", "text", "Record"));

    const std::vector<MacroRecord> macros = storedMacros();
    ASSERT_EQ(macros.size(), 1u);
    const MacroAction want[] = {{kMouseLeft, MacroAction::Press, 40},   {kMouseRight, MacroAction::Press, 1},
                                {kMouseRight, MacroAction::Release, 1}, {0x04, MacroAction::Press, 1},
                                {0x04, MacroAction::Release, 10},       {kMouseLeft, MacroAction::Release, 40}};
    ASSERT_EQ(macros[0].actionCount, 6) << h_->ask("rows ms_1_macro_action_list");
    for (int i = 0; i < 6; ++i) EXPECT_EQ(macros[0].actions[i], want[i]) << i;
}

TEST_F(MacroRecording, ARecordedMacroIsExportedAsItIsStoredAndImportedUnderNewNames) {
    recordByHand();
    const std::filesystem::path file = h_->dataFolder() / "typed";
    ASSERT_EQ(h_->ask("answer-file " + file.string()), "ok");
    ASSERT_EQ(h_->ask("click ms_1_macro_export_btn"), "ok");
    const std::filesystem::path written = file.string() + ".macro";
    // The driver answers a click before the click runs.
    ASSERT_TRUE(WaitFor([&] {
        std::error_code ec;
        return std::filesystem::file_size(written, ec) == MacroRecord::kSize;
    }));
    std::ifstream in(written, std::ios::binary);
    MacroRecord exported;
    ASSERT_TRUE(in.read(reinterpret_cast<char*>(&exported), sizeof exported));
    EXPECT_EQ(in.get(), std::char_traits<char>::eof());
    const std::vector<MacroRecord> before = storedMacros();
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(std::memcmp(&exported, &before[0], sizeof exported), 0);

    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(h_->ask("answer-file " + file.string() + ".macro"), "ok");
        ASSERT_EQ(h_->ask("click ms_1_macro_import_btn"), "ok");
    }
    EXPECT_EQ(h_->ask("rows ms_1_macro_list"), "ok 3\tMacro 1\tMacro 1_1\tMacro 1_2");
    const std::vector<MacroRecord> after = storedMacros();
    ASSERT_EQ(after.size(), 3u);
    expectTheTypedSequence(after[2]);
}

}  // namespace
}  // namespace halvern::test
