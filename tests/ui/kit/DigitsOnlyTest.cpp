#include "ui/kit/DigitsOnly.h"

#include <gtest/gtest.h>

namespace halvern {
namespace {

TEST(KeepDigitsOnly, RemovesEveryOtherCharacterAndPutsTheCaretAtTheEnd) {
    DigitsOnly d = KeepDigitsOnly(u"12a3b4");
    EXPECT_TRUE(d.changed);
    EXPECT_EQ(d.text, u"1234");
    EXPECT_EQ(d.caret, 4u);
    d = KeepDigitsOnly(u"1ab2");
    EXPECT_EQ(d.text, u"12");
    EXPECT_EQ(d.caret, 2u);
    d = KeepDigitsOnly(u"abc");
    EXPECT_TRUE(d.changed);
    EXPECT_EQ(d.text, u"");
    EXPECT_EQ(d.caret, 0u);
    d = KeepDigitsOnly(u"0815");
    EXPECT_FALSE(d.changed);
    EXPECT_EQ(d.text, u"0815");
    EXPECT_EQ(KeepDigitsOnly(u"٣4").text, u"4");  // other scripts' digits are not 0..9
}

}  // namespace
}  // namespace halvern
