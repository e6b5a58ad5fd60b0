#include "storage/ProfileStore.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "storage/MacroStore.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace halvern {
namespace {

constexpr std::u16string_view kAddProfile = u"Profile";
constexpr std::size_t kHeader = 219684;
constexpr std::size_t kRecord = 43936;

class ProfileStoreTest : public ::testing::Test {
protected:
    std::filesystem::path folder() const { return dir_ / "ms_1"; }
    std::filesystem::path file() const { return folder() / "pro.data"; }

    // A store file as another program might have written it.
    std::vector<unsigned char> MakeFile(std::int32_t selected, const std::vector<std::u16string>& names,
                                        unsigned char reservedFill = 0) {
        std::vector<unsigned char> bytes(kHeader, reservedFill);
        std::memcpy(bytes.data(), &selected, 4);
        for (const auto& n : names) {
            auto rec = test::BytesOf(*MouseProfile::Create(n));
            bytes.insert(bytes.end(), rec.begin(), rec.end());
        }
        return bytes;
    }
    void Put(const std::vector<unsigned char>& bytes) {
        std::filesystem::create_directories(folder());
        test::WriteAll(file(), bytes);
    }
    static void PutText(const std::filesystem::path& path) { test::WriteAll(path, {'x'}); }

    test::TempDir dir_;
};

TEST_F(ProfileStoreTest, FirstRunCreatesOneDefaultProfileAndSavesIt) {
    ProfileStore store(folder());
    auto r = store.load(kAddProfile);
    EXPECT_EQ(r.outcome, StoreLoadResult::Outcome::Missing);
    EXPECT_FALSE(r.saveError);
    ASSERT_EQ(store.size(), 1u);
    EXPECT_EQ(store.at(0).nameText(), u"Profile1");
    EXPECT_EQ(store.selectedProfile(), 0);
    auto bytes = test::ReadAll(file());
    ASSERT_EQ(bytes.size(), kHeader + kRecord);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + kHeader, [](unsigned char b) { return b == 0; }));
}

TEST_F(ProfileStoreTest, ThreeProfilesRoundTripByteForByteWithAReservedAreaMadeElsewhere) {
    auto original = MakeFile(2, {u"One", u"Two", u"Three"}, 0x5A);
    original[4] = 0x11;  // something in the reserved blocks
    Put(original);
    ASSERT_EQ(original.size(), 351492u);

    ProfileStore store(folder());
    auto r = store.load(kAddProfile);
    EXPECT_EQ(r.outcome, StoreLoadResult::Outcome::Loaded);
    ASSERT_EQ(store.size(), 3u);
    EXPECT_EQ(store.at(0).nameText(), u"One");
    EXPECT_EQ(store.at(2).nameText(), u"Three");
    EXPECT_EQ(store.currentProfile(), &store.at(2));

    EXPECT_FALSE(store.save());
    EXPECT_EQ(test::ReadAll(file()), original);
    EXPECT_FALSE(std::filesystem::exists(file().string() + ".bad"));
}

TEST_F(ProfileStoreTest, DefaultNamesSkipNamesAlreadyTaken) {
    ProfileStore one(folder());
    one.append(MouseProfile::Create(u"PROFILE2"));
    EXPECT_EQ(one.createDefaultProfile(kAddProfile).nameText(), u"Profile2_1");

    ProfileStore two(folder());
    two.append(MouseProfile::Create(u"Profile3"));
    two.append(MouseProfile::Create(u"profile3_1"));
    EXPECT_EQ(two.createDefaultProfile(kAddProfile).nameText(), u"Profile3_2");
    EXPECT_TRUE(two.nameExists(u"PROFILE3_1"));
    EXPECT_FALSE(two.nameExists(u"Profile4"));
    EXPECT_FALSE(ProfileStore(folder()).nameExists(u"Profile1"));
}

TEST_F(ProfileStoreTest, ALongLanguageTextStillGivesANameThatFits) {
    ProfileStore store(folder());
    std::u16string longText(120, u'p');
    auto& first = store.createDefaultProfile(longText);
    EXPECT_EQ(first.nameText().size(), 99u);
    store.append(MouseProfile::Create(first.nameText()));  // make the next one collide
    store.remove(0);
    store.append(MouseProfile::Create(u"x"));
    auto& third = store.createDefaultProfile(longText);
    EXPECT_LE(third.nameText().size(), 99u);
    EXPECT_EQ(std::count_if(store.profiles().begin(), store.profiles().end(),
                            [&](const auto& p) { return EqualsIgnoreCase(p->nameText(), third.nameText()); }),
              1);
}

