#include "storage/RecordFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "storage/MacroStore.h"
#include "storage/ProfileStore.h"
#include "support/Macros.h"
#include "support/TempDir.h"

namespace halvern {
namespace {

class RecordFilesTest : public ::testing::Test {
protected:
    RecordFilesTest() : profiles_(dir_ / "ms_1"), macros_(dir_ / "ms_1") { profiles_.load(u"Profile"); }

    MacroRecord MakeMacro(std::u16string_view name, int steps) {
        MacroRecord m;
        m.setName(name);
        m.actionCount = steps;
        for (int i = 0; i < steps; ++i)
            m.actions[i] = {static_cast<std::uint8_t>(4 + i), static_cast<std::uint8_t>(1 + i % 2),
                            static_cast<std::uint16_t>(10 * i)};
        return m;
    }

    test::TempDir dir_;
    ProfileStore profiles_;
    MacroStore macros_;
};

TEST_F(RecordFilesTest, ExportedProfileIsTheRecordByteForByte) {
    MouseProfile& p = profiles_.at(0);
    p.buttons[0].assignMacro(MakeMacro(u"Burst", 3), 1, 5, 0);
    ASSERT_FALSE(ExportProfile(p, dir_ / "p.pro"));
    EXPECT_EQ(test::ReadAll(dir_ / "p.pro"), test::BytesOf(p));
    profiles_.save();
    auto store = test::ReadAll(dir_ / "ms_1" / "pro.data");
    auto file = test::ReadAll(dir_ / "p.pro");
    EXPECT_TRUE(std::equal(file.begin(), file.end(), store.begin() + ProfileStore::kHeaderSize));
}

TEST_F(RecordFilesTest, ImportingOnTheSameComputerAddsSuffixedProfileAndMacros) {
    MouseProfile& p = profiles_.at(0);
    MacroRecord burst = MakeMacro(u"Burst", 3);
    macros_.append(std::make_unique<MacroRecord>(burst));
    p.buttons[0].assignMacro(burst, 1, 5, 0);
    p.buttons[8].assignMacro(MakeMacro(u"Fresh", 2), 2, 1, 7);
    ASSERT_FALSE(ExportProfile(p, dir_ / "p.pro"));

    ProfileImport r = ImportProfile(dir_ / "p.pro", profiles_, macros_);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.profilePosition, 1u);
    EXPECT_EQ(r.macrosCreated, 2u);
    EXPECT_FALSE(r.macroSaveError);
    const MouseProfile& imported = profiles_.at(1);
    EXPECT_EQ(imported.nameText(), u"Profile1_1");

    ASSERT_EQ(macros_.size(), 3u);
    EXPECT_EQ(macros_.at(1).nameText(), u"Burst_1");
    EXPECT_EQ(macros_.at(2).nameText(), u"Fresh");
    EXPECT_EQ(macros_.at(1).loopCount, 5);
    EXPECT_EQ(macros_.at(1).actionCount, 3);
    EXPECT_EQ(macros_.at(1).actions[2], burst.actions[2]);
    EXPECT_EQ(imported.buttons[0].macroNameText(), u"Burst_1");
    EXPECT_EQ(imported.buttons[0].macroIndex, 1);
    EXPECT_EQ(imported.buttons[8].macroIndex, 2);
    // The macro store on disk holds the new macros.
    EXPECT_EQ(std::filesystem::file_size(dir_ / "ms_1" / "macro.data"), 3 * 696u);
}

TEST_F(RecordFilesTest, ImportingWithoutMacroButtonsLeavesTheMacroStoreAlone) {
    ASSERT_FALSE(ExportProfile(profiles_.at(0), dir_ / "p.pro"));
    ProfileImport r = ImportProfile(dir_ / "p.pro", profiles_, macros_);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.macrosCreated, 0u);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "ms_1" / "macro.data"));
}

TEST_F(RecordFilesTest, FilesOfTheWrongLengthAreRefusedAndChangeNothing) {
    for (std::size_t size : {std::size_t{0}, std::size_t{43935}, std::size_t{43937}, std::size_t{696}}) {
        test::WriteAll(dir_ / "bad.pro", std::vector<unsigned char>(size, 1));
        ProfileImport r = ImportProfile(dir_ / "bad.pro", profiles_, macros_);
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.error.find("bad.pro"), std::string::npos);
        EXPECT_NE(r.error.find("expected 43936"), std::string::npos) << r.error;
    }
    EXPECT_FALSE(ImportProfile(dir_ / "missing.pro", profiles_, macros_).ok());
    std::filesystem::create_directory(dir_ / "folder.pro");
    EXPECT_FALSE(ImportProfile(dir_ / "folder.pro", profiles_, macros_).ok());
    // A pipe nobody writes to would hold the reader forever.
    ASSERT_EQ(::mkfifo((dir_ / "pipe.pro").c_str(), 0600), 0);
    ProfileImport fromPipe = ImportProfile(dir_ / "pipe.pro", profiles_, macros_);
    EXPECT_NE(fromPipe.error.find("not a regular file"), std::string::npos) << fromPipe.error;
    test::WriteAll(dir_ / "bad.macro", std::vector<unsigned char>(695, 1));
    EXPECT_FALSE(ImportMacro(dir_ / "bad.macro", macros_).ok());
    EXPECT_EQ(profiles_.size(), 1u);
    EXPECT_EQ(macros_.size(), 0u);
}

