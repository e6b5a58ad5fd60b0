// What loading or saving a store did, for the caller to log or show.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace halvern {

struct StoreLoadResult {
    enum class Outcome {
        Loaded,    // the file was read as it stands
        Missing,   // no file: the store starts from its defaults
        Repaired,  // the file was unusable as it stood; the original is kept at `keptAs`
    };
    Outcome outcome = Outcome::Loaded;
    std::vector<std::string> problems;                    // one line each: what was wrong
    std::optional<std::filesystem::path> keptAs;          // where the original file now lies
    std::optional<std::string> saveError;                 // when a save made during the load failed
    std::vector<std::filesystem::path> leftoversRemoved;  // temporary files of saves that died
};

// Whether loading a store also removes the temporary files that saves cut short by a
// crash left beside it. Only the program that owns and writes the store may: to anyone
// else, the owner's save in progress looks the same.
enum class Leftovers { Remove, Keep };

// Whether loading writes a store it found missing from its defaults at once, or leaves
// that save to the caller: a program starting up writes it once its window is up, as a
// store that is not there yet loses nothing by waiting.
enum class MissingStore { SaveNow, CallerSaves };

}  // namespace halvern
