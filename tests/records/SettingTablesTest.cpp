// The tables that give settings their names, walked row by row: each name is what a user
// types, stands for one code, and every code the record can hold in that field has one.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "keys/KeyCodeTable.h"
#include "keys/KeyNames.h"
#include "records/ButtonFunctions.h"
#include "records/LightEffects.h"
#include "records/Settings.h"

namespace halvern {
namespace {

bool Typable(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == ':')) return false;
    return name.front() != '-' && name.back() != '-';
}

TEST(SettingNames, EachButtonFunctionWithAFixedTextHasOneTypableName) {
    std::set<std::string_view> seen;
    for (const ButtonFunctionRow& row : kButtonFunctions) {
        SCOPED_TRACE(static_cast<int>(row.code));
        // Key combinations and macros are composed ("key:...", "macro:...").
        EXPECT_EQ(row.name.empty(), row.textKey.empty());
        if (row.name.empty()) continue;
        EXPECT_TRUE(Typable(row.name)) << row.name;
        EXPECT_FALSE(row.name.starts_with("key:") || row.name.starts_with("macro:") || row.name.starts_with("code:"));
        EXPECT_TRUE(seen.insert(row.name).second) << row.name << " twice";
        ASSERT_NE(FindButtonFunctionByName(row.name), nullptr);
        EXPECT_EQ(FindButtonFunctionByName(row.name)->code, row.code);
    }
    EXPECT_EQ(FindButtonFunctionByName("media:volume-up")->code, 69);
    EXPECT_EQ(FindButtonFunctionByName("left")->code, ButtonFunction::LeftClick);
    EXPECT_EQ(FindButtonFunctionByName(""), nullptr);
    EXPECT_EQ(FindButtonFunctionByName("volume-up"), nullptr);
}

TEST(SettingNames, EveryLightEffectTheRangeAllowsHasOneName) {
    std::set<std::string_view> seen;
    for (std::int32_t i = Setting(SettingId::LightEffect).range.min; i <= Setting(SettingId::LightEffect).range.max; ++i) {
        const LightEffectRow* row = FindLightEffect(i);
        ASSERT_NE(row, nullptr) << i;
        EXPECT_EQ(row->textKey, "light_effect_" + std::to_string(i) + "_text");
        EXPECT_TRUE(Typable(row->name)) << row->name;
        EXPECT_TRUE(seen.insert(row->name).second) << row->name;
        EXPECT_EQ(FindLightEffectByName(row->name), row);
    }
    EXPECT_EQ(kLightEffects.size(), seen.size());
    EXPECT_EQ(FindLightEffect(16), nullptr);
    EXPECT_EQ(FindLightEffectByName("disco"), nullptr);
}

TEST(SettingNames, EachKeyNameStandsForAKeyOfTheCodeTableOrAMouseButton) {
    std::set<std::string_view> names;
    std::set<std::uint8_t> usages;
    for (const KeyNameRow& row : kKeyNames) {
        SCOPED_TRACE(std::string(row.name));
        EXPECT_TRUE(Typable(row.name));
        EXPECT_EQ(row.name.find(':'), std::string_view::npos) << "':' parts a macro step";
        EXPECT_TRUE(names.insert(row.name).second) << "name twice";
        EXPECT_TRUE(usages.insert(row.usage).second) << "usage twice";
        EXPECT_TRUE(FindByUsage(row.usage) || IsMouseButtonCode(row.usage));
        std::uint8_t usage = 0;
        ASSERT_TRUE(KeyUsageOf(row.name, usage));
        EXPECT_EQ(usage, row.usage);
        EXPECT_EQ(KeyNameOf(row.usage), row.name);
    }
    // Every key of the code table a user can press has a name, the mode keys aside.
    for (const KeyCodeRow& row : KeyCodeTable) {
        if (row.usageId >= 0xF0 && !IsMouseButtonCode(static_cast<std::uint32_t>(row.usageId))) continue;
        EXPECT_FALSE(KeyNameOf(static_cast<std::uint32_t>(row.usageId)).empty()) << std::hex << row.usageId;
    }
    for (std::uint8_t b = kMouseLeft; b <= kMouseForward; ++b) EXPECT_FALSE(KeyNameOf(b).empty());
    // Mouse buttons share their names with the button functions that click them.
    EXPECT_EQ(KeyNameOf(kMouseLeft), FindButtonFunction(ButtonFunction::LeftClick)->name);
    EXPECT_EQ(KeyNameOf(kMouseMiddle), FindButtonFunction(ButtonFunction::WheelClick)->name);
    EXPECT_EQ(KeyNameOf(0x04), "a");
    EXPECT_EQ(KeyNameOf(0x27), "0");
    EXPECT_EQ(KeyNameOf(0xE0), "ctrl");
}

}  // namespace
}  // namespace halvern