struct Malformed {
    const char* what;
    std::function<std::vector<unsigned char>(std::vector<unsigned char>)> damage;
    std::size_t profilesAfter;
    std::int32_t selectedAfter;
};

class ProfileStoreRepair : public ProfileStoreTest, public ::testing::WithParamInterface<Malformed> {};

TEST_P(ProfileStoreRepair, RepairsKeepTheOriginalBesideTheStore) {
    auto good = MakeFile(1, {u"One", u"Two"});
    auto damaged = GetParam().damage(good);
    Put(damaged);

    ProfileStore store(folder());
    auto r = store.load(kAddProfile);
    EXPECT_EQ(r.outcome, StoreLoadResult::Outcome::Repaired);
    EXPECT_FALSE(r.problems.empty());
    ASSERT_TRUE(r.keptAs);
    EXPECT_EQ(test::ReadAll(*r.keptAs), damaged) << "the user's original must survive untouched";
    EXPECT_EQ(store.size(), GetParam().profilesAfter);
    EXPECT_EQ(store.selectedProfile(), GetParam().selectedAfter);
    ASSERT_NE(store.currentProfile(), nullptr);

    // The repaired store on disk loads cleanly.
    ProfileStore again(folder());
    EXPECT_EQ(again.load(kAddProfile).outcome, StoreLoadResult::Outcome::Loaded);
    EXPECT_EQ(again.size(), GetParam().profilesAfter);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    MalformedStores, ProfileStoreRepair,
    ::testing::Values(
        Malformed{"empty", [](auto) { return std::vector<unsigned char>{}; }, 1, 0},
        Malformed{"short header", [](auto b) { b.resize(1000); return b; }, 1, 0},
        Malformed{"header only", [](auto b) { b.resize(kHeader); return b; }, 1, 0},
        Malformed{"partial last record", [](auto b) { b.resize(b.size() - 100); return b; }, 1, 0},
        Malformed{"selected out of range",
                  [](auto b) { std::int32_t s = 7; std::memcpy(b.data(), &s, 4); return b; }, 2, 0},
        Malformed{"selected one past the last",
                  [](auto b) { std::int32_t s = 2; std::memcpy(b.data(), &s, 4); return b; }, 2, 0},
        Malformed{"negative selected",
                  [](auto b) { std::int32_t s = -1; std::memcpy(b.data(), &s, 4); return b; }, 2, 0},
        Malformed{"unterminated name",
                  [](auto b) { std::fill(b.begin() + kHeader, b.begin() + kHeader + 200, 'x'); return b; }, 2, 1},
        Malformed{"huge step count",
                  [](auto b) { b[kHeader + 2464 + 68] = 0xFF; b[kHeader + 2464 + 69] = 0xFF; return b; }, 2, 1}),
    [](const auto& param) {
        std::string n = param.param.what;
        std::replace(n.begin(), n.end(), ' ', '_');
        return n;
    });
// clang-format on

TEST_F(ProfileStoreTest, ASecondRepairDoesNotOverwriteTheFirstBackup) {
    Put({1, 2, 3});
    ProfileStore(folder()).load(kAddProfile);
    Put({4, 5});
    ProfileStore store(folder());
    auto r = store.load(kAddProfile);
    ASSERT_TRUE(r.keptAs);
    EXPECT_EQ(test::ReadAll(file().string() + ".bad"), (std::vector<unsigned char>{1, 2, 3}));
    EXPECT_EQ(test::ReadAll(*r.keptAs), (std::vector<unsigned char>{4, 5}));
}

TEST_F(ProfileStoreTest, AFailedSaveLeavesThePreviousStoreWholeAndSaysWhy) {
    auto original = MakeFile(0, {u"Keep me"});
    Put(original);
    ProfileStore store(folder());
    store.load(kAddProfile);
    store.append(MouseProfile::Create(u"New"));

    std::optional<std::string> error;
    {
        test::DiskFullAfter full(kHeader + kRecord + 1000);
        error = store.save();
    }
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("pro.data"), std::string::npos) << *error;
    EXPECT_EQ(test::ReadAll(file()), original);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder()), {}), 1) << "no temporary file left";
}

