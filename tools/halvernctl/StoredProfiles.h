// The profiles the program keeps, read where the program keeps them and never written:
// the program may be running and owns the store.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Cli.h"
#include "storage/ProfileStore.h"

namespace halvern::cli {

struct StoredProfiles {
    std::unique_ptr<ProfileStore> store;  // null when there is nothing to read
    std::string error;                    // one line: why
};

// Reads the store of the data folder the program uses (HALVERN_DATA_DIR honoured).
// A missing store is an error here, where the program would make a default one.
StoredProfiles ReadStoredProfiles();

// The stored profile of that name: the exact name first, else the one that matches
// without regard to case, as the program keeps names unique. Null with `error` set.
const MouseProfile* FindStoredProfile(const ProfileStore& store, const std::string& name, std::string& error);

int Profiles(const Invocation& call);       // profiles
int ProfileExport(const Invocation& call);  // profile export NAME OUT.pro

}  // namespace halvern::cli
