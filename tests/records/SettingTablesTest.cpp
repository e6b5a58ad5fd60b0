// The tables that give settings their names, walked row by row: each name is what a user
// types, stands for one code, and every code the record can hold in that field has one.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
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
    for (std::int32_t i = Setting(SettingId::LightEffect).range.min; i <= Setting(SettingId::LightEffect).range.max;
         ++i) {
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

// ---- The table of settings ----

TEST(SettingsTable, RowsAreInIdOrderWithOneTypableNameEach) {
    std::set<std::string_view> names;
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
        const SettingRow& row = kSettings[i];
        SCOPED_TRACE(std::string(row.cliName));
        EXPECT_EQ(&Setting(row.id), &row) << "Setting(id) reads the table by position";
        EXPECT_TRUE(names.insert(row.cliName).second);
        EXPECT_EQ(FindSettingByCliName(row.cliName), &row);
        EXPECT_EQ(row.perLevel, row.cliName.starts_with("dpi.N"));
        // Exactly one place in the record.
        MouseProfile p{};
        EXPECT_NE(IntField(p, row) == nullptr, ColorField(p, row) == nullptr);
        EXPECT_EQ(row.unit == SettingUnit::Color, ColorField(p, row) != nullptr);
    }
    EXPECT_EQ(FindSettingByCliName("button.N"), nullptr);
    EXPECT_EQ(FindSettingByCliName("dpi.1"), nullptr);
}

// Every value a row can hold prints as a text that reads back as that value, and
// every value outside it is refused as out of range or not valid.
TEST(SettingsTable, EveryValueInRangeReadsBackFromItsTextAndNoneOutside) {
    for (const SettingRow& row : kSettings) {
        SCOPED_TRACE(std::string(row.cliName));
        auto p = MouseProfile::Create(u"t");
        if (row.unit == SettingUnit::Color) {
            *ColorField(*p, row) = RgbColor{0xAB, 0x01, 0xFF, 0};
            const SettingInput in = ParseSettingText(row, SettingText(row, *p));
            EXPECT_EQ(in.problem, SettingInput::Problem::None);
            EXPECT_EQ(in.color, (RgbColor{0xAB, 0x01, 0xFF, 0}));
            for (const char* bad : {"", "#12345", "#1234567", "123456", "#12345g"})
                EXPECT_NE(ParseSettingText(row, bad).problem, SettingInput::Problem::None) << bad;
            continue;
        }
        for (std::int32_t v = row.range.min - 1; v <= row.range.max + 1; ++v) {
            SetValue(*p, row.id, v);
            const std::string text = SettingText(row, *p);
            const SettingInput in = ParseSettingText(row, text);
            if (row.range.contains(v)) {
                EXPECT_EQ(in.problem, SettingInput::Problem::None) << v << " as " << text;
                EXPECT_EQ(in.value, v) << text;
                EXPECT_FALSE(in.roundedDpi) << text;
            } else {
                EXPECT_NE(in.problem, SettingInput::Problem::None) << v << " as " << text;
            }
        }
        EXPECT_FALSE(AcceptedText(row).empty());
    }
}

TEST(SettingsTable, TextsPeopleTypeAreTakenAsTheMouseCanHoldThem) {
    const struct {
        const char* name;
        const char* text;
        SettingInput::Problem problem;
        std::int32_t value;
        std::optional<std::int32_t> rounded;
    } cases[] = {
        {"dpi.N", "1600", SettingInput::Problem::None, 32, std::nullopt},
        {"dpi.N", "1620", SettingInput::Problem::None, 32, 1600},
        {"dpi.N", "10150", SettingInput::Problem::None, 201, 10100},
        {"dpi.N", "0", SettingInput::Problem::None, 0, std::nullopt},
        {"dpi.N", "49", SettingInput::Problem::OutOfRange, 0, std::nullopt},
        {"dpi.N", "18001", SettingInput::Problem::OutOfRange, 0, std::nullopt},
        {"dpi.N", "16OO", SettingInput::Problem::NotValid, 0, std::nullopt},
        {"polling", "1000Hz", SettingInput::Problem::None, 3, std::nullopt},
        {"polling", "300", SettingInput::Problem::NotValid, 0, std::nullopt},
        {"light-off", "90s", SettingInput::Problem::None, 3, std::nullopt},
        {"light-off", "45s", SettingInput::Problem::NotValid, 0, std::nullopt},
        {"light-off", "16min", SettingInput::Problem::OutOfRange, 0, std::nullopt},
        {"sleep", "10", SettingInput::Problem::None, 10, std::nullopt},
        {"debounce", "7ms", SettingInput::Problem::NotValid, 0, std::nullopt},
        {"debounce", "32ms", SettingInput::Problem::OutOfRange, 0, std::nullopt},
        {"light.effect", "7", SettingInput::Problem::None, 7, std::nullopt},
        {"light.effect", "disco", SettingInput::Problem::NotValid, 0, std::nullopt},
        {"dpi.active", "0", SettingInput::Problem::OutOfRange, 0, std::nullopt},
        {"lift-off", "on", SettingInput::Problem::NotValid, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.text);
        const SettingInput in = ParseSettingText(*FindSettingByCliName(c.name), c.text);
        EXPECT_EQ(in.problem, c.problem);
        if (c.problem != SettingInput::Problem::None) continue;
        EXPECT_EQ(in.value, c.value);
        EXPECT_EQ(in.roundedDpi, c.rounded);
    }
}

// A record from outside is brought into the ranges field by field, colours made
// opaque; names and buttons are not settings and stay.
TEST(SettingsTable, BringingIntoRangeMovesEachFieldToItsNearestValue) {
    auto p = MouseProfile::Create(u"t");
    p->dpiValue[0] = 999;
    p->dpiValue[1] = -5;
    p->dpiValueCopy[2] = 300;
    p->dpiEnabled[3] = 7;
    p->dpiStep = 40;
    p->pollingRate = -1;
    p->brightness = 0;
    p->lightEffectBle = 16;
    p->lightOffTimer = 31;
    p->moveMode = 2;
    p->lightColor.zero = 0x80;
    p->dpiColor[7].zero = 1;
    p->buttons[3].function = 250;
    const auto before = std::make_unique<MouseProfile>(*p);
    EXPECT_TRUE(BringIntoRange(*p));
    EXPECT_EQ(p->dpiValue[0], 280);
    EXPECT_EQ(p->dpiValue[1], 0);
    EXPECT_EQ(p->dpiValueCopy[2], 280);
    EXPECT_EQ(p->dpiEnabled[3], 1);
    EXPECT_EQ(p->dpiStep, 7);
    EXPECT_EQ(p->pollingRate, 0);
    EXPECT_EQ(p->brightness, 1);
    EXPECT_EQ(p->lightEffectBle, 15);
    EXPECT_EQ(p->lightOffTimer, 30);
    EXPECT_EQ(p->moveMode, 1);
    EXPECT_EQ(p->lightColor.zero, 0);
    EXPECT_EQ(p->dpiColor[7].zero, 0);
    EXPECT_EQ(p->buttons[3].function, 250);
    EXPECT_EQ(p->nameText(), before->nameText());
    EXPECT_FALSE(BringIntoRange(*p)) << "a second pass finds nothing to change";
    EXPECT_FALSE(BringIntoRange(*MouseProfile::Create(u"defaults")));
}

}  // namespace
}  // namespace halvern