TEST_F(ProfileStoreTest, ASaveKilledHalfwayLeavesThePreviousStoreWhole) {
    auto original = MakeFile(0, {u"Keep me", u"And me"});
    Put(original);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ProfileStore store(folder());
        store.load(kAddProfile);
        for (int i = 0; i < 5; ++i) store.append(MouseProfile::Create(u"More"));
        test::FileSizeLimit limit(kHeader + kRecord * 3);  // the kernel kills the writer mid-file
        store.save();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the save was expected to be cut off";
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);

    EXPECT_EQ(test::ReadAll(file()), original);
    ProfileStore after(folder());
    EXPECT_EQ(after.load(kAddProfile).outcome, StoreLoadResult::Outcome::Loaded);
    EXPECT_EQ(after.size(), 2u);
}

TEST_F(ProfileStoreTest, SaveWritesNoTemporaryFilesBehind) {
    ProfileStore store(folder());
    store.load(kAddProfile);
    for (int i = 0; i < 3; ++i) store.save();
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder())) names.push_back(e.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"pro.data"});
}

TEST_F(ProfileStoreTest, ARepairThatCannotBeSavedLeavesTheOriginalInPlace) {
    auto damaged = MakeFile(0, {u"Keep me", u"And me"});
    damaged.resize(damaged.size() - 100);
    Put(damaged);
    StoreLoadResult r;
    {
        test::DiskFullAfter full(1000);
        r = ProfileStore(folder()).load(kAddProfile);
    }
    EXPECT_EQ(r.outcome, StoreLoadResult::Outcome::Repaired);
    ASSERT_TRUE(r.saveError);
    EXPECT_EQ(test::ReadAll(file()), damaged) << "the store must not go missing";
    ASSERT_TRUE(r.keptAs);
    EXPECT_EQ(test::ReadAll(*r.keptAs), damaged);

    // With room again, the next start repairs it after all, and the first copy stays.
    ProfileStore store(folder());
    auto again = store.load(kAddProfile);
    EXPECT_EQ(again.outcome, StoreLoadResult::Outcome::Repaired);
    EXPECT_FALSE(again.saveError);
    EXPECT_EQ(store.size(), 1u);
    EXPECT_EQ(store.at(0).nameText(), u"Keep me");
    EXPECT_EQ(test::ReadAll(file().string() + ".bad"), damaged);
}

TEST_F(ProfileStoreTest, LoadingRemovesWhatKilledSavesLeftUnlessAnotherProgramOwnsTheStore) {
    auto original = MakeFile(0, {u"Keep me"});
    Put(original);
    for (int i = 0; i < 2; ++i) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ProfileStore store(folder());
            store.load(kAddProfile, Leftovers::Keep);
            test::FileSizeLimit limit(kHeader);
            store.save();
            _exit(0);
        }
        waitpid(child, nullptr, 0);
    }
    PutText(folder() / ".macro.data.tmp-abc123");  // the other store's: its own load clears it
    ASSERT_EQ(std::distance(std::filesystem::directory_iterator(folder()), {}), 4);

    ProfileStore reader(folder());
    EXPECT_TRUE(reader.load(kAddProfile, Leftovers::Keep).leftoversRemoved.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder()), {}), 4);

    ProfileStore owner(folder());
    auto r = owner.load(kAddProfile);
    EXPECT_EQ(r.outcome, StoreLoadResult::Outcome::Loaded);
    EXPECT_EQ(r.leftoversRemoved.size(), 2u);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".macro.data.tmp-abc123", "pro.data"}));
    EXPECT_EQ(test::ReadAll(file()), original);
}

