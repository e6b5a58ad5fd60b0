// A profile's settings in the names and units people use ("dpi.2=1600", "polling=1000",
// "button.4=key:ctrl+c"), both ways: what `profile show` prints as its settings object
// is what `profile set` and `profile from-json` read back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records/MouseProfile.h"

namespace halvern::cli {

struct Setting {
    std::string key;
    std::string value;
};

// Every setting of the profile, in a fixed order: name, the DPI levels, polling, light,
// timers, the sensor options, then the buttons.
std::vector<Setting> DescribeSettings(const MouseProfile& profile);

struct SettingResult {
    std::string error;  // one line naming the key and what it accepts; empty: applied
    std::string note;   // what the value became when the record could not hold it as given
    bool ok() const { return error.empty(); }
};

// Sets one setting. A value is taken as the record can hold it; where it had to be
// rounded (DPI), `note` says so. On error the profile is unchanged. A macro button
// reads its .macro file, relative to the working folder.
SettingResult ApplySetting(MouseProfile& profile, std::string_view key, std::string_view value);

// The checks a new profile name passes: valid UTF-8, not empty, no control characters,
// and within the record's 99 UTF-16 units. Empty when it passes.
std::string CheckProfileName(std::string_view utf8);

}  // namespace halvern::cli
