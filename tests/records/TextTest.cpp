#include "records/Text.h"

#include <gtest/gtest.h>

#include <set>

namespace halvern {
namespace {

TEST(Text, Utf8RoundTripsAndRefusesMalformedInput) {
    std::string s = "Été \xF0\x9F\x98\x80 日本";
    auto u = Utf8ToUtf16(s);
    ASSERT_TRUE(u);
    EXPECT_EQ(Utf16ToUtf8(*u), s);
    EXPECT_FALSE(Utf8ToUtf16("\xC3"));              // truncated sequence
    EXPECT_FALSE(Utf8ToUtf16("\xC0\xAF"));          // overlong
    EXPECT_FALSE(Utf8ToUtf16("\xED\xA0\x80"));      // encoded surrogate
    EXPECT_FALSE(Utf8ToUtf16("\xF4\x90\x80\x80"));  // beyond U+10FFFF
    EXPECT_FALSE(Utf8ToUtf16("a\x80"));
    // A lone surrogate read from a file prints as the replacement character.
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Text, CaseInsensitiveEqualityCoversNonAscii) {
    EXPECT_TRUE(EqualsIgnoreCase(u"Profile1", u"PROFILE1"));
    EXPECT_TRUE(EqualsIgnoreCase(u"Été", u"éTÉ"));
    EXPECT_TRUE(EqualsIgnoreCase(u"Привет", u"пРИВЕТ"));
    EXPECT_FALSE(EqualsIgnoreCase(u"Profile1", u"Profile1 "));
    EXPECT_FALSE(EqualsIgnoreCase(u"", u"a"));
    EXPECT_TRUE(EqualsIgnoreCase(u"", u""));
}

TEST(Text, UniqueNamesCountUpFromOneAndFitTheirField) {
    std::set<std::u16string> taken = {u"macro1", u"macro1_1"};
    auto isTaken = [&](std::u16string_view n) {
        for (const auto& t : taken)
            if (EqualsIgnoreCase(t, n)) return true;
        return false;
    };
    EXPECT_EQ(MakeUniqueName(u"Other", 23, isTaken), u"Other");
    EXPECT_EQ(MakeUniqueName(u"Macro1", 23, isTaken), u"Macro1_2");

    // A 23-character name that is taken: the base shrinks so the suffix fits, and the
    // result is still unique when the shortened forms are taken too.
    std::u16string full = u"ABCDEFGHIJKLMNOPQRSTUVW";
    taken = {full, u"ABCDEFGHIJKLMNOPQRSTU_1"};
    std::u16string n = MakeUniqueName(full, 23, isTaken);
    EXPECT_EQ(n, u"ABCDEFGHIJKLMNOPQRSTU_2");
    for (int d = 2; d <= 10; ++d) taken.insert(FormatUnique(full, d, 23));
    n = MakeUniqueName(full, 23, isTaken);
    EXPECT_EQ(n, u"ABCDEFGHIJKLMNOPQRST_11");
    EXPECT_LE(n.size(), 23u);
}

TEST(Text, NamesAreNeverCutInsideASurrogatePair) {
    const std::u16string mouse = u"\U0001F42D";  // one character, two units
    const std::u16string name = u"ab" + mouse;
    EXPECT_EQ(CutToUnits(name, 4), name);
    EXPECT_EQ(CutToUnits(name, 3), u"ab");
    EXPECT_EQ(CutToUnits(mouse, 1), u"");

    char16_t tight[4];
    WriteFixedText(tight, name);
    EXPECT_EQ(ReadFixedText(tight), u"ab");
    char16_t roomy[5];
    WriteFixedText(roomy, name);
    EXPECT_EQ(ReadFixedText(roomy), name);

    // The base gives up a whole character to make room for the suffix.
    EXPECT_EQ(FormatUnique(name + u"c", 1, 5), u"ab_1");
    auto none = [](std::u16string_view) { return false; };
    EXPECT_EQ(MakeUniqueName(name, 3, none), u"ab");
}

TEST(Text, FixedFieldsStopAtTheirTerminatorOrTheirEnd) {
    char16_t field[4] = {u'a', u'b', u'\0', u'z'};
    EXPECT_EQ(ReadFixedText(field), u"ab");
    char16_t full[3] = {u'a', u'b', u'c'};
    EXPECT_EQ(ReadFixedText(full), u"abc");
    EXPECT_FALSE(FixedTextIsTerminated(full));
    WriteFixedText(field, u"wxyz");
    EXPECT_EQ(ReadFixedText(field), u"wxy");
    EXPECT_EQ(field[3], u'\0');
    WriteFixedText(field, std::u16string_view(u"a\0b", 3));
    EXPECT_EQ(ReadFixedText(field), u"a");
    EXPECT_EQ(field[2], u'\0');
}

TEST(Text, QuotedTextStaysOnOneLineWhateverItHolds) {
    struct Case {
        std::string_view text;
        std::string_view quoted;
    };
    const Case cases[] = {
        {"plain é 🐭", "'plain é 🐭'"},
        {"two\nlines", "'two\\nlines'"},
        {"cr\rtab\t", "'cr\\rtab\\t'"},
        {"esc\x1b[2J", "'esc\\x1b[2J'"},
        {"del\x7f", "'del\\x7f'"},
        {"nel\xc2\x85", "'nel\\u0085'"},
        {"ls\xe2\x80\xa8ps\xe2\x80\xa9", "'ls\\u2028ps\\u2029'"},
        {"not utf-8 \xff\xc3", "'not utf-8 \\xff\\xc3'"},
        {"it's a \\", "'it\\'s a \\\\'"},
        {std::string_view("nul\0x", 5), "'nul\\x00x'"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QuoteForLine(c.text), c.quoted) << c.text;
        // The controls alone, for a line made of quoted parts: quotes and backslashes stay.
        const std::string quoted = QuoteForLine(c.text);
        EXPECT_EQ(EscapeControls(quoted), quoted) << c.text;
    }
    EXPECT_EQ(EscapeControls("a 'b' \\ c\nd"), "a 'b' \\ c\\nd");
}

}  // namespace
}  // namespace halvern
