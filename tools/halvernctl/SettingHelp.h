// What halvernctl says about the settings it takes, walked from the tables the settings
// are read by (records/Settings.h, records/ButtonFunctions.h, keys/KeyNames.h), so a new
// row shows in the help, the completion and the manual page's check without another
// list to keep.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace halvern::cli {

// The KEYS section of `profile set --help`.
std::string SettingKeysHelp();

// The keys `profile set` takes, as the completion offers them: "name=", "dpi.1=", ...,
// "dpi.8.color=", "polling=", ..., "button.18=". One per value, in the table's order.
std::vector<std::string> CompletionKeys();

// The words the value of a key may be, where it has a list of them ("on", "off";
// "125", ...; the button functions), else nothing. The key as CompletionKeys gives it,
// with or without its "=".
std::vector<std::string> CompletionValues(std::string_view key);

}  // namespace halvern::cli
