// Language texts for tests: every key reads as "<key>", so a test sees which key a
// lookup asked for.
#pragma once

#include "records/Text.h"
#include "keys/LanguageTexts.h"

namespace halvern::test {

class BracketTexts final : public LanguageTexts {
public:
    std::u16string text(std::string_view key) const override { return u"<" + AsciiToUtf16(key) + u">"; }
};

}  // namespace halvern::test