// A refusal names the file on one line, whatever bytes its name holds.
TEST_F(RecordFilesTest, ARefusalNamesTheFileOnOneLine) {
    const std::string name = "two\nlines\x1b[2J\xc7\xc7.macro";
    for (bool exists : {false, true}) {
        if (exists) test::WriteAll(dir_ / name, std::vector<unsigned char>(3, 1));
        const std::string error = ImportMacro(dir_ / name, macros_).error;
        EXPECT_NE(error.find("two\\nlines\\x1b[2J\\xc7\\xc7.macro"), std::string::npos) << error;
        EXPECT_EQ(error.find_first_of("\n\x1b"), std::string::npos) << error;
    }
}

TEST_F(RecordFilesTest, AMacroFileWithMoreThan160ActionsIsRefusedAndNothingAdded) {
    for (std::int32_t count : {161, -1, 100000}) {
        MacroRecord m = MakeMacro(u"Long", 3);
        m.actionCount = count;
        ASSERT_FALSE(ExportMacro(m, dir_ / "long.macro"));
        MacroImport r = ImportMacro(dir_ / "long.macro", macros_);
        EXPECT_FALSE(r.ok()) << count;
        EXPECT_NE(r.error.find("long.macro"), std::string::npos) << r.error;
    }
    EXPECT_EQ(macros_.size(), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "ms_1" / "macro.data"));
}

TEST_F(RecordFilesTest, HostileRecordsAreMadeSafeOnImport) {
    auto p = MouseProfile::Create(u"x");
    std::fill(std::begin(p->name), std::end(p->name), u'N');
    p->buttons[1].function = 17;
    const MacroRecord full = test::ShortStepMacro(160);
    std::copy(std::begin(full.actions), std::end(full.actions), std::begin(p->buttons[1].macroActions));
    p->buttons[1].macroActionCount = 999;
    std::fill(std::begin(p->buttons[1].macroName), std::end(p->buttons[1].macroName), u'M');
    ASSERT_FALSE(ExportProfile(*p, dir_ / "h.pro"));
    ProfileImport r = ImportProfile(dir_ / "h.pro", profiles_, macros_);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(profiles_.at(1).nameText(), std::u16string(99, u'N'));
    EXPECT_EQ(macros_.at(0).actionCount, 160);
    EXPECT_EQ(macros_.at(0).nameText(), std::u16string(23, u'M'));
}

TEST_F(RecordFilesTest, MacroExportImportAddsSuffixOneThenTwo) {
    macros_.append(std::make_unique<MacroRecord>(MakeMacro(u"Combo", 4)));
    macros_.save();
    ASSERT_FALSE(ExportMacro(macros_.at(0), dir_ / "c.macro"));
    auto store = test::ReadAll(dir_ / "ms_1" / "macro.data");
    EXPECT_EQ(test::ReadAll(dir_ / "c.macro"), store);

    MacroImport first = ImportMacro(dir_ / "c.macro", macros_);
    ASSERT_TRUE(first.ok());
    MacroImport second = ImportMacro(dir_ / "c.macro", macros_);
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(macros_.at(1).nameText(), u"Combo_1");
    EXPECT_EQ(macros_.at(2).nameText(), u"Combo_2");
    EXPECT_EQ(second.macroPosition, 2u);
    EXPECT_EQ(std::filesystem::file_size(dir_ / "ms_1" / "macro.data"), 3 * 696u);
}

TEST_F(RecordFilesTest, ImportedMacroNamesStayUniqueWhenTheFieldIsFull) {
    std::u16string full(23, u'z');
    macros_.append(std::make_unique<MacroRecord>(MakeMacro(full, 1)));
    ASSERT_FALSE(ExportMacro(macros_.at(0), dir_ / "z.macro"));
    for (int i = 0; i < 12; ++i) ASSERT_TRUE(ImportMacro(dir_ / "z.macro", macros_).ok());
    for (std::size_t i = 0; i < macros_.size(); ++i) {
        EXPECT_LE(macros_.at(i).nameText().size(), 23u);
        for (std::size_t j = 0; j < i; ++j) EXPECT_NE(macros_.at(i).nameText(), macros_.at(j).nameText());
    }
    EXPECT_EQ(macros_.at(12).nameText(), std::u16string(20, u'z') + u"_12");
}

}  // namespace
}  // namespace halvern

namespace halvern {
namespace {

TEST(RecordFilesRoundTrip, AProfileWithMacrosComesBackIdenticalOnAnotherComputer) {
    test::TempDir home, away;
    ProfileStore source(home / "ms_1");
    source.load(u"Profile");
    MouseProfile& p = source.at(0);
    p.setName(u"Travel");
    p.dpiValue[6] = 221;
    MacroRecord a, b;
    a.setName(u"Alpha");
    a.actionCount = 2;
    a.actions[0] = {0x04, 1, 128};
    a.actions[1] = {0x04, 2, 5};
    b.setName(u"Beta");
    b.actionCount = 160;
    for (auto& act : b.actions) act = {0xF1, 1, 1};
    // Positions as the importing side will hand them out: its macro list is empty.
    p.buttons[0].assignMacro(a, 1, 3, 0);
    p.buttons[8].assignMacro(b, 2, 255, 1);
    p.buttons[0].macroHeader[2] = 0x42;
    ASSERT_FALSE(ExportProfile(p, home / "t.pro"));

    ProfileStore target(away / "ms_1");
    target.load(u"Profile");
    MacroStore macros(away / "ms_1");
    macros.load();
    ProfileImport r = ImportProfile(home / "t.pro", target, macros);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(test::BytesOf(target.at(r.profilePosition)), test::BytesOf(p));
    ASSERT_EQ(macros.size(), 2u);
    EXPECT_EQ(macros.at(1).actionCount, 160);
    EXPECT_EQ(macros.at(0).actions[0], (MacroAction{0x04, 1, 128}));
}

}  // namespace
}  // namespace halvern
