// Texts by language key ("key_Enter", "add_profile_text"). The skin layer implements it
// from "lan.xml"; code passes keys, never sentences.
#pragma once

#include <string>
#include <string_view>

namespace halvern {

class LanguageTexts {
public:
    virtual ~LanguageTexts() = default;
    // The text for the key; what a missing key gives is the implementation's choice.
    virtual std::u16string text(std::string_view key) const = 0;
};

}  // namespace halvern
