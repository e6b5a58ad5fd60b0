// The JSON reader behind profile from-json: what it takes, and what hostile text it refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <tuple>

#include "Json.h"
#include "RecordJson.h"
#include "SettingsJson.h"

namespace halvern::cli {
namespace {

std::optional<Json> Read(std::string_view text) {
    std::string error;
    return Json::Parse(text, error);
}

std::string ErrorOf(std::string_view text) {
    std::string error;
    EXPECT_FALSE(Json::Parse(text, error)) << text;
    return error;
}

TEST(JsonReader, ReadsWhatThePrinterWritesBackToTheSameText) {
    Json printed(Json::Object{{"a", 1},
                              {"b", Json::Array{Json(-5), Json(true), Json(false), Json()}},
                              {"c", "quote \" backslash \\ newline \n tab \t bell \x07 é 🐭"},
                              {"d", Json::Object{}},
                              {"e", Json::Array{}}});
    std::optional<Json> read = Read(printed.dump());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->dump(), printed.dump());
}

TEST(JsonReader, KeepsTheOrderOfMembersAndFindsThemByKey) {
    std::optional<Json> v = Read(R"( { "z" : 1 , "a" : "x" , "m" : [ 2 ] } )");
    ASSERT_TRUE(v && v->object());
    ASSERT_EQ(v->object()->size(), 3u);
    EXPECT_EQ((*v->object())[0].first, "z");
    EXPECT_EQ(*v->find("z")->integer(), 1);
    EXPECT_EQ(*v->find("a")->string(), "x");
    EXPECT_EQ(v->find("nope"), nullptr);
    EXPECT_EQ(Read("[]")->find("z"), nullptr);
}

TEST(JsonReader, DecodesEscapesAndSurrogatePairsToUtf8) {
    std::optional<Json> v = Read(R"(["\u00e9\ud83d\udc2d\/\b\f\r"])");
    ASSERT_TRUE(v);
    EXPECT_EQ(*(*v->array())[0].string(), "é🐭/\b\f\r");
}

TEST(JsonReader, RefusesMalformedAndHostileTextWithTheOffset) {
    EXPECT_EQ(ErrorOf(""), "unexpected end at byte 0");
    EXPECT_EQ(ErrorOf("{} x"), "text after the document at byte 3");
    EXPECT_NE(ErrorOf("{\"a\" 1}").find("expected ':'"), std::string::npos);
    EXPECT_NE(ErrorOf("{1: 2}").find("expected a key"), std::string::npos);
    EXPECT_NE(ErrorOf("[1,]").find("expected a value"), std::string::npos);
    EXPECT_NE(ErrorOf("[1.5]").find("whole"), std::string::npos);
    EXPECT_NE(ErrorOf("[99999999999999999999]").find("64 bits"), std::string::npos);
    EXPECT_NE(ErrorOf("[\"a\nb\"]").find("control character"), std::string::npos);
    EXPECT_NE(ErrorOf("[\"\\x\"]").find("bad escape"), std::string::npos);
    EXPECT_NE(ErrorOf("[\"\\u12\"]").find("\\u escape"), std::string::npos);
    EXPECT_NE(ErrorOf("[\"\\udc00\"]").find("unpaired surrogate"), std::string::npos);
    EXPECT_NE(ErrorOf("[\"\\ud800x\"]").find("unpaired surrogate"), std::string::npos);
    EXPECT_NE(ErrorOf("[\"open").find("unterminated string"), std::string::npos);
    EXPECT_NE(ErrorOf("[tru]").find("expected a value"), std::string::npos);
    EXPECT_NE(ErrorOf(std::string(100000, '[')).find("nesting too deep"), std::string::npos);
    EXPECT_TRUE(Read(std::string(64, '[') + std::string(64, ']')));
}

TEST(SettingsObject, AKeyGivenTwiceIsRefused) {
    // Applied in turn, the second would keep what the first left in the record.
    std::optional<Json> v =
        Read(R"({"name": "x", "button.4": "key:ctrl+c", "button.4": {"macro": "m", "steps": ["a:down"]}})");
    ASSERT_TRUE(v);
    std::vector<Setting> read;
    EXPECT_EQ(ReadSettingsObject(*v, read), "'button.4' is given twice");
    EXPECT_TRUE(read.empty());
}

TEST(JsonReader, NumbersAreReadAsRfc8259WritesThemAndMustBeWhole) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> value;  // nullopt: refused
        const char* why;
    };
    const Case cases[] = {
        {"0", 0, ""},
        {"-0", 0, ""},
        {"400", 400, ""},
        {"-12", -12, ""},
        {"4e2", 400, ""},
        {"4E+2", 400, ""},
        {"400.0", 400, ""},
        {"4000e-1", 400, ""},
        {"0.0e5", 0, ""},
        {"9223372036854775807", INT64_MAX, ""},
        {"-9223372036854775808", INT64_MIN, ""},
        {"0400", std::nullopt, "leading zero"},
        {"-01", std::nullopt, "leading zero"},
        {"00", std::nullopt, "leading zero"},
        {"+1", std::nullopt, "expected a value"},
        {".5", std::nullopt, "expected a value"},
        {"1.", std::nullopt, "a digit after '.'"},
        {"1e", std::nullopt, "a digit in the exponent"},
        {"1e+", std::nullopt, "a digit in the exponent"},
        {"-", std::nullopt, "expected a value"},
        {"1.5", std::nullopt, "whole"},
        {"45e-1", std::nullopt, "whole"},
        {"1e20", std::nullopt, "64 bits"},
        {"1e999999999999", std::nullopt, "64 bits"},
        {"9223372036854775808", std::nullopt, "64 bits"},
        {"0x10", std::nullopt, "text after the document"},
    };
    for (const Case& c : cases) {
        std::string error;
        std::optional<Json> v = Json::Parse(c.text, error);
        if (c.value) {
            ASSERT_TRUE(v && v->integer()) << c.text << ": " << error;
            EXPECT_EQ(*v->integer(), *c.value) << c.text;
        } else {
            EXPECT_FALSE(v) << c.text;
            EXPECT_NE(error.find(c.why), std::string::npos) << c.text << " -> " << error;
        }
    }
}

