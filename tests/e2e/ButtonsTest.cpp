// The button section of the built program, used as a user would, against the virtual
// mouse: a key combination and a macro assigned through the menu and the dialogs, what
// the mouse receives for them compared with what halvernctl says one apply of the same
// profile writes, and the macro copies of every profile after the macro editor renamed
// or deleted their macro.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <sstream>

#include "RunningHalvern.h"
#include "protocol/CommandReports.h"
#include "storage/MacroStore.h"
#include "storage/ProfileStore.h"
#include "storage/RecordFiles.h"
#include "support/Macros.h"
#include "support/RunProcess.h"

namespace halvern::test {
namespace {

namespace fs = std::filesystem;

// No X display and no Wayland: the hook library watches nothing, so the dialogs take
// the keys the test driver presses on them.
const std::map<std::string, std::string> kNoDesktop = {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}};
constexpr int kKeyK = 37;  // Linux key code

class ButtonsEndToEnd : public ::testing::Test {
protected:
    // `macro` in the macro store of `data`, and profiles named `names` (the first
    // selected) once `edit` has had them.
    static void StoreMacroAndProfiles(const fs::path& data, const MacroRecord& macro,
                                      std::initializer_list<const char16_t*> names,
                                      const std::function<void(ProfileStore&)>& edit) {
        fs::create_directories(data / "ms_1");
        MacroStore macros(data / "ms_1");
        macros.load();
        macros.append(std::make_unique<MacroRecord>(macro));
        ASSERT_FALSE(macros.save());
        ProfileStore profiles(data / "ms_1");
        profiles.load(u"Profile ");
        profiles.profiles().clear();
        for (const char16_t* name : names) profiles.append(MouseProfile::Create(name));
        edit(profiles);
        profiles.setSelectedProfile(0);
        ASSERT_FALSE(profiles.save());
    }

    // The program on the receiver over `data` (empty: a fresh folder), the first full
    // apply done.
    void start(const fs::path& data = {}) {
        halvern = std::make_unique<RunningHalvern>("receiver", data, kNoDesktop);
        ASSERT_TRUE(halvern->ready()) << halvern->err();
        ASSERT_TRUE(halvern->apply());
    }

    // The current profile written to a file through the page's export.
    fs::path exported(const std::string& name) {
        const fs::path file = files / (name + ".pro");
        EXPECT_EQ(halvern->ask("answer-file " + file.string()), "ok");
        EXPECT_EQ(halvern->ask("click ms_1_profile_export_btn"), "ok");
        EXPECT_EQ(halvern->ask("modal"), "ok none");
        return file;
    }