TEST_F(ProfileStoreTest, ResynchroniseRefreshesCopiesAndResetsOrphans) {
    MacroStore macros(folder());
    MacroRecord& kept = *macros.createMacro(u"Macro").macro;  // Macro1
    kept.actionCount = 2;
    kept.actions[0] = {0x04, 1, 10};
    kept.actions[1] = {0x04, 2, 10};
    MacroRecord gone;
    gone.setName(u"Gone");

    ProfileStore store(folder());
    store.load(kAddProfile);
    auto& p = store.at(0);
    MacroRecord stale;
    stale.setName(u"MACRO1");
    p.buttons[0].assignMacro(stale, 2, 9, 4);
    p.buttons[2].assignMacro(gone, 1, 1, 1);
    p.buttons[11].assignMacro(gone, 1, 1, 1);  // the last entry that can hold a macro
    p.buttons[12].assignMacro(gone, 1, 1, 1);  // beyond it: left alone
    p.buttons[13].assignMacro(gone, 1, 1, 1);
    store.append(MouseProfile::Create(u"Untouched"));

    auto touched = ResynchroniseProfiles(store.profiles(), macros);
    EXPECT_EQ(touched, std::vector<std::size_t>{0});
    EXPECT_EQ(p.buttons[0].macroNameText(), u"Macro1");
    EXPECT_EQ(p.buttons[0].macroActionCount, 2);
    EXPECT_EQ(p.buttons[0].macroActions[1], (MacroAction{0x04, 2, 10}));
    EXPECT_EQ(p.buttons[0].macroMode, 2);
    EXPECT_EQ(p.buttons[0].macroLoopCount, 9);
    EXPECT_EQ(p.buttons[0].macroIndex, 4);
    EXPECT_EQ(p.buttons[2].function, 3);  // wheel click again
    EXPECT_EQ(p.buttons[2].macroIndex, -1);
    EXPECT_EQ(p.buttons[11].function, 0);  // its initial function: none
    EXPECT_EQ(p.buttons[11].macroIndex, -1);
    EXPECT_EQ(p.buttons[12].function, 17);
    EXPECT_EQ(p.buttons[13].function, 17);
}

TEST_F(ProfileStoreTest, ResynchroniseFollowsRenamesInEveryProfile) {
    MacroStore macros(folder());
    MacroRecord& fire = *macros.createMacro(u"Macro").macro;  // Macro1, renamed twice below
    fire.setName(u"Burst");
    fire.actionCount = 1;
    fire.actions[0] = {0x2C, 1, 5};
    MacroRecord old;
    old.setName(u"Macro1");

    ProfileStore store(folder());
    store.load(kAddProfile);
    store.append(MouseProfile::Create(u"Second"));
    store.at(0).buttons[4].assignMacro(old, 0, 3, 0);
    store.at(1).buttons[6].assignMacro(old, 2, 1, 0);

    const std::vector<MacroRename> renames = {{u"macro1", u"Fire"}, {u"FIRE", u"Burst"}};
    EXPECT_EQ(ResynchroniseProfiles(store.profiles(), macros, renames), (std::vector<std::size_t>{0, 1}));
    for (const auto& [profile, button] : {std::pair{0, 4}, std::pair{1, 6}}) {
        const ButtonAssignment& b = store.at(profile).buttons[button];
        EXPECT_EQ(b.function, 17) << profile;
        EXPECT_EQ(b.macroNameText(), u"Burst") << profile;
        EXPECT_EQ(b.macroActionCount, 1) << profile;
        EXPECT_EQ(b.macroActions[0], (MacroAction{0x2C, 1, 5})) << profile;
    }
    EXPECT_EQ(store.at(0).buttons[4].macroLoopCount, 3);
    EXPECT_EQ(store.at(1).buttons[6].macroMode, 2);

    // Without the renames the old name is a macro that is gone.
    store.at(0).buttons[4].assignMacro(old, 0, 3, 0);
    ResynchroniseProfiles(store.profiles(), macros);
    EXPECT_EQ(store.at(0).buttons[4].function, 5);  // backward, its initial function
}

TEST_F(ProfileStoreTest, ResynchroniseKeepsTheFunctionOfAButtonThatNoLongerPlaysTheMacro) {
    MacroStore macros(folder());
    MacroRecord gone;
    gone.setName(u"Gone");
    gone.actionCount = 1;
    gone.actions[0] = {0x04, 1, 1};

    ProfileStore store(folder());
    store.load(kAddProfile);
    ButtonAssignment& b = store.at(0).buttons[3];
    b.assignMacro(gone, 1, 7, 2);
    b.function = 65;  // play/pause since; the copy stayed behind

    EXPECT_EQ(ResynchroniseProfiles(store.profiles(), macros), std::vector<std::size_t>{0});
    EXPECT_EQ(b.function, 65);
    EXPECT_EQ(b.index, 3);
    EXPECT_TRUE(b.macroNameText().empty());
    EXPECT_EQ(b.macroActionCount, 0);
    EXPECT_EQ(b.macroActions[0], MacroAction{});
    EXPECT_EQ(b.macroIndex, -1);
    // Nothing stale is left to match later.
    EXPECT_TRUE(ResynchroniseProfiles(store.profiles(), macros).empty());
}

}  // namespace
}  // namespace halvern