// Records `profile show` can print, the hostile ones included, read back by `profile
// from-json` to the same bytes.
TEST(RecordJson, ShowThenFromJsonGivesTheSameRecordByteForByte) {
    MacroRecord burst;
    burst.setName(u"Burst");
    burst.actionCount = 3;
    burst.actions[0] = {0x04, MacroAction::Press, 120};
    burst.actions[1] = {0x04, MacroAction::Release, 0};
    burst.actions[2] = {kMouseLeft, MacroAction::Press, 25000};
    const std::vector<std::pair<const char*, std::function<void(MouseProfile&)>>> records = {
        {"the defaults", [](MouseProfile&) {}},
        {"a macro from the list", [&](MouseProfile& p) { p.buttons[1].assignMacro(burst, 2, 7, 4); }},
        {"a key where a macro was",
         [&](MouseProfile& p) {
             p.buttons[3].assignMacro(burst, 0, 3, -1);
             p.buttons[3].assignKey(0x06, kModCtrl);
         }},
        {"a macro on a button without blocks", [&](MouseProfile& p) { p.buttons[6].assignMacro(burst, 0, 1, 2); }},
        {"no left click and button 13 reassigned",
         [](MouseProfile& p) {
             p.buttons[0].function = ButtonFunction::RightClick;
             p.buttons[12].function = 33;
         }},
        {"every byte no field names set",
         [](MouseProfile& p) {
             p.zero2209[1] = 7;
             p.spareColor[0].zero = 1;
             p.buttons[20].zero70[500] = 0xAB;
             p.buttons[2].macroActions[159] = {1, 2, 3};
             p.name[60] = u'x';  // after the name's end
         }},
        {"a name that is no UTF-16", [](MouseProfile& p) { p.name[0] = 0xD800; }},
        {"spare fields",
         [](MouseProfile& p) {
             p.spareA = -1;
             p.spareText1[0] = u'é';
             p.buttons[23].spareWord = 65535;
         }},
    };
    for (const auto& [what, edit] : records) {
        auto p = MouseProfile::Create(u"Shown");
        edit(*p);
        std::string error;
        std::optional<Json> document = Json::Parse(ProfileJson(*p).dump(), error);
        ASSERT_TRUE(document) << what << ": " << error;
        BuiltProfile built = BuildProfile(*document);
        ASSERT_TRUE(built.ok()) << what << ": " << built.error;
        EXPECT_TRUE(built.repaired.empty()) << what;
        EXPECT_EQ(std::memcmp(built.profile.get(), p.get(), MouseProfile::kSize), 0) << what;
        EXPECT_EQ(document->find("unnamedBytes") != nullptr, std::string(what) == "every byte no field names set" ||
                                                                 std::string(what) == "a name that is no UTF-16")
            << what;
    }
}

TEST(RecordJson, TheSettingsOfAShownProfileChangeItAsProfileSetWould) {
    auto p = MouseProfile::Create(u"Shown");
    std::string error;
    Json shown = *Json::Parse(ProfileJson(*p).dump(), error);
    std::string text = shown.dump();
    const auto replace = [&text](const std::string& from, const std::string& to) {
        const std::size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    };
    replace("\"dpi.1\": 800", "\"dpi.1\": 1651");
    replace("\"button.2\": \"right\"", "\"button.2\": \"copy\"");
    BuiltProfile built = BuildProfile(*Json::Parse(text, error));
    ASSERT_TRUE(built.ok()) << built.error;
    EXPECT_EQ(built.profile->dpiValue[0], 33);
    EXPECT_EQ(built.profile->buttons[1].function, 33);
    ASSERT_EQ(built.notes.size(), 1u);
    EXPECT_EQ(built.notes[0].rfind("dpi.1=1650 (1651 ", 0), 0u) << built.notes[0];

    // A raw field out of range is repaired as a file read from outside is.
    text = shown.dump();
    replace("\"pollingRate\": 3", "\"pollingRate\": 12");
    built = BuildProfile(*Json::Parse(text, error));
    ASSERT_TRUE(built.ok()) << built.error;
    EXPECT_EQ(built.repaired, std::vector<std::string>{"polling"});
    EXPECT_EQ(built.profile->pollingRate, 3);

    for (const auto& [from, to, why] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"\"spareA\": 420", "\"spareA\": 420, \"spareZ\": 1", "'spareZ' is not a member"},
             {"\"spareA\": 420", "\"spareA\": 4294967296", "'spareA' is not a whole number of 32 bits"},
             {"\"spareC\": 0", "\"spareC\": 256", "'spareC' is not a number in 0..255"},
             {"\"lightColor\": \"#00ff00\"", "\"lightColor\": \"green\"", "'lightColor' is not a colour"},
             {"\"index\": 0", "\"index\": 0, \"index\": 1", "'buttons[0].index' is given twice"},
             {"\"dpi.1\": 800", "\"dpi.1\": 800, \"dpi.01\": 900", "'dpi.01' is given twice"},
         }) {
        text = shown.dump();
        replace(from, to);
        BuiltProfile refused = BuildProfile(*Json::Parse(text, error));
        EXPECT_FALSE(refused.ok()) << to;
        EXPECT_NE(refused.error.find(why), std::string::npos) << to << " -> " << refused.error;
    }
}

}  // namespace
}  // namespace halvern::cli