    // What halvernctl says an apply of `after` writes to a mouse that holds `before`.
    std::vector<std::string> ctlReports(const fs::path& after, const fs::path& before) {
        ProcessResult r = RunProcess(
            HALVERNCTL_PATH, {"reports", after.string(), "--transport", "receiver", "--against", before.string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return NonEmptyLines(r.out);
    }

    bool modalIs(const std::string& layout) {
        return WaitFor([&] { return halvern->ask("modal") == "ok " + layout; });
    }

    // Opens the menu of key button n and chooses `item`.
    void choose(int n, const std::string& item) {
        ASSERT_EQ(halvern->ask("click ms_1_btn_key_" + std::to_string(n)), "ok");
        ASSERT_EQ(halvern->ask("click " + item), "ok");
    }

    TempDir files;
    std::unique_ptr<RunningHalvern> halvern;
};

TEST_F(ButtonsEndToEnd, CtrlShiftKOnButtonFourIsShownAndSentAsHalvernctlWouldSendIt) {
    start();
    const fs::path before = exported("before");
    const std::size_t seen = halvern->received().size();
    const int applied = halvern->applies().first;

    choose(4, "ms_1_shortcut");
    ASSERT_TRUE(modalIs("shortcut.xml"));
    ASSERT_EQ(halvern->ask("click check_flag_1"), "ok");
    ASSERT_EQ(halvern->ask("click check_flag_2"), "ok");
    ASSERT_EQ(halvern->ask("press edit_key " + std::to_string(kKeyK)), "ok");
    EXPECT_TRUE(halvern->fieldBecomes("edit_key", "text", "K"));
    ASSERT_EQ(halvern->ask("click btn_ok"), "ok");
    ASSERT_TRUE(modalIs("none"));

    EXPECT_EQ(halvern->field("ms_1_btn_key_4", "text"), "Ctrl+Shift+K");
    ASSERT_TRUE(halvern->waitForAppliesAfter(applied));
    const std::vector<std::string> sent = halvern->receivedSince(seen);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(ByteAt(sent.front(), 0), ReportId::Buttons);
    EXPECT_EQ(sent, ctlReports(exported("after"), before));
}

// A profile holding a macro on button 6, which owns no macro blocks on the mouse: the
// label says the macro does not play there, the menu offers no "Macro…" there and says
// why, the mouse gets no chunk, and the store keeps the entry's bytes through other edits.
TEST_F(ButtonsEndToEnd, AMacroOnAButtonWithoutBlocksIsKeptLabelledAndNeverSent) {
    TempDir data;
    MacroRecord fire;
    fire.setName(u"Fire");
    fire.actionCount = 2;
    fire.actions[0] = {0x04, MacroAction::Press, 30};
    fire.actions[1] = {0x04, MacroAction::Release, 10};
    StoreMacroAndProfiles(data.path(), fire, {u"Main"},
                          [&](ProfileStore& profiles) { profiles.at(0).buttons[5].assignMacro(fire, 0, 3, 0); });
    // Entry `n` of the stored profile, as another reader of the store sees it.
    const auto storedEntry = [&](int n) {
        TempDir copy;
        fs::copy_file(data / "ms_1" / ProfileStore::kFileName, copy / ProfileStore::kFileName);
        ProfileStore stored(copy.path());
        stored.load(u"x");
        return stored.at(0).buttons[n];
    };
    const ButtonAssignment kept = storedEntry(5);
    start(data.path());

    EXPECT_EQ(halvern->field("ms_1_btn_key_6", "text"), "Macro (does not play here): Fire");
    bool buttonsSent = false;
    for (const std::string& line : halvern->received()) {
        EXPECT_NE(ByteAt(line, 0), ReportId::MacroChunk) << line;
        if (ByteAt(line, 0) != ReportId::Buttons) continue;
        buttonsSent = true;
        EXPECT_EQ(line.substr(2 * (3 + 3 * 5), 6), "120000") << "a macro button with no block";
    }
    EXPECT_TRUE(buttonsSent);

    ASSERT_EQ(halvern->ask("click ms_1_btn_key_6"), "ok");
    EXPECT_EQ(halvern->ask("get ms_1_select_macro"),
              "ok text=Macro… enabled=0 tip=The mouse keeps macros for buttons 1, 2, 3, 4, 5, 9, 10 only");
    EXPECT_EQ(halvern->ask("click ms_1_select_macro"), "error ms_1_select_macro is disabled");
    ASSERT_TRUE(modalIs("none"));
    ASSERT_EQ(halvern->ask("click ms_1_btn_key_5"), "ok");
    EXPECT_EQ(AnswerField(halvern->ask("get ms_1_select_macro"), "enabled"), "1");

    const int applied = halvern->applies().first;
    choose(3, "ms_1_forward");
    ASSERT_TRUE(halvern->waitForAppliesAfter(applied));
    ASSERT_TRUE(WaitFor([&] { return storedEntry(2).function == ButtonFunction::Forward; }))
        << "the store is written again";
    const ButtonAssignment after = storedEntry(5);
    EXPECT_EQ(std::memcmp(&after, &kept, sizeof kept), 0);
}

TEST_F(ButtonsEndToEnd, AMacroOnButtonFiveFollowsTheEditorsRenameAndDeleteInEveryProfile) {
    // A recorded macro and a second profile whose seventh button plays it already.
    TempDir data;
    MacroRecord burst;
    burst.setName(u"Burst");
    burst.actionCount = 4;
    burst.actions[0] = {0x04, MacroAction::Press, 87};
    burst.actions[1] = {0x04, MacroAction::Release, 143};
    burst.actions[2] = {0x2C, MacroAction::Press, 64};
    burst.actions[3] = {0x2C, MacroAction::Release, 10};
    StoreMacroAndProfiles(data.path(), burst, {u"Main", u"Other"},
                          [&](ProfileStore& profiles) { profiles.at(1).buttons[6].assignMacro(burst, 0, 1, 0); });
    start(data.path());
    const fs::path before = exported("before");
    std::size_t seen = halvern->received().size();
    int applied = halvern->applies().first;

    choose(5, "ms_1_select_macro");
    ASSERT_TRUE(modalIs("MS/MS_1/selectmacro.xml"));
    ASSERT_EQ(halvern->ask("rows list_macro"), "ok 1\tBurst");
    ASSERT_EQ(halvern->ask("pick list_macro 0"), "ok");
    ASSERT_EQ(halvern->ask("type edit_loop_time 3"), "ok");
    ASSERT_EQ(halvern->ask("click btn_ok"), "ok");
    ASSERT_TRUE(modalIs("none"));
    EXPECT_EQ(halvern->field("ms_1_btn_key_5", "text"), "Macro: Burst");
    ASSERT_TRUE(halvern->waitForAppliesAfter(applied));
    {
        SCOPED_TRACE("the button report and the macro chunks, as halvernctl builds them");
        const std::vector<std::string> sent = halvern->receivedSince(seen);
        std::set<int> ids;
        for (const std::string& line : sent) ids.insert(ByteAt(line, 0));
        EXPECT_EQ(ids, (std::set<int>{ReportId::Buttons, ReportId::MacroChunk}));
        EXPECT_EQ(sent, ctlReports(exported("after"), before));
    }

    {
        SCOPED_TRACE("renamed in the editor: every profile's button plays it under the new name");
        ASSERT_EQ(halvern->ask("click ms_1_btn_macro"), "ok");
        ASSERT_TRUE(modalIs("MS/MS_1/ms_1_macropage.xml"));
        ASSERT_EQ(halvern->ask("pick ms_1_macro_list 0"), "ok");
        ASSERT_EQ(halvern->ask("type ms_1_macro_name_edit Volley"), "ok");
        ASSERT_EQ(halvern->ask("key ms_1_macro_name_edit Tab"), "ok");
        ASSERT_EQ(halvern->ask("close-modal 1"), "ok");
        ASSERT_TRUE(modalIs("none"));
        EXPECT_TRUE(halvern->fieldBecomes("ms_1_btn_key_5", "text", "Macro: Volley"));
        TempDir copy;
        fs::copy_file(data / "ms_1" / ProfileStore::kFileName, copy / ProfileStore::kFileName);
        ProfileStore stored(copy.path());
        stored.load(u"x");
        ASSERT_EQ(stored.size(), 2u);
        EXPECT_EQ(stored.at(0).buttons[4].macroNameText(), u"Volley");
        EXPECT_EQ(stored.at(1).buttons[6].macroNameText(), u"Volley");
        EXPECT_EQ(stored.at(1).buttons[6].function, ButtonFunction::Macro);
    }

    {
        SCOPED_TRACE("deleted in the editor: the button goes back to its default function");
        ASSERT_TRUE(WaitFor([&] { return !halvern->applies().second; }));  // the rename's apply
        seen = halvern->received().size();
        applied = halvern->applies().first;
        ASSERT_EQ(halvern->ask("click ms_1_btn_macro"), "ok");
        ASSERT_TRUE(modalIs("MS/MS_1/ms_1_macropage.xml"));
        ASSERT_EQ(halvern->ask("pick ms_1_macro_list 0"), "ok");
        ASSERT_EQ(halvern->ask("click ms_1_macro_delete_btn"), "ok");
        ASSERT_TRUE(modalIs("msg.xml"));
        ASSERT_EQ(halvern->ask("close-modal 1"), "ok");
        ASSERT_TRUE(modalIs("MS/MS_1/ms_1_macropage.xml"));
        ASSERT_EQ(halvern->ask("close-modal 1"), "ok");
        ASSERT_TRUE(modalIs("none"));
        EXPECT_TRUE(halvern->fieldBecomes("ms_1_btn_key_5", "text", "Back"));
        ASSERT_TRUE(halvern->waitForAppliesAfter(applied));
        const std::vector<std::string> sent = halvern->receivedSince(seen);
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(ByteAt(sent.front(), 0), ReportId::Buttons);
    }
}

// Button 2 owns blocks 5..8. Whatever a store holds and whatever file is imported, the
// mouse's log shows no macro block outside them, a macro too long for them is cut there
// and said to be, and a file with one is refused with its name and nothing added.
TEST_F(ButtonsEndToEnd, NoStoreOrImportedFileWritesAMacroOutsideItsButtonsBlocks) {
    const auto longPauses = [](std::u16string_view name) { return LongPauseMacro(120, name); };
    MacroRecord full = ShortStepMacro(160);  // exactly four blocks
    full.setName(u"Full");
    const MacroRecord noise = NoiseMacro(22, 90, u"Noise");

    // A store from before every door checked the bound.
    TempDir data;
    StoreMacroAndProfiles(data.path(), longPauses(u"Spray"), {u"Main"}, [&](ProfileStore& profiles) {
        profiles.at(0).buttons[1].assignMacro(longPauses(u"Spray"), 0, 1, 0);
    });
    auto withMacro = [](std::size_t entry, const MacroRecord& m) {
        auto p = MouseProfile::Create(u"Imported");
        p->buttons[entry].assignMacro(m, 0, 1, -1);
        return p;
    };
    ASSERT_FALSE(ExportProfile(*withMacro(1, longPauses(u"Volley")), files / "long.pro"));
    ASSERT_FALSE(ExportProfile(*withMacro(5, longPauses(u"Sixth")), files / "six.pro"));
    ASSERT_FALSE(ExportProfile(*withMacro(1, full), files / "full.pro"));
    ASSERT_FALSE(ExportMacro(longPauses(u"Burst"), files / "long.macro"));
    ASSERT_FALSE(ExportMacro(noise, files / "noise.macro"));

    start(data.path());
    EXPECT_EQ(halvern->field("ms_1_btn_key_2", "text"), "Macro: Spray (too long)");
    EXPECT_EQ(halvern->field("ms_1_label_apply_state", "visible"), "1") << "the cut apply is incomplete";

    struct Refused {
        const char* file;
        const char* importButton;
        std::string says;
    };
    const std::vector<Refused> refused = {
        {"long.pro", "ms_1_profile_import_btn", "“Volley” needs 5 blocks"},
        {"six.pro", "ms_1_profile_import_btn", "“Sixth” needs 5 blocks"},
        {"long.macro", "ms_1_macro_import_btn", "“Burst” needs 5 blocks"},
        {"noise.macro", "ms_1_macro_import_btn", "of the macro “Noise” is none a macro editor makes"},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.file);
        const bool inEditor = std::string(r.importButton) == "ms_1_macro_import_btn";
        if (inEditor) {
            ASSERT_EQ(halvern->ask("click ms_1_btn_macro"), "ok");
            ASSERT_TRUE(modalIs("MS/MS_1/ms_1_macropage.xml"));
        }
        ASSERT_EQ(halvern->ask("answer-file " + (files / r.file).string()), "ok");
        ASSERT_EQ(halvern->ask(std::string("click ") + r.importButton), "ok");
        ASSERT_TRUE(modalIs("msg.xml"));
        const std::string message = halvern->field("warning", "text");
        EXPECT_NE(message.find(r.says), std::string::npos) << message;
        EXPECT_NE(message.find("Nothing was added."), std::string::npos) << message;
        ASSERT_EQ(halvern->ask("close-modal 1"), "ok");
        if (inEditor) {
            ASSERT_TRUE(modalIs("MS/MS_1/ms_1_macropage.xml"));
            EXPECT_EQ(halvern->ask("rows ms_1_macro_list"), "ok 1\tSpray") << "nothing was added";
            ASSERT_EQ(halvern->ask("close-modal 1"), "ok");
        }
        ASSERT_TRUE(modalIs("none"));
    }
    EXPECT_EQ(halvern->ask("rows ms_1_list_profile").substr(0, 5), "ok 1\t") << "no profile was added";

    // A macro that fills the four blocks to the last step is taken and sent in them.
    const int applied = halvern->applies().first;
    ASSERT_EQ(halvern->ask("answer-file " + (files / "full.pro").string()), "ok");
    ASSERT_EQ(halvern->ask("click ms_1_profile_import_btn"), "ok");
    ASSERT_TRUE(halvern->waitForAppliesAfter(applied));
    EXPECT_EQ(halvern->field("ms_1_btn_key_2", "text"), "Macro: Full");

    std::set<int> blocks;
    for (const std::string& line : halvern->received())
        if (ByteAt(line, 0) == ReportId::MacroChunk) blocks.insert(ByteAt(line, 2));
    EXPECT_EQ(blocks, (std::set<int>{5, 6, 7, 8}));
}

}  // namespace
}  // namespace halvern::test
