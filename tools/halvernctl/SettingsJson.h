// A profile's settings as a JSON object, both ways: `profile show` prints it and
// `profile from-json` reads it back, so the two must agree member for member.
#pragma once

#include <string>
#include <vector>

#include "Json.h"
#include "ProfileSettings.h"

namespace halvern::cli {

// Every setting of the profile. Plain whole numbers are JSON numbers, other values
// text, and a macro button an object {"macro": NAME, "repeat": N[, "mode": M],
// "steps": [WORD...]}.
Json SettingsJson(const MouseProfile& profile);

// The assignments a settings document holds, in its order: the document is either a
// settings object or an object whose "settings" member is one (the output of `profile
// show`). Text and numbers are taken as typed, true and false as yes/no for the
// ".enabled" keys and on/off for the others. A name is required. Returns one line
// naming what is wrong, or an empty text. The values themselves are checked when they
// are applied.
std::string ReadSettingsObject(const Json& document, std::vector<Setting>& assignments);

}  // namespace halvern::cli
