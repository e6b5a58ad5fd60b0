#include "storage/MacroStore.h"

#include <gtest/gtest.h>

#include <cstring>

#include "records/MouseProfile.h"
#include "records/Text.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace halvern {
namespace {

class MacroStoreTest : public ::testing::Test {
protected:
    std::filesystem::path folder() const { return dir_ / "ms_1"; }
    std::filesystem::path file() const { return folder() / "macro.data"; }
    test::TempDir dir_;
};

TEST_F(MacroStoreTest, ThreeNewMacrosAreNumberedAndStoredBackToBack) {
    MacroStore store(folder());
    EXPECT_EQ(store.load().outcome, StoreLoadResult::Outcome::Missing);
    EXPECT_EQ(store.size(), 0u);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(store.createMacro(u"Macro").ok());
    EXPECT_EQ(store.at(0).nameText(), u"Macro1");
    EXPECT_EQ(store.at(1).nameText(), u"Macro2");
    EXPECT_EQ(store.at(2).nameText(), u"Macro3");
    EXPECT_EQ(std::filesystem::file_size(file()), 2088u);

    MacroStore reloaded(folder());
    EXPECT_EQ(reloaded.load().outcome, StoreLoadResult::Outcome::Loaded);
    ASSERT_EQ(reloaded.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(test::BytesOf(reloaded.at(i)), test::BytesOf(store.at(i)));
}

TEST_F(MacroStoreTest, AnEmptyListSavesAnEmptyFileThatLoadsEmpty) {
    MacroStore store(folder());
    ASSERT_TRUE(store.createMacro(u"Macro").ok());
    store.remove(0);
    EXPECT_FALSE(store.save());
    EXPECT_EQ(std::filesystem::file_size(file()), 0u);
    MacroStore reloaded(folder());
    EXPECT_EQ(reloaded.load().outcome, StoreLoadResult::Outcome::Loaded);
    EXPECT_EQ(reloaded.size(), 0u);
}

TEST_F(MacroStoreTest, AFullMacroUsesEveryStep) {
    MacroStore store(folder());
    MacroRecord& m = *store.createMacro(u"Macro").macro;
    m.actionCount = 160;
    for (int i = 0; i < 160; ++i) m.actions[i] = {0x2C, static_cast<std::uint8_t>(1 + i % 2), 65535};
    store.save();
    auto bytes = test::ReadAll(file());
    ASSERT_EQ(bytes.size(), 696u);
    EXPECT_EQ(bytes[56 + 159 * 4], 0x2C);
    EXPECT_EQ(bytes[56 + 159 * 4 + 3], 0xFF);

    MacroStore reloaded(folder());
    EXPECT_EQ(reloaded.load().outcome, StoreLoadResult::Outcome::Loaded) << "a full macro is no damage";
    ASSERT_EQ(reloaded.size(), 1u);
    EXPECT_EQ(reloaded.at(0).actionCount, 160);
}

TEST_F(MacroStoreTest, AMacroWhoseSaveFailsIsTakenBackAndTheFailureReported) {
    MacroStore store(folder());
    for (int i = 1; i <= 47; ++i) {
        auto macro = std::make_unique<MacroRecord>();
        macro->setName(u"Macro" + AsciiToUtf16(std::to_string(i)));
        store.append(std::move(macro));
    }
    ASSERT_FALSE(store.save());
    CreatedMacro failed;
    {
        test::DiskFullAfter full(47 * 696 + 100);
        failed = store.createMacro(u"Macro");
    }
    EXPECT_FALSE(failed.ok());
    EXPECT_NE(failed.error.find("macro.data"), std::string::npos) << failed.error;
    EXPECT_EQ(store.size(), 47u);
    EXPECT_EQ(std::filesystem::file_size(file()), 47 * 696u);

    CreatedMacro next = store.createMacro(u"Macro");
    ASSERT_TRUE(next.ok()) << next.error;
    EXPECT_EQ(next.macro->nameText(), u"Macro48");
    EXPECT_EQ(next.macro, &store.at(47));
}

TEST_F(MacroStoreTest, ARepairThatCannotBeSavedLeavesTheOriginalInPlace) {
    MacroStore writer(folder());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(writer.createMacro(u"Macro").ok());
    auto damaged = test::ReadAll(file());
    damaged.resize(damaged.size() - 10);
    test::WriteAll(file(), damaged);

    StoreLoadResult r;
    {
        test::DiskFullAfter full(100);
        r = MacroStore(folder()).load();
    }
    EXPECT_EQ(r.outcome, StoreLoadResult::Outcome::Repaired);
    ASSERT_TRUE(r.saveError);
    EXPECT_EQ(test::ReadAll(file()), damaged) << "the store must not go missing";
    ASSERT_TRUE(r.keptAs);
    EXPECT_EQ(test::ReadAll(*r.keptAs), damaged);
}

TEST_F(MacroStoreTest, LoadingRemovesTheStoresOwnTemporaryLeftoversOnly) {
    MacroStore writer(folder());
    ASSERT_TRUE(writer.createMacro(u"Macro").ok());
    test::WriteAll(folder() / ".macro.data.tmp-Ab3xY9", {1, 2});
    test::WriteAll(folder() / ".pro.data.tmp-Ab3xY9", {1, 2});

    MacroStore store(folder());
    auto r = store.load();
    EXPECT_EQ(r.outcome, StoreLoadResult::Outcome::Loaded);
    EXPECT_EQ(r.leftoversRemoved, std::vector<std::filesystem::path>{folder() / ".macro.data.tmp-Ab3xY9"});
    EXPECT_FALSE(std::filesystem::exists(folder() / ".macro.data.tmp-Ab3xY9"));
    EXPECT_TRUE(std::filesystem::exists(folder() / ".pro.data.tmp-Ab3xY9"));
    EXPECT_EQ(store.size(), 1u);
}

TEST_F(MacroStoreTest, CreatedNamesSkipTakenOnesAndFitTwentyThreeUnits) {
    MacroStore store(folder());
    auto taken = std::make_unique<MacroRecord>();
    taken->setName(u"MACRO1");
    store.append(std::move(taken));
    // count 1 -> "Macro2" is free
    EXPECT_EQ(store.createMacro(u"Macro").macro->nameText(), u"Macro2");
    auto clash = std::make_unique<MacroRecord>();
    clash->setName(u"macro3");
    store.append(std::move(clash));
    // count 3 -> "Macro4" free
    EXPECT_EQ(store.createMacro(u"Macro").macro->nameText(), u"Macro4");

    MacroStore longNames(dir_ / "other");
    std::u16string text(22, u'm');  // + "1" = 23 units, a full field
    std::u16string first = longNames.createMacro(text).macro->nameText();
    EXPECT_EQ(first, text + u"1");
    // Taken: the base gives up units so that "_1" fits, and the result is still free.
    std::u16string unique = longNames.uniqueName(first);
    EXPECT_EQ(unique, std::u16string(21, u'm') + u"_1");
    EXPECT_FALSE(longNames.nameExists(unique));
}

TEST_F(MacroStoreTest, FindByNameComparesStepsWithAButtonCopy) {
    MacroStore store(folder());
    MacroRecord& m = *store.createMacro(u"Macro").macro;
    m.actionCount = 1;
    m.actions[0] = {0x04, 1, 20};
    auto profile = MouseProfile::Create(u"P");
    ButtonAssignment& b = profile->buttons[0];
    b.assignMacro(m, 0, 1, 0);

    MacroMatch match = store.findByName(u"MACRO1", &b);
    EXPECT_EQ(match.position, 0);
    EXPECT_TRUE(match.sameActions);
    b.macroActions[0].delay = 21;
    EXPECT_FALSE(store.findByName(u"macro1", &b).sameActions);
    EXPECT_EQ(store.findByName(u"nothing").position, -1);
}

TEST_F(MacroStoreTest, MalformedStoresAreRepairedAndTheOriginalKept) {
    MacroStore writer(folder());
    ASSERT_TRUE(writer.createMacro(u"Macro").ok());
    ASSERT_TRUE(writer.createMacro(u"Macro").ok());
    auto bytes = test::ReadAll(file());
    bytes[52] = 0xFF;                                               // actionCount of the first record: 255
    std::fill(bytes.begin() + 696, bytes.begin() + 696 + 48, 'q');  // second name unterminated
    bytes.push_back(7);                                             // partial third record
    test::WriteAll(file(), bytes);

    MacroStore store(folder());
    auto r = store.load();
    EXPECT_EQ(r.outcome, StoreLoadResult::Outcome::Repaired);
    EXPECT_EQ(r.problems.size(), 3u);
    ASSERT_TRUE(r.keptAs);
    EXPECT_EQ(test::ReadAll(*r.keptAs), bytes);
    ASSERT_EQ(store.size(), 2u);
    EXPECT_EQ(store.at(0).actionCount, 160);
    EXPECT_EQ(store.at(1).nameText().size(), 23u);
    EXPECT_EQ(std::filesystem::file_size(file()), 2 * 696u);
}

}  // namespace
}  // namespace halvern
