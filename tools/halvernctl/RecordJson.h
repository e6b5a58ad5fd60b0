// A whole record as JSON, both ways: `profile show` prints a profile as its settings
// object followed by every raw field, and `profile from-json` reads that back to the
// same record, byte for byte. Bytes that no printed field carries (a hostile file's
// padding, text after a name's end, steps past a macro's count, a colour's unused
// byte) are printed as "unnamedBytes" only when some are not what the fields make of
// them, so nothing of a record is lost between the two.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Json.h"
#include "records/MacroRecord.h"
#include "records/MouseProfile.h"

namespace halvern::cli {

// {"settings": {...}, "name": ..., ..., "buttons": [...], ["unnamedBytes": [[OFFSET, HEX], ...]]}
Json ProfileJson(const MouseProfile& profile);

// A macro file: its name, raw fields, and its steps in the words `macro new` takes.
Json MacroJson(const MacroRecord& macro);

struct BuiltProfile {
    std::unique_ptr<MouseProfile> profile;  // set on success
    std::string error;                      // one line
    int exitCode = 0;                       // when refused: 2 for a setting or value, 1 for the record
    std::vector<std::string> notes;         // DPI values taken to a step of the mouse
    std::vector<std::string> repaired;      // raw fields brought into range (RepairProfile)
    bool ok() const { return profile != nullptr; }
};

// The record a document describes. A document with a "settings" member is the output of
// `profile show`: its raw fields (any of them; the rest keep their defaults) and unnamed
// bytes make the record, which is repaired as a file read from outside is, and its
// settings are then applied as `profile set` applies them, each one that says what the
// record already holds left out. Any other object is a settings object on the defaults.
// Keys are compared after their number is read ("dpi.01" is "dpi.1"); a key given twice
// and an unknown member are refused.
BuiltProfile BuildProfile(const Json& document);

}  // namespace halvern::cli
