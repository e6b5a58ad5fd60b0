// The JSON reader behind profile from-json: what it takes, and what hostile text it refuses.
#include <gtest/gtest.h>

#include "Json.h"
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
    EXPECT_NE(ErrorOf("[1e3]").find("whole"), std::string::npos);
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
    std::optional<Json> v = Read(R"({"name": "x", "button.4": "key:ctrl+c", "button.4": {"macro": "m", "steps": ["a:down"]}})");
    ASSERT_TRUE(v);
    std::vector<Setting> read;
    EXPECT_EQ(ReadSettingsObject(*v, read), "button.4 is given twice");
    EXPECT_TRUE(read.empty());
}

}  // namespace
}  // namespace halvern::cli
